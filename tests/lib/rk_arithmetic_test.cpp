// The tuned attempt and dense output against a literal transcription of the method: every sum
// from +0.0 over all stages in order, zero coefficients included.  Random finite inputs with
// signed zeros, subnormals and wide magnitudes; every result bit must agree, for compile-time
// and run-time vector sizes alike.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "detail/dense_step.hpp"
#include "detail/rk_step.hpp"
#include "tx.h"

namespace {

using tx::detail::DenseOutput65;
using tx::detail::FixedSize;
using tx::detail::RungeKutta65;
using tx::detail::RuntimeSize;

// Mixes components so that signs, zeros and magnitudes travel (-0.0 where a negative zero is
// reduced by a positive one), and grows at most linearly, so that the stages stay finite.
void mixing(double t, double *y, double *f, int n) {
    for (int i = 0; i < n; ++i) {
        const double a = y[i], b = y[(i + 1) % n];
        f[i] = b - 0.75 * a + a * b / (1.0 + b * b) + (i % 2 ? -t : t) * 1e-3;
    }
}

template <int N>
void mixing_n(double t, double *y, double *f) {
    mixing(t, y, f, N);
}

// Exact sign flips: from a state of zeros every stage is a signed zero, so any change in the
// sign of a zero sum shows.
template <int N>
void flip_n(double, double *y, double *f) {
    for (int i = 0; i < N; ++i) f[i] = -y[i];
}

double literal_attempt(Traxis tx, int n, double t, double h) {
    using T = RungeKutta65;
    double *k = tx->k;
    for (int i = 0; i < n; ++i) tx->y5[i] = tx->y6[i] = 0.0;
    for (int j = 0; j < T::s; ++j) {
        for (int i = 0; i < n; ++i) {
            double sum = 0.0;
            for (int m = 0; m < j; ++m) sum += T::a[j][m] * k[m * n + i];
            tx->yw[i] = tx->y0[i] + h * sum;
        }
        tx->fcn(t + T::c[j] * h, tx->yw, k + j * n);
        for (int i = 0; i < n; ++i) {
            tx->y5[i] += T::b5[j] * k[j * n + i];
            tx->y6[i] += T::b6[j] * k[j * n + i];
        }
    }
    for (int i = 0; i < n; ++i) {
        tx->y5[i] = tx->y0[i] + h * tx->y5[i];
        tx->y6[i] = tx->y0[i] + h * tx->y6[i];
        tx->abs_err[i] = std::fabs(tx->y6[i] - tx->y5[i]);
    }
    if (tx->AbsTol == 0.0 && tx->RelTol == 0.0) return 0.0;
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        double scale = std::fabs(tx->y6[i]) * tx->RelTol + tx->AbsTol;
        if (scale < DBL_MIN) {
            if (tx->abs_err[i] < DBL_MIN) continue;
            scale = DBL_MIN;
        }
        const double r = tx->abs_err[i] / scale;
        sum += r * r;
    }
    return std::sqrt(sum);
}

void literal_dense(Traxis tx, int n, double t, double *out) {
    using D = DenseOutput65;
    const double h = tx->tlast - tx->tfirst, tau = (t - tx->tfirst) / h;
    const double tau2 = tau * tau, tau3 = tau2 * tau, tau4 = tau3 * tau;
    const double taum1 = tau - 1.0, taum1p2 = taum1 * taum1;
    double *k = tx->k;
    std::memcpy(tx->y0, tx->yfirst, sizeof(double) * n);
    std::memcpy(tx->y6, tx->ylast, sizeof(double) * n);
    tx->fcn(tx->tlast, tx->y6, k + 11 * n);
    for (int i = 0; i < n; ++i) {
        double sum = 0.0;
        for (int j = 0; j < 8; ++j) sum += D::d[j] * k[j * n + i];
        sum += D::d[8] * k[11 * n + i];
        tx->ynp1d2[i] = tx->y0[i] + h * sum;
    }
    tx->fcn(tx->tfirst + 0.5 * h, tx->ynp1d2, k + 8 * n);
    for (int i = 0; i < n; ++i)
        tx->yw[i] = D::k1 * tx->y0[i] + D::k2 * tx->y6[i] + D::k3 * tx->ynp1d2[i] +
                    h * (D::k4 * k[i] + D::k5 * k[11 * n + i] + D::k6 * k[8 * n + i]);
    tx->fcn(tx->tfirst + 0.9 * h, tx->yw, k + 9 * n);
    for (int i = 0; i < n; ++i)
        tx->yw[i] = D::k7 * tx->y0[i] + D::k8 * tx->y6[i] + D::k9 * tx->ynp1d2[i] +
                    h * (D::k10 * k[i] + D::k11 * k[11 * n + i] + D::k12 * k[8 * n + i]);
    tx->fcn(tx->tfirst + 0.95 * h, tx->yw, k + 10 * n);
    const double d0 = (400 * tau4 - 808 * tau3 + 462 * tau2 - 34 * tau - 17) * taum1p2 / (-17);
    const double d1 = (30200 * tau3 - 65084 * tau2 + 43806 * tau - 8721) * (-tau * taum1p2 / 8721);
    const double d2 = (400 * tau4 - 1608 * tau3 + 2478 * tau2 - 1766 * tau + 513) * tau2 / 17;
    const double d3 = (3800 * tau3 - 7396 * tau2 + 4160 * tau - 513) * taum1 * tau2 / 51;
    const double d4 = (18400 * tau2 - 33088 * tau + 14877) * (-tau2 * taum1p2 / 918);
    const double d5 = (100000 * tau2 - 100000 * tau + 7125) * tau2 * taum1p2 / 918;
    const double d6 = (-1600000 * tau2 + 1600000 * tau - 216000) * tau2 * taum1p2 / 8721;
    for (int i = 0; i < n; ++i)
        out[i] = d0 * tx->y0[i] + d2 * tx->y6[i] +
                 h * (d1 * k[i] + d3 * k[11 * n + i] + d4 * k[8 * n + i] + d5 * k[9 * n + i] +
                      d6 * k[10 * n + i]);
}

// Values that probe rounding: signed zeros, subnormals, and magnitudes from 1e-300 to 1e30.
double awkward(std::mt19937_64 &rng) {
    switch (std::uniform_int_distribution<int>(0, 7)(rng)) {
    case 0: return 0.0;
    case 1: return -0.0;
    case 2: return 4.9e-324 * std::uniform_int_distribution<int>(-9, 9)(rng);
    case 3: return std::ldexp(std::uniform_real_distribution<double>(-1, 1)(rng),
                              std::uniform_int_distribution<int>(-1000, 100)(rng));
    default: return std::uniform_real_distribution<double>(-3, 3)(rng);
    }
}

bool same_bits(const double *a, const double *b, int n) {
    return std::memcmp(a, b, sizeof(double) * n) == 0;
}

void expect_same_handles(Traxis a, Traxis b, int n, int k_rows) {
    for (auto field : {&Traxis_t::y5, &Traxis_t::y6, &Traxis_t::yw, &Traxis_t::abs_err,
                       &Traxis_t::y0, &Traxis_t::ynp1d2})
        EXPECT_TRUE(same_bits(a->*field, b->*field, n));
    EXPECT_TRUE(same_bits(a->k, b->k, k_rows * n));
}

// Both size types against the literal method, on the same random cases.
template <int N, class Size>
void compare(Size size, std::mt19937_64 &rng) {
    Traxis tuned = TXOpenTraxis(nullptr, N, 1e-6, 0.1);
    Traxis literal = TXOpenTraxis(nullptr, N, 1e-6, 0.1);
    for (int trial = 0; trial < 2000; ++trial) {
        SCOPED_TRACE(testing::Message() << "n " << N << " trial " << trial);
        const bool zeros = trial % 4 == 0;
        const fcn_t f = zeros ? flip_n<N> : mixing_n<N>;
        tuned->fcn = literal->fcn = f;
        for (int i = 0; i < N; ++i)
            tuned->y0[i] = literal->y0[i] = zeros ? (rng() % 2 ? 0.0 : -0.0) : awkward(rng);
        const double t = trial % 7 == 0 ? -0.0 : awkward(rng);
        const double h = std::ldexp(std::uniform_real_distribution<double>(0.5, 1)(rng),
                                    std::uniform_int_distribution<int>(-40, 2)(rng));
        tuned->RelTol = literal->RelTol = trial % 5 == 0 ? 0.0 : 1e-8;
        tuned->AbsTol = literal->AbsTol = trial % 3 == 0 ? 0.0 : 1e-10;
        const double e1 = tx::detail::rk_attempt(tuned, size, t, h, f);
        const double e2 = literal_attempt(literal, N, t, h);
        EXPECT_TRUE(same_bits(&e1, &e2, 1) || (std::isnan(e1) && std::isnan(e2)));
        expect_same_handles(tuned, literal, N, 8);

        // Dense output on the step just computed.
        for (Traxis tx : {tuned, literal}) {
            tx->tfirst = t;
            tx->tlast = t + h;
            std::memcpy(tx->yfirst, tx->y0, sizeof(double) * N);
            std::memcpy(tx->ylast, tx->y6, sizeof(double) * N);
        }
        const double at = t + std::uniform_real_distribution<double>(-0.2, 1.2)(rng) * h;
        double out1[N], out2[N];
        tx::detail::dense_sample(tuned, size, at, out1, f);
        literal_dense(literal, N, at, out2);
        EXPECT_TRUE(same_bits(out1, out2, N));
        expect_same_handles(tuned, literal, N, 12);
        if (testing::Test::HasFailure()) break;
    }
    TXCloseTraxis(tuned);
    TXCloseTraxis(literal);
}

TEST(RkArithmetic, TunedLoopsReproduceTheLiteralMethodBitForBit) {
    std::mt19937_64 rng(20240611);
    compare<1>(FixedSize<1>{}, rng);
    compare<2>(FixedSize<2>{}, rng);
    compare<3>(FixedSize<3>{}, rng);
    compare<4>(FixedSize<4>{}, rng);
    compare<3>(RuntimeSize{3}, rng);
    compare<7>(RuntimeSize{7}, rng);
}

}  // namespace
