// Vector lengths known at compile time for the small systems that dominate use, so that the
// component loops of the step and the dense output unroll completely.
#pragma once

#include <cstddef>
#include <cstring>
#include <utility>

namespace tx::detail {

template <int N>
struct FixedSize {
    constexpr int operator()() const { return N; }
};

struct RuntimeSize {
    int n;
    int operator()() const { return n; }
};

// Inline moves for the small sizes instead of a library call per step.  A caller's array of
// the handle's order passes through the branches of every other size too, which g++ -O3 takes for
// overflows of that array: the size matches the handle's order on the branch that runs.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#pragma GCC diagnostic ignored "-Warray-bounds"
#endif
template <class Size>
void copy_vector(double *dst, const double *src, Size n) {
    std::memcpy(dst, src, static_cast<std::size_t>(n()) * sizeof(double));
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

// f(size) with the best size type for n.
template <class F>
decltype(auto) with_vector_size(int n, F &&f) {
    switch (n) {
    case 1: return f(FixedSize<1>{});
    case 2: return f(FixedSize<2>{});
    case 3: return f(FixedSize<3>{});
    case 4: return f(FixedSize<4>{});
    default: return f(RuntimeSize{n});
    }
}

}  // namespace tx::detail
