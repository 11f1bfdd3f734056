// Stepping by run mode, and the fixed-step search for crossings of the section x = 0.  Kept apart
// from the other integrators because these reach into the library.
#include <cmath>
#include <limits>

#include "detail/fixed_section.hpp"
#include "model.h"

namespace {

// False when the library refused the step.
bool advance(int mode, Traxis tx, double *t, double *y, double h) {
    switch (mode) {
        case kModeEuler:
            NNSrk4step(t, y, h);
            return true;
        case kModeAdaptive:
            return TXIntegrate(tx, t, *t + h, y) == 1;
        case kModeNoisyRk4:
            return TXIntegrate_With_Noise(tx, t, *t + h, y) == 1;
        default:
            return false;
    }
}

void copy_state(double *dst, const double *src) {
    for (int i = 0; i < kModelDim; ++i) dst[i] = src[i];
}

void round_into(float *point, const double *y) {
    for (int i = 0; i < kModelDim; ++i) point[i] = static_cast<float>(y[i]);
}

}  // namespace

extern "C" int Belva_Integration_Step(int mode, Traxis tx, double *t, double *y, double h) {
    double t0 = *t;
    const bool known = mode == kModeEuler || mode == kModeAdaptive || mode == kModeNoisyRk4;
    const int status = known && advance(mode, tx, &t0, y, h) ? 1 : 0;
    *t = t0;
    return status;
}

namespace tx::detail {

double fixed_section_search(Traxis tx, double eps, int mode, double t, double *y, float *point,
                            long max_steps) {
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    if (mode != kModeEuler && mode != kModeNoisyRk4) return t;
    double prev = cutfun(t, y);
    double saved_t = t, saved_y[kModelDim];
    copy_state(saved_y, y);  // read when the very first value is not a number
    double step = num[2];
    long steps = 0;
    double c;
    for (;;) {
        c = cutfun(t, y);
        if (c * prev > 0) {
            prev = c;
            saved_t = t;
            copy_state(saved_y, y);
            // Halving ends here too: once the step no longer moves t the search cannot end.
            if (steps == max_steps || !(t + step > t)) return kNone;
            ++steps;
            if (!advance(mode, tx, &t, y, step)) return kNone;
            continue;
        }
        if (std::fabs(c) > eps && std::fabs(prev) > eps) {
            step /= 2;
            t = saved_t;
            copy_state(y, saved_y);
            continue;
        }
        break;
    }
    if (std::fabs(c) <= eps) {
        round_into(point, y);
        return t;
    }
    round_into(point, saved_y);
    return saved_t;
}

}  // namespace tx::detail

extern "C" double Fixed_PoincareStep(Traxis tx, double eps, int mode, double t, double *y,
                                     float *point) {
    return tx::detail::fixed_section_search(tx, eps, mode, t, y, point, kFixedPoincareMaxSteps);
}
