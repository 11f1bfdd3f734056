// The three-variable excitable model: x = y[0] carries the gated forcing and the noise,
// v = y[1], w = y[2].
#include <cmath>

#include "model.h"

namespace {

constexpr double kGateSlope = 10.0;

double rectified_square(double x) { return (std::fabs(x) + x) * x / 2; }  // x^2 for x > 0, else 0

}  // namespace

extern "C" double Force_bar(double on, double off, double t) {
    return 0.25 * (1 + std::tanh(kGateSlope * (t - on))) * (1 + std::tanh(kGateSlope * (off - t)));
}

extern "C" void model(double t, double *y, double *dydt) {
    const double a = par[0], b = par[1], c = par[4];
    const double x = y[0], v = y[1], w = y[2];
    // The amplitude is applied first, so this is not A * Force_bar(...) to the last bit.
    force = (par[2] * 0.25) * (1 + std::tanh(kGateSlope * (t - force_on))) *
            (1 + std::tanh(kGateSlope * (force_off - t)));
    dydt[0] = (a * x - x * w + v - c * x * x * x) + force;
    dydt[1] = -x;
    dydt[2] = b * (rectified_square(x) - w);
    mnoise[0] = 1.0;
    mnoise[1] = 0.0;
    mnoise[2] = 0.0;
}

extern "C" void noise_part(double, double *, double *noise) {
    noise[0] = par[3] * static_cast<double>(gasdev());
    noise[1] = 0.0;
    noise[2] = 0.0;
}

extern "C" double cutfun(double, double *y) { return y[0]; }

extern "C" void jacobian(double, double *y, double **J) {
    const double a = par[0], b = par[1], c = par[4];
    const double x = y[0], w = y[2];
    J[0][0] = a - w + (-3 * c * x) * x;
    J[0][1] = 1.0;
    J[0][2] = -x;
    J[1][0] = -1.0;
    J[1][1] = 0.0;
    J[1][2] = 0.0;
    J[2][0] = x > 0 ? 2 * b * x : 0.0;
    J[2][1] = 0.0;
    J[2][2] = -b;
}

extern "C" void parametricJacobian(double, double *y, double **P) {
    const double x = y[0], w = y[2];
    for (int r = 0; r < kModelDim; ++r)
        for (int k = 0; k < kModelParams; ++k) P[r][k] = 0.0;
    P[0][0] = x;
    P[0][4] = -(x * x * x);
    P[2][1] = rectified_square(x) - w;
}
