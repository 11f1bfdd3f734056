// The programs' fixed-step integrators of the noisy model and their batch drivers.
#include <cmath>
#include <cstdio>

#include "detail/noisy_rk4.hpp"
#include "model.h"

namespace {

constexpr double kBatchStep = 0.001;
constexpr double kSqrtBatchStep = 0.03162277660168379;
constexpr int kStepsPerRun = 5;

// One noise sample, scaled by s and masked by the model, held over the four stages.
void blocked_step(double t, double *y, double h, double s) {
    double noise[kModelDim], arg[kModelDim], f[kModelDim];
    double k1[kModelDim], k2[kModelDim], k3[kModelDim], k4[kModelDim];
    noise_part(t, y, noise);
    const auto direct = [&noise, s](int i) { return mnoise[i] * noise[i] * s; };
    tx::detail::noisy_rk4_step(kModelDim, t, y, h, model, direct, {arg, f, k1, k2, k3, k4});
}

// Runs of the batch drivers; after(i) sees the state after the i-th.
template <class After>
void batch(double *t, double *y, After &&after) {
    for (int i = 0; i < kBatchRuns; ++i) {
        NNSrk4n(t, y);
        after(i);
    }
}

// The file is optional output: without it the run still integrates.
std::FILE *open_out_dat() {
    std::FILE *out = std::fopen("out.dat", "w");
    if (!out) std::fputs("ERROR: could not create out.dat\n", stderr);
    return out;
}

void close_out_dat(std::FILE *out) {
    if (out && std::fclose(out) != 0) std::fputs("ERROR: could not write out.dat\n", stderr);
}

}  // namespace

extern "C" void NNSrk4step(double *t, double *y, double h) {
    double noise[kModelDim], f[kModelDim];
    noise_part(*t, y, noise);
    model(*t, y, f);
    for (int i = 0; i < kModelDim; ++i) y[i] = (y[i] + f[i] * h) + mnoise[i] * noise[i] * h;
    *t += h;
}

extern "C" void NNSrk4step_blocked(double *t, double *y, double h) {
    blocked_step(*t, y, h, std::sqrt(h));
    *t += h;
}

extern "C" void NNSrk4(double t, double *y) { blocked_step(t, y, kBatchStep, kSqrtBatchStep); }

extern "C" void NNSrk4n(double *t, double *y) {
    for (int i = 0; i < kStepsPerRun; ++i) {
        NNSrk4(*t, y);
        *t += kBatchStep;
    }
}

extern "C" void NNSrk4nm(double *t, double *y, double *last) {
    batch(t, y, [&](int) {
        for (int i = 0; i < kModelDim; ++i) last[i] = y[i];
    });
}

extern "C" void NNSrk4nm1(double *t, double *y, float *x) {
    batch(t, y, [&](int i) { x[i] = static_cast<float>(y[0]); });
}

extern "C" void NNSrk4nm2(double *t, double *y, float *x, float *v) {
    batch(t, y, [&](int i) {
        x[i] = static_cast<float>(y[0]);
        v[i] = static_cast<float>(y[1]);
    });
}

extern "C" void NNSrk4nm1f(double *t, double *y) {
    std::FILE *out = open_out_dat();
    batch(t, y, [&](int) {
        if (out) std::fprintf(out, " %f %f \n", *t, y[0]);
    });
    close_out_dat(out);
}

extern "C" void NNSrk4nm2f(double *t, double *y) {
    std::FILE *out = open_out_dat();
    batch(t, y, [&](int) {
        if (out) std::fprintf(out, " %f %f %f \n", *t, y[0], y[1]);
    });
    close_out_dat(out);
}
