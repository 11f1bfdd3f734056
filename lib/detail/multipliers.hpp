// Floquet multipliers held as real and imaginary parts: which one is critical, how many are stable.
#pragma once

#include <cmath>

namespace tx::detail {

inline double modulus(const double *er, const double *ei, int i) {
    return std::sqrt(er[i] * er[i] + ei[i] * ei[i]);
}

// Index of the multiplier whose modulus is nearest to 1 among the first count (at least the
// first one); the comparison is strict, so the lowest index wins ties.
inline int nearest_to_unit_circle(const double *er, const double *ei, int count) {
    int best = 0;
    double best_gap = std::fabs(modulus(er, ei, 0) - 1.0);
    for (int i = 1; i < count; ++i) {
        const double gap = std::fabs(modulus(er, ei, i) - 1.0);
        if (gap < best_gap) {
            best = i;
            best_gap = gap;
        }
    }
    return best;
}

// Multipliers strictly inside the unit circle among the first count.
inline int stable_count(const double *er, const double *ei, int count) {
    int stable = 0;
    for (int i = 0; i < count; ++i)
        if (modulus(er, ei, i) < 1.0) ++stable;
    return stable;
}

}  // namespace tx::detail
