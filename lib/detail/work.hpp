// Per-call work memory: freed on every return, never throws across the API.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <vector>

namespace tx::detail {

struct Work {
    std::vector<double> buf;
    // false -> the caller reports TX_ERR_NO_MEMORY
    bool resize(std::size_t n) noexcept {
        try {
            buf.assign(n, 0.0);
            return true;
        } catch (const std::bad_alloc &) {
            return false;
        } catch (const std::length_error &) {
            return false;
        }
    }
    double *data() noexcept { return buf.data(); }
};

// One zeroed allocation for the vectors and row-pointer matrices of a call, handed out in
// pieces: the caller sizes it for exactly what it then takes.
class Block {
public:
    Block() = default;
    Block(const Block &) = delete;
    Block &operator=(const Block &) = delete;
    ~Block() { std::free(base_); }

    // Room for `pointers` row pointers and `doubles` values; false -> TX_ERR_NO_MEMORY.
    bool take(std::size_t pointers, std::size_t doubles) noexcept {
        constexpr std::size_t kMax = static_cast<std::size_t>(-1) / 2;
        if (pointers > kMax / sizeof(double *) || doubles > kMax / sizeof(double)) return false;
        const std::size_t head = pointers * sizeof(double *);
        // Row pointers first: both kinds are 8-byte aligned on every target we build for.
        static_assert(sizeof(double *) % alignof(double) == 0, "doubles follow the pointers");
        base_ = std::calloc(1, head + doubles * sizeof(double) + 1);
        if (!base_) return false;
        rows_ = static_cast<double **>(base_);
        values_ = reinterpret_cast<double *>(static_cast<unsigned char *>(base_) + head);
        return true;
    }
    double *vector(std::size_t n) noexcept {
        double *v = values_;
        values_ += n;
        return v;
    }
    double **matrix(std::size_t rows, std::size_t cols) noexcept {
        double **m = rows_;
        rows_ += rows;
        for (std::size_t i = 0; i < rows; ++i) m[i] = vector(cols);
        return m;
    }

private:
    void *base_ = nullptr;
    double **rows_ = nullptr;
    double *values_ = nullptr;
};

}  // namespace tx::detail
