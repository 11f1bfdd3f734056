// Periodic orbits whose bifurcations are known in closed form, shared by the orbit-bifurcation
// and orbit-continuation tests.
//
// Each system is written in coordinates z where it separates: a planar cycle r' = r g(r),
// theta' = omega (period 2 pi / omega) and transverse coordinates, or, for the forced systems,
// transverse coordinates alone with the forcing period 2 pi / omega.  The library sees
// y = H z + lambda e (+ b(t) when forced): H a Householder reflection, so that no matrix is
// block-diagonal, and e a shift, so that the branch moves with lambda.  Neither changes the
// multipliers or where they cross the unit circle.
#pragma once

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "owned_handle.hpp"
#include "tx.h"

namespace txtest::cycles {

inline double g_lambda = 0.0;  // the continuation parameter
inline double g_omega = 2.0 * M_PI;

constexpr double kAlpha = -1.0;  // rate of the stable transverse direction
inline const double kKappa = (std::sqrt(5.0) - 1.0) / 2.0;  // turns per period of the torus pair
constexpr double kForcing = 0.5;
constexpr double kSkew = 0.3;

// ---- the systems in separated coordinates: G(t, z, dz) ----

inline double radius(const double *z) { return std::sqrt(z[0] * z[0] + z[1] * z[1]); }

// theta' = omega (1 + skew sin theta): a skew of 0 gives a cycle symmetric under z -> -z, whose
// half-period map looks like that of an orbit of half the period.
// Returns theta'.
inline double planar(const double *z, double *dz, double g, double skew = kSkew) {
    const double turn = g_omega * (1.0 + skew * z[1] / radius(z));
    dz[0] = z[0] * g - turn * z[1];
    dz[1] = z[1] * g + turn * z[0];
    return turn;
}

// v = (u, w) in a frame that turns by phi, half as fast as the angle 2 phi whose cosine and sine
// are given: rate kAlpha along one axis, q' = lambda q - q^3 along the other (q its coordinate).
inline void twisted(double c2, double s2, double phi_rate, const double *v, double *dv) {
    // P projects onto the second axis of the frame, written with the full angle 2 phi.
    const double p00 = 0.5 * (1.0 - c2), p01 = -0.5 * s2, p11 = 0.5 * (1.0 + c2);
    const double pv0 = p00 * v[0] + p01 * v[1], pv1 = p01 * v[0] + p11 * v[1];
    const double q2 = v[0] * pv0 + v[1] * pv1;
    dv[0] = kAlpha * (v[0] - pv0) + (g_lambda - q2) * pv0 - phi_rate * v[1];
    dv[1] = kAlpha * (v[1] - pv1) + (g_lambda - q2) * pv1 + phi_rate * v[0];
}

// v' = lambda v + kappa omega J v - |v|^2 v: multipliers e^(lambda T) e^(+-2 pi i kappa).
inline void rotating(const double *v, double *dv) {
    const double s = g_lambda - (v[0] * v[0] + v[1] * v[1]);
    dv[0] = s * v[0] - kKappa * g_omega * v[1];
    dv[1] = s * v[1] + kKappa * g_omega * v[0];
}

inline double fold_rate(double r) { return g_lambda + 2.0 * r * r - r * r * r * r; }

// Autonomous, 4-D: multiplier -e^(lambda T), period doubling at lambda = 0.
inline void doubling_cycle(double, const double *z, double *dz) {
    const double r = radius(z);
    const double turn = planar(z, dz, 1.0 - r * r);
    twisted(z[0] / r, z[1] / r, 0.5 * turn, z + 2, dz + 2);
}
// Autonomous, 4-D: multipliers e^(lambda T) e^(+-2 pi i kappa), torus at lambda = 0.
inline void torus_cycle(double, const double *z, double *dz) {
    const double r = radius(z);
    planar(z, dz, 1.0 - r * r);
    rotating(z + 2, dz + 2);
}
// Autonomous, 3-D: u' = lambda u - u^2, transcritical at lambda = 0.
inline void transcritical_cycle(double, const double *z, double *dz) {
    const double r = radius(z);
    planar(z, dz, 1.0 - r * r);
    dz[2] = (g_lambda - z[2]) * z[2];
}
// Autonomous, 3-D: u' = lambda u - u^3, pitchfork at lambda = 0.
inline void pitchfork_cycle(double, const double *z, double *dz) {
    const double r = radius(z);
    planar(z, dz, 1.0 - r * r);
    dz[2] = (g_lambda - z[2] * z[2]) * z[2];
}
// Autonomous, 2-D: r' = r (lambda + 2 r^2 - r^4), saddle-node of cycles at lambda = -1, r = 1.
inline void fold_cycle(double, const double *z, double *dz) { planar(z, dz, fold_rate(radius(z))); }
// Hopf normal form r' = r (lambda - r^2): radius sqrt(lambda), multiplier e^(-2 lambda T).
inline void hopf_cycle(double, const double *z, double *dz) {
    const double r = radius(z);
    planar(z, dz, g_lambda - r * r, 0.0);
}

// Forced, 2-D, period 2 pi / omega: the same transverse dynamics driven by the forcing phase.
inline void doubling_forced(double t, const double *z, double *dz) {
    twisted(std::cos(g_omega * t), std::sin(g_omega * t), 0.5 * g_omega, z, dz);
}
inline void torus_forced(double, const double *z, double *dz) { rotating(z, dz); }
inline void transcritical_forced(double, const double *z, double *dz) {
    dz[0] = (g_lambda - z[0]) * z[0];
    dz[1] = -3.0 * z[1];
}
inline void pitchfork_forced(double, const double *z, double *dz) {
    dz[0] = (g_lambda - z[0] * z[0]) * z[0];
    dz[1] = -3.0 * z[1];
}
// u' = u (lambda + 2 u^2 - u^4): saddle-node at lambda = -1, u = 1.
inline void fold_forced(double, const double *z, double *dz) {
    dz[0] = z[0] * fold_rate(z[0]);
    dz[1] = -3.0 * z[1];
}

// ---- what the library sees ----

template <int N>
double householder(int i, int j) {
    double ww = 0.0;
    for (int k = 1; k <= N; ++k) ww += k * k;
    return (i == j ? 1.0 : 0.0) - 2.0 * (i + 1) * (j + 1) / ww;
}

constexpr double kShift[4] = {0.6, -0.3, 0.4, -0.2};

using Separated = void (*)(double, const double *, double *);

// y = H z + lambda e + b(t), H = H^T = H^-1.
template <int N, Separated G, bool Forced, bool Mixed = true>
struct Observed {
    static constexpr int n = N;
    static double forcing(int i, double t) {
        if (!Forced || i > 1) return 0.0;
        return kForcing * (i == 0 ? std::cos(g_omega * t) : std::sin(g_omega * t));
    }
    static void to_separated(double t, const double *y, double *z) {
        double d[N];
        for (int i = 0; i < N; ++i)
            d[i] = Mixed ? y[i] - g_lambda * kShift[i] - forcing(i, t) : y[i];
        for (int i = 0; i < N; ++i) {
            z[i] = 0.0;
            for (int j = 0; j < N; ++j) z[i] += (Mixed ? householder<N>(i, j) : i == j) * d[j];
        }
    }
    static void to_observed(double t, const double *z, double *y) {
        for (int i = 0; i < N; ++i) {
            y[i] = Mixed ? g_lambda * kShift[i] + forcing(i, t) : 0.0;
            for (int j = 0; j < N; ++j) y[i] += (Mixed ? householder<N>(i, j) : i == j) * z[j];
        }
    }
    static void fcn(double t, double *y, double *f) {
        double z[N], dz[N];
        to_separated(t, y, z);
        G(t, z, dz);
        for (int i = 0; i < N; ++i) {
            f[i] = 0.0;
            for (int j = 0; j < N; ++j) f[i] += (Mixed ? householder<N>(i, j) : i == j) * dz[j];
        }
        if (Mixed && Forced) {  // b'(t)
            f[0] -= kForcing * g_omega * std::sin(g_omega * t);
            f[1] += kForcing * g_omega * std::cos(g_omega * t);
        }
    }
    // Autonomous systems: the line z_1 = 0 of the cycle's plane, crossed twice per turn.
    static double cut(double t, double *y) {
        double z[N];
        to_separated(t, y, z);
        return z[1];
    }
};

using DoublingCycle = Observed<4, doubling_cycle, false>;
using TorusCycle = Observed<4, torus_cycle, false>;
using TranscriticalCycle = Observed<3, transcritical_cycle, false>;
using PitchforkCycle = Observed<3, pitchfork_cycle, false>;
using FoldCycle = Observed<2, fold_cycle, false>;
using HopfCycle = Observed<2, hopf_cycle, false, false>;
using DoublingForced = Observed<2, doubling_forced, true>;
using TorusForced = Observed<2, torus_forced, true>;
using TranscriticalForced = Observed<2, transcritical_forced, true>;
using PitchforkForced = Observed<2, pitchfork_forced, true>;
using FoldForced = Observed<2, fold_forced, true>;

inline double forcing_period() { return 2.0 * M_PI / g_omega; }
inline double cycle_period(double skew = kSkew) {
    return 2.0 * M_PI / (g_omega * std::sqrt(1.0 - skew * skew));
}

// A handle on S at lambda, omega = 2 pi, with difference Jacobians, lambda and omega registered,
// and for autonomous systems the section; refusals are returned.
template <class S>
OwnedHandle open_cycle(double lambda, bool autonomous) {
    g_lambda = lambda;
    g_omega = 2.0 * M_PI;
    OwnedHandle tx = open_quiet(S::fcn, S::n, 1e-9, 0.01);
    TXSetAbsTol(tx.get(), 1e-10);
    tx->NewtAbsTol = 1e-8;  // components that pass through 0 are measured absolutely
    TXVarOpenTraxis(tx.get(), nullptr, 1e-7, 2, nullptr, 1e-7, &g_lambda, &g_omega);
    if (autonomous) TXSetCut(tx.get(), S::cut, 1e-9);
    return tx;
}

// The point of S's orbit at separated coordinates z and time t.
template <class S>
void observed_point(double t, std::initializer_list<double> z, double *y) {
    double zz[4] = {0.0, 0.0, 0.0, 0.0};
    std::copy(z.begin(), z.end(), zz);
    S::to_observed(t, zz, y);
}

}  // namespace txtest::cycles
