// Weighted distance of a Newton residual, shared by every solver that converges onto a point.
#pragma once

#include <cmath>

namespace tx::detail {

// sqrt(sum (r_i / (|x_i| rel + abs))^2) over the residual r of the state x.  A component whose
// weight is exactly 0 (x_i = 0 under abs = 0) is left out instead of dividing by 0.
inline double weighted_distance(const double *r, const double *x, int n, double rel, double abs) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        if (rel * x[i] == 0.0 && abs == 0.0) continue;
        const double q = r[i] / (std::fabs(x[i]) * rel + abs);
        sum += q * q;
    }
    return std::sqrt(sum);
}

}  // namespace tx::detail
