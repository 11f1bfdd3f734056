// Per-call work memory: freed on every return, never throws across the API.
#pragma once

#include <cstddef>
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

}  // namespace tx::detail
