// Fingerprints of long trajectories: every bit the stepper and the dense output leave in the
// caller's state and in the handle, hashed and compared with values recorded before the step
// loops were tuned.  Any change of arithmetic order, however harmless it looks, breaks them.
// The C functions and tx.hpp, with the right-hand side inlined, must both give them; with the
// high-order pair the two front ends must agree bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "detail/method_state.hpp"
#include "tx.h"
#include "tx.hpp"

namespace {

// FNV-1a over the bytes of each double.
struct Fingerprint {
    std::uint64_t h = 14695981039346656037ull;
    void add(double x) {
        unsigned char b[sizeof x];
        std::memcpy(b, &x, sizeof x);
        for (unsigned char c : b) h = (h ^ c) * 1099511628211ull;
    }
    void add(const double *v, int n) {
        for (int i = 0; i < n; ++i) add(v[i]);
    }
};

// Everything a step leaves behind, work vectors included.
void add_handle(Fingerprint &fp, Traxis tx) {
    const int n = tx->order;
    fp.add(tx->tfirst);
    fp.add(tx->tlast);
    fp.add(tx->h);
    for (double *v : {tx->yfirst, tx->ylast, tx->y0, tx->y5, tx->y6, tx->yw, tx->abs_err,
                      tx->ynp1d2})
        fp.add(v, n);
    fp.add(tx->k, 12 * n);
    if (tx->method) fp.add(tx->method->k, tx::detail::kExtraRows * n);
}

// Only arithmetic and sqrt (correctly rounded everywhere): no libm function whose last bit
// may differ between C libraries.
void lorenz(double, double *y, double *f) {
    f[0] = 10.0 * (y[1] - y[0]);
    f[1] = y[0] * (28.0 - y[2]) - y[1];
    f[2] = y[0] * y[1] - 8.0 / 3.0 * y[2];
}

void van_der_pol(double, double *y, double *f) {
    f[0] = y[1];
    f[1] = 10.0 * (1.0 - y[0] * y[0]) * y[1] - y[0];
}

void arenstorf(double, double *y, double *f) {
    const double mu = 0.012277471, mu1 = 1.0 - mu;
    const double d1 = std::sqrt((y[0] + mu) * (y[0] + mu) + y[1] * y[1]);
    const double d2 = std::sqrt((y[0] - mu1) * (y[0] - mu1) + y[1] * y[1]);
    const double r1 = d1 * d1 * d1, r2 = d2 * d2 * d2;
    f[0] = y[2];
    f[1] = y[3];
    f[2] = y[0] + 2.0 * y[3] - mu1 * (y[0] + mu) / r1 - mu * (y[0] - mu1) / r2;
    f[3] = y[1] - 2.0 * y[2] - mu1 * y[1] / r1 - mu * y[1] / r2;
}

constexpr int kChain = 40;

// A damped chain of coupled oscillators, driven in time.
void chain(double t, double *y, double *f) {
    for (int i = 0; i < kChain; ++i) {
        const double left = i > 0 ? y[i - 1] : 0.0, right = i + 1 < kChain ? y[i + 1] : 0.0;
        f[i] = -2.0 * y[i] + left + right - 0.01 * (i + 1) * y[i];
    }
    f[0] += 1.0 / (1.0 + t * t);
}

void growth(double, double *y, double *f) { f[0] = y[0]; }

enum class Api { C, Hpp };

// The operations through either front end; tx.hpp gets F as a callable it can inline.
template <fcn_t F>
struct Ops {
    static void rhs(double t, const double *y, double *f) { F(t, const_cast<double *>(y), f); }
    static int integrate(Api api, Traxis tx, double *t, double t1, double *y) {
        return api == Api::C ? TXIntegrate(tx, t, t1, y) : tx::integrate(tx, t, t1, y, rhs);
    }
    static int step(Api api, Traxis tx, double *t, double *y) {
        return api == Api::C ? TXStep(tx, t, y) : tx::step(tx, t, y, rhs);
    }
    static int interpolate(Api api, Traxis tx, double t, double *y) {
        return api == Api::C ? TXInterpolate(tx, t, y) : tx::interpolate(tx, t, y, rhs);
    }
};

struct Run {
    int n;
    double rtol, atol, h0, hmax;
    int method = TX_METHOD_RK65;
};

// The C handle gets F as its callback; tx.hpp's handle none.
template <fcn_t F>
Traxis open_run(Api api, const Run &r) {
    Traxis tx = TXOpenTraxis(api == Api::C ? F : nullptr, r.n, r.rtol, r.h0);
    tx->AbsTol = r.atol;
    if (r.hmax > 0) TXSetMaxStep(tx, r.hmax);
    TXSetMethod(tx, r.method);
    return tx;
}

// Many short integrations with a dense sample inside every interval.
template <fcn_t F>
std::uint64_t integrate_fingerprint(Api api, const Run &r, const double *y_init, double dt,
                                    int calls) {
    Traxis tx = open_run<F>(api, r);
    double y[kChain], sample[kChain];
    std::memcpy(y, y_init, sizeof(double) * r.n);
    double t = 0.0;
    Fingerprint fp;
    for (int i = 1; i <= calls; ++i) {
        EXPECT_EQ(Ops<F>::integrate(api, tx, &t, dt * i, y), 1);
        fp.add(t);
        fp.add(y, r.n);
        fp.add(tx->h);
        EXPECT_EQ(Ops<F>::interpolate(api, tx, 0.5 * (tx->tfirst + tx->tlast), sample), 1);
        fp.add(sample, r.n);
    }
    add_handle(fp, tx);
    TXCloseTraxis(tx);
    return fp.h;
}

template <fcn_t F>
std::uint64_t step_fingerprint(Api api, const Run &r, const double *y_init, int steps) {
    Traxis tx = open_run<F>(api, r);
    double y[kChain];
    std::memcpy(y, y_init, sizeof(double) * r.n);
    double t = 0.0;
    Fingerprint fp;
    for (int i = 0; i < steps; ++i) {
        EXPECT_EQ(Ops<F>::step(api, tx, &t, y), 1);
        fp.add(t);
        fp.add(y, r.n);
        fp.add(tx->h);
    }
    add_handle(fp, tx);
    TXCloseTraxis(tx);
    return fp.h;
}

const double kLorenz0[] = {1.0, 1.0, 1.0};
const double kVdp0[] = {2.0, 0.0};
const double kArenstorf0[] = {0.994, 0.0, 0.0, -2.00158510637908252240537862224};
const double kGrowth0[] = {1.0};
// Signed zeros that stay zero: the sign of every intermediate zero shows in the bits.
const double kLorenzAxis[] = {-0.0, -0.0, 1.0};
const double kMinusZero[] = {-0.0};

const double *chain_start() {
    static double y[kChain];
    for (int i = 0; i < kChain; ++i) y[i] = std::sqrt(static_cast<double>(i % 7)) - 1.0;
    return y;
}

// Recorded with the straightforward transcription of the method, before any tuning.
TEST(Fingerprint, IntegrateMatchesTheRecordedTrajectories) {
    for (Api api : {Api::C, Api::Hpp}) {
        SCOPED_TRACE(api == Api::C ? "C" : "tx.hpp");
        EXPECT_EQ(integrate_fingerprint<lorenz>(api, {3, 1e-10, 0.0, 0.01, 0.0}, kLorenz0, 0.05,
                                                400),
                  0x182f56e38a98fb17ull);
        EXPECT_EQ(integrate_fingerprint<lorenz>(api, {3, 1e-4, 1e-6, 0.01, 0.02}, kLorenz0, 0.3,
                                                100),
                  0xecc30bda0a905c34ull);
        EXPECT_EQ(integrate_fingerprint<van_der_pol>(api, {2, 1e-7, 0.0, 1e-3, 0.0}, kVdp0, 0.1,
                                                     300),
                  0x4be7555f3c9975c2ull);
        EXPECT_EQ(integrate_fingerprint<arenstorf>(api, {4, 1e-12, 0.0, 1e-4, 0.0}, kArenstorf0,
                                                   0.25, 69),
                  0x399a5cbbf2e7cf49ull);
        EXPECT_EQ(integrate_fingerprint<chain>(api, {kChain, 1e-8, 1e-10, 0.1, 0.0},
                                               chain_start(), 0.5, 40),
                  0x9757087215378a46ull);
        EXPECT_EQ(integrate_fingerprint<growth>(api, {1, 0.0, 0.0, 0.1, 0.0}, kGrowth0, 0.35, 20),
                  0x1fff33fc1e9890dbull);
        EXPECT_EQ(integrate_fingerprint<lorenz>(api, {3, 1e-9, 0.0, 0.01, 0.0}, kLorenzAxis, 0.5,
                                                10),
                  0x391ab4ab0283a566ull);
        EXPECT_EQ(integrate_fingerprint<growth>(api, {1, 1e-9, 0.0, 0.01, 0.0}, kMinusZero, 0.5,
                                                10),
                  0x8f4492cd2a7cfbd6ull);
    }
}

TEST(Fingerprint, StepMatchesTheRecordedTrajectories) {
    for (Api api : {Api::C, Api::Hpp}) {
        SCOPED_TRACE(api == Api::C ? "C" : "tx.hpp");
        EXPECT_EQ(step_fingerprint<lorenz>(api, {3, 1e-8, 0.0, 0.01, 0.0}, kLorenz0, 3000),
                  0x622c29a346c65c19ull);
        EXPECT_EQ(step_fingerprint<van_der_pol>(api, {2, 1e-5, 1e-8, 0.1, 0.05}, kVdp0, 2000),
                  0xf28860c94142d527ull);
        EXPECT_EQ(step_fingerprint<arenstorf>(api, {4, 1e-9, 0.0, 1e-4, 0.0}, kArenstorf0, 1500),
                  0x6dbbe9c7b5495036ull);
        EXPECT_EQ(step_fingerprint<chain>(api, {kChain, 1e-6, 0.0, 0.1, 0.0}, chain_start(), 300),
                  0x92de2e93d1098403ull);
    }
}

// No recorded values for the high-order pair: the two front ends against each other.
TEST(Fingerprint, HighOrderPairGivesTheSameBitsThroughBothFrontEnds) {
    constexpr int kHigh = TX_METHOD_HIGH_ORDER;
    auto both = [](auto fingerprint) {
        EXPECT_EQ(fingerprint(Api::C), fingerprint(Api::Hpp));
    };
    both([](Api a) {
        return integrate_fingerprint<lorenz>(a, {3, 1e-10, 0.0, 0.01, 0.0, kHigh}, kLorenz0, 0.05,
                                             400);
    });
    both([](Api a) {
        return integrate_fingerprint<arenstorf>(a, {4, 1e-12, 0.0, 1e-4, 0.0, kHigh},
                                                kArenstorf0, 0.25, 69);
    });
    both([](Api a) {
        return integrate_fingerprint<chain>(a, {kChain, 1e-8, 1e-10, 0.1, 0.0, kHigh},
                                            chain_start(), 0.5, 40);
    });
    both([](Api a) {
        return integrate_fingerprint<growth>(a, {1, 0.0, 0.0, 0.1, 0.0, kHigh}, kGrowth0, 0.35,
                                             20);
    });
    both([](Api a) {
        return step_fingerprint<van_der_pol>(a, {2, 1e-5, 1e-8, 0.1, 0.05, kHigh}, kVdp0, 2000);
    });
}

// Lorenz with rho as a registered parameter, for the variational integrator.
double g_rho = 28.0;

void lorenz_rho(double, double *y, double *f) {
    f[0] = 10.0 * (y[1] - y[0]);
    f[1] = y[0] * (g_rho - y[2]) - y[1];
    f[2] = y[0] * y[1] - 8.0 / 3.0 * y[2];
}

void lorenz_jac(double, double *y, double **J) {
    J[0][0] = -10.0, J[0][1] = 10.0, J[0][2] = 0.0;
    J[1][0] = g_rho - y[2], J[1][1] = -1.0, J[1][2] = -y[0];
    J[2][0] = y[1], J[2][1] = y[0], J[2][2] = -8.0 / 3.0;
}

void lorenz_rho_jac(double, double *y, double **P) {
    P[0][0] = 0.0;
    P[1][0] = y[0];
    P[2][0] = 0.0;
}

struct VarRun {
    bool analytic, sensitivity;
    int calls;
    double rtol = 1e-9, pert = 1e-7;
    int method = TX_METHOD_RK65;
};

// State, fundamental matrix and sensitivity to rho, sampled like integrate_fingerprint.
std::uint64_t variational_fingerprint(Api api, const VarRun &r) {
    Traxis tx = TXOpenTraxis(api == Api::C ? lorenz_rho : nullptr, 3, r.rtol, 0.01);
    TXSetMethod(tx, r.method);
    if (r.analytic)
        TXVarOpenTraxis(tx, lorenz_jac, 1, lorenz_rho_jac, &g_rho);
    else
        TXVarOpenTraxis(tx, nullptr, r.pert, 1, nullptr, r.pert, &g_rho);
    tx->cp[0] = r.sensitivity;
    using Lorenz = Ops<lorenz_rho>;
    // tx.hpp takes the Jacobians as callables, or differences of the right-hand side.
    auto integrate = [&](double *t, double t1, double *y, double **Phi) {
        if (api == Api::C) return TXVarIntegrate(tx, t, t1, y, Phi);
        if (r.analytic)
            return tx::var_integrate(tx, t, t1, y, Phi, Lorenz::rhs, lorenz_jac, lorenz_rho_jac);
        return tx::var_integrate(tx, t, t1, y, Phi, Lorenz::rhs);
    };
    auto interpolate = [&](double t, double *y, double **Phi) {
        if (api == Api::C) return TXVarInterpolate(tx, t, y, Phi);
        if (r.analytic)
            return tx::var_interpolate(tx, t, y, Phi, Lorenz::rhs, lorenz_jac, lorenz_rho_jac);
        return tx::var_interpolate(tx, t, y, Phi, Lorenz::rhs);
    };
    auto step = [&](double *t, double *y, double **Phi) {
        if (api == Api::C) return TXVarStep(tx, t, y, Phi);
        if (r.analytic) return tx::var_step(tx, t, y, Phi, Lorenz::rhs, lorenz_jac, lorenz_rho_jac);
        return tx::var_step(tx, t, y, Phi, Lorenz::rhs);
    };
    const int m = r.sensitivity ? 4 : 3;
    double rows[3][4] = {}, sample_rows[3][4];
    double *Phi[3] = {rows[0], rows[1], rows[2]}, *S[3] = {sample_rows[0], sample_rows[1],
                                                           sample_rows[2]};
    for (int i = 0; i < 3; ++i) rows[i][i] = 1.0;
    double y[3] = {1.0, 1.0, 1.0}, sample[3], t = 0.0;
    Fingerprint fp;
    for (int i = 1; i <= r.calls; ++i) {
        EXPECT_EQ(integrate(&t, 0.05 * i, y, Phi), 1);
        fp.add(t);
        fp.add(y, 3);
        for (double *row : Phi) fp.add(row, m);
        const Traxis sub = tx->TX;
        EXPECT_EQ(interpolate(0.5 * (sub->tfirst + sub->tlast), sample, S), 1);
        fp.add(sample, 3);
        for (double *row : S) fp.add(row, m);
    }
    step(&t, y, Phi);
    fp.add(y, 3);
    for (double *row : Phi) fp.add(row, m);
    add_handle(fp, tx->TX);
    TXCloseTraxis(tx);
    return fp.h;
}

TEST(Fingerprint, VariationalMatchesTheRecordedTrajectories) {
    for (Api api : {Api::C, Api::Hpp}) {
        SCOPED_TRACE(api == Api::C ? "C" : "tx.hpp");
        EXPECT_EQ(variational_fingerprint(api, {true, false, 100}), 0xc81c449853275875ull);
        EXPECT_EQ(variational_fingerprint(api, {true, true, 100}), 0xe556b950740c62adull);
        EXPECT_EQ(variational_fingerprint(api, {false, true, 40}), 0xded5fb9e8e67ef30ull);
    }
}

TEST(Fingerprint, HighOrderVariationalGivesTheSameBitsThroughBothFrontEnds) {
    // Difference Jacobians carry rounding noise of about 1e-16 / pert, which the eighth-order
    // pair's larger weights magnify: they need a perturbation matched to the tolerance.
    for (const VarRun &r : {VarRun{true, true, 100, 1e-9, 1e-7, TX_METHOD_HIGH_ORDER},
                            VarRun{false, true, 40, 1e-7, 1e-4, TX_METHOD_HIGH_ORDER}})
        EXPECT_EQ(variational_fingerprint(Api::C, r), variational_fingerprint(Api::Hpp, r));
}

}  // namespace
