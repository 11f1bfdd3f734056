// The programs' excitable model as a benchmark problem: spiking, with its forcing switched on
// at t = 10 and off at t = 40 by steep tanh gates.
#pragma once

#include <array>
#include <cmath>

#include "model.h"

namespace txbench {

struct Neuron {
    static constexpr int n = 3;
    static constexpr const char *name = "neuron model";
    static constexpr double t0 = 0.0, t1 = 50.0;
    static constexpr std::array<double, n> y0{0.5, 0.0, 0.0};
    // a, b, A, sigma, c; no noise
    static constexpr std::array<double, kModelParams> parameters{0.5, 0.1, 0.5, 0.0, 1.0 / 3};
    static constexpr double switch_on = 10.0, switch_off = 40.0;

    // The model reads its parameters from the programs' globals.
    static void setup() {
        for (int i = 0; i < kModelParams; ++i) par[i] = parameters[i];
        force_on = switch_on;
        force_off = switch_off;
    }

    static void rhs(double t, const double *y, double *f) { model(t, const_cast<double *>(y), f); }

    // The model's formula for other number types, for the reference solution in extended
    // precision.  With T = double it must reproduce model() bit for bit (checked where used).
    template <class T>
    static void rhs(T t, const T *y, T *f) {
        using std::fabs;
        using std::tanh;
        const double a = parameters[0], b = parameters[1], c = parameters[4];
        const T x = y[0], v = y[1], w = y[2];
        const T force = (parameters[2] * 0.25) * (1 + tanh(10.0 * (t - switch_on))) *
                        (1 + tanh(10.0 * (switch_off - t)));
        f[0] = (a * x - x * w + v - c * x * x * x) + force;
        f[1] = -x;
        f[2] = b * ((fabs(x) + x) * x / 2 - w);
    }

    // True when the formula above is the model: compared at points around the orbit and the
    // switching times.
    static bool formula_is_the_model() {
        setup();
        for (int i = 0; i <= 1000; ++i) {
            const double t = 0.05 * i, y[n] = {std::sin(0.37 * i) * 1.5, std::cos(0.11 * i),
                                               0.3 * std::sin(0.05 * i)};
            double f[n], g[n];
            model(t, const_cast<double *>(y), f);
            rhs<double>(t, y, g);
            for (int k = 0; k < n; ++k)
                if (f[k] != g[k]) return false;
        }
        return true;
    }
};

}  // namespace txbench
