// Selecting the registered parameters that an operation varies.
#pragma once

#include "../tx.h"

namespace tx::detail {

// Sets the activity flag of each registered parameter to whether its address is one of the
// `count` addresses in `wanted`, and returns the number of registered parameters that matched.
// index[w] receives the list index of wanted[w] (the last one if it is registered twice), -1
// when it is not registered.
inline int mark_parameters(Traxis tx, const double *const *wanted, int count, int *index) {
    for (int w = 0; w < count; ++w) index[w] = -1;
    int matches = 0;
    for (int k = 0; k < tx->nparam; ++k) {
        bool hit = false;
        for (int w = 0; w < count; ++w) {
            if (tx->c[k] != wanted[w]) continue;
            index[w] = k;
            hit = true;
        }
        tx->cp[k] = hit ? 1 : 0;
        matches += hit ? 1 : 0;
    }
    return matches;
}

// Marks c as the only active parameter; its list index, or -1 unless it is registered exactly
// once.
inline int mark_parameter(Traxis tx, const double *c) {
    int index = -1;
    return mark_parameters(tx, &c, 1, &index) == 1 ? index : -1;
}

// Sets nparam to 0 while it lives, so that the variational integrator computes the monodromy
// matrix without parameter columns; the caller's count comes back on every way out.
class WithoutParameters {
public:
    explicit WithoutParameters(Traxis tx) : tx_(tx), saved_(tx->nparam) { tx->nparam = 0; }
    ~WithoutParameters() { tx_->nparam = saved_; }
    WithoutParameters(const WithoutParameters &) = delete;
    WithoutParameters &operator=(const WithoutParameters &) = delete;

private:
    Traxis tx_;
    int saved_;
};

}  // namespace tx::detail
