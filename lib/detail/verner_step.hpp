// The high-order pair (Verner's 8(7) pair, verner87_table.hpp) on a handle's vectors: one
// attempt, the step-size rule and the dense output.  Shared, like the 6(5) pair, by the plain
// stepper and the variational integrator.
//
// Stage rows 0-11 live in the handle's k, rows 12-20 in the method's own block.  Rows 13-20 are
// the interpolation stages of the last step, evaluated by the first dense output after it.
#pragma once

#include <array>
#include <cfloat>
#include <cmath>
#include <utility>

#include "../tx.h"
#include "method_state.hpp"
#include "rk_step.hpp"
#include "verner87_table.hpp"
#include "vector_size.hpp"

namespace tx::detail {

namespace verner {

using T = Verner87Table;
constexpr int kStages = T::kStages;
constexpr int kAll = T::kDenseStages;

template <int N>
constexpr std::array<double, N> rounded(const long double (&v)[N]) {
    std::array<double, N> out{};
    for (int i = 0; i < N; ++i) out[i] = static_cast<double>(v[i]);
    return out;
}

constexpr std::array<std::array<double, kAll>, kAll> rounded_rows() {
    std::array<std::array<double, kAll>, kAll> out{};
    for (int i = 0; i < kAll; ++i)
        for (int j = 0; j < kAll; ++j) out[i][j] = static_cast<double>(T::a[i][j]);
    return out;
}

// b - bhat, formed before rounding.
constexpr std::array<double, kStages> error_weights() {
    std::array<double, kStages> out{};
    for (int i = 0; i < kStages; ++i) out[i] = static_cast<double>(T::b[i] - T::bhat[i]);
    return out;
}

constexpr long double binomial(int n, int k) {
    long double r = 1.0L;
    for (int i = 1; i <= k; ++i) r = r * (n - k + i) / i;
    return r;
}

// The interpolation weights in the Bernstein basis of degree 8: b_j(theta) =
// sum over m of beta[j][m] C(8, m) theta^m (1 - theta)^(8 - m).  The published power-basis
// coefficients reach 1.4e6 and cancel to weights below 100: evaluated in double they would err by
// about 1e-9 of a step's increment.  The Bernstein coefficients stay below 1200 and their basis
// is positive on [0, 1].  Converted here in long double from the published values, except
// beta[j][8] = b_j(1), which is b_j: so the interpolant ends on the step's own solution whenever
// theta computes to exactly 1.
constexpr std::array<std::array<double, 9>, kAll> bernstein() {
    std::array<std::array<double, 9>, kAll> out{};
    for (int j = 0; j < kAll; ++j)
        for (int m = 0; m < 8; ++m) {
            long double sum = 0.0L;
            for (int k = 1; k <= m; ++k) sum += T::r[j][k - 1] * binomial(m, k) / binomial(8, k);
            out[j][m] = static_cast<double>(sum);
        }
    for (int j = 0; j < kStages; ++j) out[j][8] = static_cast<double>(T::b[j]);
    return out;
}

inline constexpr auto c = rounded(T::c);
inline constexpr auto a = rounded_rows();
inline constexpr auto b = rounded(T::b);
inline constexpr auto e = error_weights();
inline constexpr auto beta = bernstein();
inline constexpr double kBinomial8[9] = {1, 8, 28, 56, 70, 56, 28, 8, 1};

constexpr bool used_by_interpolant(int j) {
    for (int m = 0; m <= 8; ++m)
        if (beta[j][m] != 0.0) return true;
    return false;
}

// Stage J's argument, y0 + sum over m < J of (h a[J][m]) k_m, with the newest stage added last
// so that it waits for the previous evaluation through one product and one sum only.
template <int J, int... M>
inline double stage_argument(double y0, double h, const double *const *k, int i,
                             std::integer_sequence<int, M...>) {
    double sum = y0;
    ((a[J][M] != 0.0 ? void(sum += (h * a[J][M]) * k[M][i]) : void()), ...);
    return sum;
}

template <const std::array<double, kStages> &W, int... M>
inline double weighted(const double *const *k, int i, std::integer_sequence<int, M...>) {
    double sum = 0.0;
    ((W[M] != 0.0 ? void(sum += W[M] * k[M][i]) : void()), ...);
    return sum;
}

template <int J, class Size, class Rhs>
inline void stage(Size n, double t, double h, const double *__restrict y0, double *__restrict yw,
                  double *const *k, Rhs &rhs) {
    for (int i = 0; i < n(); ++i)
        yw[i] = stage_argument<J>(y0[i], h, k, i, std::make_integer_sequence<int, J>());
    rhs(t + c[J] * h, yw, k[J]);
}

template <class Size, class Rhs, int... J>
inline void stages(Size n, double t, double h, const double *y0, double *yw, double *const *k,
                   Rhs &rhs, std::integer_sequence<int, J...>) {
    (stage<J + 1>(n, t, h, y0, yw, k, rhs), ...);
}

template <class Size>
inline void stage_rows(const Traxis tx, Size n, double **k) {
    for (int j = 0; j < kAll; ++j)
        k[j] = j < 12 ? tx->k + j * n() : tx->method->k + (j - 12) * n();
}

// The contribution sum_j w[j] k_j of the stages the interpolant uses.
template <int... J>
inline double interpolant_sum(const double *w, const double *const *k, int i,
                              std::integer_sequence<int, J...>) {
    double sum = 0.0;
    ((used_by_interpolant(J) ? void(sum += w[J] * k[J][i]) : void()), ...);
    return sum;
}

}  // namespace verner

struct Verner87 {
    static constexpr int id = TX_METHOD_HIGH_ORDER;

    // Stages from tx->y0 at (t, h); leaves the new solution in y6 and |error estimate| in abs_err
    // (y5 is not used), and returns the error norm of the 6(5) pair's definition.  Not finite when
    // the solution or the estimate is not, whatever the tolerances, so that such an attempt is
    // rejected.
    template <class Size, class Rhs>
    static double attempt(Traxis tx, Size n, double t, double h, Rhs &rhs) {
        using namespace verner;
        const double *__restrict const y0 = tx->y0;
        double *__restrict const yw = tx->yw;
        double *__restrict const y6 = tx->y6;
        double *__restrict const abs_err = tx->abs_err;
        double *k[kAll];
        stage_rows(tx, n, k);
        // A copy: a difference Jacobian perturbs its argument in place.
        copy_vector(yw, y0, n);
        rhs(t, yw, k[0]);
        stages(n, t, h, y0, yw, k, rhs, std::make_integer_sequence<int, kStages - 1>());

        const auto all = std::make_integer_sequence<int, kStages>();
        bool finite = true;
        for (int i = 0; i < n(); ++i) {
            y6[i] = y0[i] + h * weighted<b>(k, i, all);
            const double err = h * weighted<e>(k, i, all);
            abs_err[i] = std::fabs(err);
            finite = finite && std::isfinite(y6[i]) && std::isfinite(err);
        }
        if (!finite) return INFINITY;
        return error_norm(tx, n, y6, abs_err);
    }

    // Safety factor and bounds of the step ratio chosen by measurement (docs/performance.md):
    // the exponent is 1/8 for the seventh-order estimate.  Zero tolerances keep the step fixed;
    // an exactly zero error with positive tolerances grows it by the largest factor.
    static constexpr double kSafety = 0.7, kMinFactor = 0.2, kMaxFactor = 6.0;

    static double eighth_root(double x) { return std::sqrt(std::sqrt(std::sqrt(x))); }

    static double next_step(const Traxis tx, double h, double err) {
        double factor;
        if (tx->RelTol == 0.0 && tx->AbsTol == 0.0 && err == 0.0)
            factor = 1.0;
        else if (!std::isfinite(err))
            factor = kMinFactor;
        else if (err == 0.0)
            factor = kMaxFactor;
        else
            factor = std::fmin(kMaxFactor, std::fmax(kMinFactor, kSafety / eighth_root(err)));
        return limited_step(h * factor, tx->hmax);
    }

    // The solution at t on the last step (extrapolated outside it) into the first n components of
    // out.  The eight interpolation stages are evaluated once per step, on the first call.
    template <class Size, class Rhs>
    static void dense(Traxis tx, Size n, double t, double *out, Rhs &rhs) {
        using namespace verner;
        const double h = tx->tlast - tx->tfirst;
        const double *__restrict const y0 = tx->yfirst;
        double *__restrict const yw = tx->yw;
        double *k[kAll];
        stage_rows(tx, n, k);
        if (!tx->method->dense_ready) {
            // Stage 13 is the derivative at the end of the step.
            copy_vector(yw, tx->ylast, n);
            rhs(tx->tlast, yw, k[kStages]);
            extra_stages(n, tx->tfirst, h, y0, yw, k, rhs,
                         std::make_integer_sequence<int, kAll - kStages - 1>());
            tx->method->dense_ready = true;
        }
        const double theta = (t - tx->tfirst) / h;
        const double s = 1.0 - theta;
        // Bernstein weights C(8, m) theta^m s^(8 - m).
        double tp[9], sp[9];
        tp[0] = sp[0] = 1.0;
        for (int m = 1; m <= 8; ++m) {
            tp[m] = tp[m - 1] * theta;
            sp[m] = sp[m - 1] * s;
        }
        double basis[9];
        for (int m = 0; m <= 8; ++m)
            basis[m] = kBinomial8[m] * tp[m] * sp[8 - m];
        double w[kAll];
        for (int j = 0; j < kAll; ++j) {
            double sum = 0.0;
            for (int m = 0; m <= 8; ++m) sum += beta[j][m] * basis[m];
            w[j] = sum;
        }
        const auto all = std::make_integer_sequence<int, kAll>();
        for (int i = 0; i < n(); ++i) out[i] = y0[i] + h * interpolant_sum(w, k, i, all);
    }

private:
    template <class Size, class Rhs, int... J>
    static void extra_stages(Size n, double t, double h, const double *y0, double *yw,
                             double *const *k, Rhs &rhs, std::integer_sequence<int, J...>) {
        (verner::stage<verner::kStages + 1 + J>(n, t, h, y0, yw, k, rhs), ...);
    }
};

}  // namespace tx::detail
