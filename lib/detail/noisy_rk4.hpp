// The four-stage stochastic step shared by the library's noise-driven integration and the
// programs' own fixed-step integrators: one noise sample, drawn by the caller, enters every
// stage, so its direct contribution to the step is that of one stage.
#pragma once

namespace tx::detail {

// Stage buffers of n doubles each, owned by the caller so that step loops never allocate.
struct NoisyRk4Work {
    double *arg, *f, *k1, *k2, *k3, *k4;
};

// Advances y over [t, t + h].  direct(i) is the noise increment of component i in every stage;
// it is called after each right-hand-side evaluation (the model sets its noise mask there).
template <class Rhs, class Direct>
void noisy_rk4_step(int n, double t, double *y, double h, Rhs &&rhs, Direct &&direct,
                    const NoisyRk4Work &w) {
    rhs(t, y, w.f);
    for (int i = 0; i < n; ++i) {
        w.k1[i] = w.f[i] * h + direct(i);
        w.arg[i] = y[i] + 0.5 * w.k1[i];
    }
    rhs(t + 0.5 * h, w.arg, w.f);
    for (int i = 0; i < n; ++i) {
        w.k2[i] = w.f[i] * h + direct(i);
        w.arg[i] = y[i] + 0.5 * w.k2[i];
    }
    rhs(t + 0.5 * h, w.arg, w.f);
    for (int i = 0; i < n; ++i) {
        w.k3[i] = w.f[i] * h + direct(i);
        w.arg[i] = y[i] + w.k3[i];
    }
    rhs(t + h, w.arg, w.f);
    for (int i = 0; i < n; ++i) w.k4[i] = w.f[i] * h + direct(i);
    for (int i = 0; i < n; ++i) y[i] += (w.k1[i] + 2.0 * w.k2[i] + 2.0 * w.k3[i] + w.k4[i]) / 6.0;
}

}  // namespace tx::detail
