// Test problems shared by the benchmarks and the work-precision comparison.  Each gives its
// interval, its start state and its right-hand side as an inline template: inlined by the
// hand-written loop, and evaluated in quadruple precision for the reference solutions.
#pragma once

#include <array>
#include <cmath>

#include "tx.h"

namespace txbench {

struct Lorenz {
    static constexpr int n = 3;
    static constexpr const char *name = "Lorenz";
    static constexpr double t0 = 0.0, t1 = 2.0;
    static constexpr std::array<double, n> y0{1.0, 1.0, 1.0};
    template <class T>
    static void rhs(T, const T *y, T *f) {
        f[0] = 10.0 * (y[1] - y[0]);
        f[1] = y[0] * (28.0 - y[2]) - y[1];
        f[2] = y[0] * y[1] - T(8.0 / 3.0) * y[2];
    }
};

// Restricted three-body problem: a periodic orbit of the Earth-Moon system.
struct Arenstorf {
    static constexpr int n = 4;
    static constexpr const char *name = "Arenstorf";
    static constexpr double mu = 0.012277471;
    static constexpr double t0 = 0.0, t1 = 17.0652165601579625588917206249;
    static constexpr std::array<double, n> y0{0.994, 0.0, 0.0, -2.00158510637908252240537862224};
    template <class T>
    static void rhs(T, const T *y, T *f) {
        using std::sqrt;
        const T mu1 = T(1.0 - mu);
        const T d1 = sqrt((y[0] + mu) * (y[0] + mu) + y[1] * y[1]);
        const T d2 = sqrt((y[0] - mu1) * (y[0] - mu1) + y[1] * y[1]);
        const T r1 = d1 * d1 * d1, r2 = d2 * d2 * d2;
        f[0] = y[2];
        f[1] = y[3];
        f[2] = y[0] + 2.0 * y[3] - mu1 * (y[0] + mu) / r1 - mu * (y[0] - mu1) / r2;
        f[3] = y[1] - 2.0 * y[2] - mu1 * y[1] / r1 - mu * y[1] / r2;
    }
};

struct VanDerPol {
    static constexpr int n = 2;
    static constexpr const char *name = "Van der Pol";
    static constexpr double t0 = 0.0, t1 = 20.0;
    static constexpr std::array<double, n> y0{2.0, 0.0};
    template <class T>
    static void rhs(T, const T *y, T *f) {
        f[0] = y[1];
        f[1] = (1.0 - y[0] * y[0]) * y[1] - y[0];
    }
};

// A damped chain of 40 coupled oscillators: first-order linear system y' = A y.
struct Chain40 {
    static constexpr int n = 40;
    static constexpr const char *name = "linear chain (n = 40)";
    static constexpr double t0 = 0.0, t1 = 10.0;
    static constexpr std::array<double, n> y0 = [] {
        std::array<double, n> y{};
        for (int i = 0; i < n; ++i) y[i] = (i % 5) * 0.25 - 0.45;  // no component starts at 0
        return y;
    }();
    template <class T>
    static void rhs(T, const T *y, T *f) {
        for (int i = 0; i < n; ++i) {
            const T left = i > 0 ? y[i - 1] : T(0), right = i + 1 < n ? y[i + 1] : T(0);
            f[i] = -2.0 * y[i] + left + right - 0.01 * (i + 1) * y[i];
        }
    }
};

// The library's callback type for a problem.
template <class P>
void fcn(double t, double *y, double *f) {
    P::rhs(t, static_cast<const double *>(y), f);
}

// The right-hand side as a function object, for inlining.
template <class P>
struct Inlined {
    void operator()(double t, const double *y, double *f) const { P::rhs(t, y, f); }
};

}  // namespace txbench
