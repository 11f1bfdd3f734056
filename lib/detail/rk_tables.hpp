// Coefficients of the embedded 6(5) Runge-Kutta pair and of its continuous extension.
// Fractions are written as given by the method's authors; each is rounded once to double.
#pragma once

namespace tx::detail {

struct RungeKutta65 {
    static constexpr int s = 8;
    static constexpr double c[s] = {0.0, 1.0 / 6, 4.0 / 15, 2.0 / 3, 5.0 / 6, 1.0, 1.0 / 15, 1.0};
    static constexpr double a[s][s] = {
        {},
        {1.0 / 6},
        {4.0 / 75, 16.0 / 75},
        {5.0 / 6, -8.0 / 3, 5.0 / 2},
        {-165.0 / 64, 55.0 / 6, -425.0 / 64, 85.0 / 96},
        {12.0 / 5, -8.0, 4015.0 / 612, -11.0 / 36, 88.0 / 255},
        {-8263.0 / 15000, 124.0 / 75, -643.0 / 680, -81.0 / 250, 2484.0 / 10625},
        {3501.0 / 1720, -300.0 / 43, 297275.0 / 52632, -319.0 / 2322, 24068.0 / 84065, 0.0,
         3850.0 / 26703},
    };
    // fifth order: stages 0-5
    static constexpr double b5[s] = {13.0 / 160, 0.0, 2375.0 / 5984, 5.0 / 16, 12.0 / 85, 3.0 / 44,
                                     0.0, 0.0};
    // sixth order (propagated): stages 0-4, 6, 7
    static constexpr double b6[s] = {3.0 / 40, 0.0, 875.0 / 2244, 23.0 / 72, 264.0 / 1955, 0.0,
                                     125.0 / 11592, 43.0 / 616};
};

// Continuous extension: midpoint weights (d[8] weighs f at the end of the step) and the
// combinations building the interior points at 0.9 and 0.95 of the step.
struct DenseOutput65 {
    static constexpr double d[9] = {121.0 / 1536, 0.0, 317125.0 / 861696, 397.0 / 6912, -1.0 / 68,
                                    17.0 / 704, 125.0 / 12096, -817.0 / 14784, 1.0 / 32};
    static constexpr double k1 = 128.0 / 3125, k2 = 2592.0 / 3125, k3 = 81.0 / 625,
                            k4 = 18.0 / 3125, k5 = -162.0 / 3125, k6 = 162.0 / 3125;
    static constexpr double k7 = 5427.0 / 400000, k8 = 380133.0 / 400000, k9 = 361.0 / 10000,
                            k10 = 1539.0 / 800000, k11 = -29241.0 / 800000,
                            k12 = 3249.0 / 200000;
};

// Compile-time checks against typos in the tables.
constexpr double cabs(double x) { return x < 0 ? -x : x; }

template <class T>
constexpr bool rows_sum_to_nodes(double tol) {
    for (int i = 0; i < T::s; ++i) {
        double sum = 0.0;
        for (int j = 0; j < i; ++j) sum += T::a[i][j];
        if (cabs(sum - T::c[i]) > tol) return false;
    }
    return true;
}

template <int N>
constexpr double sum_of(const double (&v)[N]) {
    double sum = 0.0;
    for (int i = 0; i < N; ++i) sum += v[i];
    return sum;
}

static_assert(rows_sum_to_nodes<RungeKutta65>(1e-14), "a rows must sum to c");
static_assert(cabs(sum_of(RungeKutta65::b5) - 1.0) < 1e-14, "b5 must sum to 1");
static_assert(cabs(sum_of(RungeKutta65::b6) - 1.0) < 1e-14, "b6 must sum to 1");
static_assert(cabs(sum_of(DenseOutput65::d) - 0.5) < 1e-14, "midpoint weights must sum to 1/2");
static_assert(cabs(DenseOutput65::k1 + DenseOutput65::k2 + DenseOutput65::k3 - 1.0) < 1e-14,
              "0.9 point weights must sum to 1");
static_assert(cabs(DenseOutput65::k7 + DenseOutput65::k8 + DenseOutput65::k9 - 1.0) < 1e-14,
              "0.95 point weights must sum to 1");

}  // namespace tx::detail
