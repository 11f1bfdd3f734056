// Cycles whose Floquet multipliers are known in closed form, for the tests and benchmarks of
// orbit-bifurcation curves.
//
// Both systems carry a pair of transverse directions in a frame that turns by half a turn per
// period: with rates l1, l2 in the frame, the monodromy matrix of that pair is
// -R exp(diag(l1, l2) T) R^T, multipliers -exp(l1 T) and -exp(l2 T).
#pragma once

#include <cmath>

namespace txtest {

inline thread_local double g_c1 = 0.0, g_c2 = 0.0;

// d(v)/dt for the pair v in a frame at angle theta / 2: rates a +- b along its axes.
inline void half_turn(double l1, double l2, double c, double s, double half_rate,
                      const double *v, double *dv) {
    const double a = (l1 + l2) / 2.0, b = (l1 - l2) / 2.0;
    dv[0] = a * v[0] + b * (c * v[0] + s * v[1]) - half_rate * v[1];
    dv[1] = a * v[1] + b * (s * v[0] - c * v[1]) + half_rate * v[0];
}

// Autonomous, 3-D: a circle of radius R = 1 + c2 / 4 in the (x, y) plane, run through at
// omega = 2 pi (1 + c1 / 2), and the pair (r - R, z) with rates l = 1 - c1^2 - c2^2 and -1.
// Period doubling on the unit circle c1^2 + c2^2 = 1, period 1 / (1 + c1 / 2) there.
inline thread_local double cut_reach = 10.0;  // the section y = 0 exists only for c1 below this
inline void doubling_cycle(double, double *y, double *f) {
    const double omega = 2.0 * M_PI * (1.0 + 0.5 * g_c1), R = 1.0 + 0.25 * g_c2;
    const double r = std::hypot(y[0], y[1]), c = y[0] / r, s = y[1] / r;
    const double v[2] = {r - R, y[2]};
    double dv[2];
    half_turn(1.0 - g_c1 * g_c1 - g_c2 * g_c2, -1.0, c, s, 0.5 * omega, v, dv);
    f[0] = dv[0] * c - r * omega * s;
    f[1] = dv[0] * s + r * omega * c;
    f[2] = dv[1];
}
inline double section(double, double *y) { return g_c1 < cut_reach ? y[1] : 1.0; }

// Forced, 2-D, period 1: the orbit v = k (cos 2 pi t, sin 2 pi t), k = 1 + (c1 + c2) / 2, rates
// l1 = c1 - c2^2 / 5 and l2, which vanishes at c2 = 0.6 and at c2 = g_root.  Both
// multipliers are -1 at (c1, c2) = (0.072, 0.6) and (g_root^2 / 5, g_root).
inline thread_local double g_root = 10.0;
inline double second_rate() { return 0.5 * (g_c2 - 0.6) * (g_root - g_c2) / (g_root - 0.6); }
inline void doubling_forced(double t, double *y, double *f) {
    const double w = 2.0 * M_PI, c = std::cos(w * t), s = std::sin(w * t);
    const double k = 1.0 + 0.5 * (g_c1 + g_c2);
    const double v[2] = {y[0] - k * c, y[1] - k * s};
    half_turn(g_c1 - 0.2 * g_c2 * g_c2, second_rate(), c, s, 0.5 * w, v, f);
    f[0] -= k * w * s;
    f[1] += k * w * c;
}

}  // namespace txtest
