#include "settings.hpp"

#include <cmath>

#include "batch.hpp"
#include "model.h"

namespace txlyap {

namespace {

using txprog::fail;

// Positions in "param.lce".
enum { kEps, kDt, kTrans, kSteps, kCount, kParameter, kEnd, kIncrement, kDimension, kThreshold };

// A count truncated towards zero; the range check comes first so that the conversion is defined.
long truncated(const double *values, int position, double low, double high, const char *what) {
    const double v = std::trunc(values[position]);
    if (!(v >= low && v <= high))
        fail(kProgram, "param.lce: %s (value %d) must lie in %.0f ... %.0f, not %g", what,
             position + 1, low, high, values[position]);
    return static_cast<long>(v);
}

}  // namespace

Settings checked_settings(const double *values) {
    constexpr double kMaxIntervals = 1e12;
    Settings s;
    s.eps = values[kEps];
    if (!(s.eps > 0.0 && std::isfinite(s.eps)))
        fail(kProgram, "param.lce: the distance eps (value 1) must be positive, not %g", s.eps);
    s.lyap_dt = values[kDt];
    if (!(s.lyap_dt > 0.0 && std::isfinite(s.lyap_dt)))
        fail(kProgram, "param.lce: the interval lyap_dt (value 2) must be positive, not %g",
             s.lyap_dt);
    s.trans_steps = truncated(values, kTrans, 0, kMaxIntervals, "the transient intervals");
    s.lyap_steps = truncated(values, kSteps, 1, kMaxIntervals, "the counted intervals");
    s.with_dimension = values[kDimension] > 0.0;
    // Without the dimension at least one exponent must be computed; with it, writing none and
    // only the dimension is a use of its own.
    s.written = static_cast<int>(
        truncated(values, kCount, s.with_dimension ? 0 : 1, kModelDim, "the number of exponents"));
    s.computed = s.with_dimension ? kModelDim : s.written;
    s.parameter =
        static_cast<int>(truncated(values, kParameter, 0, kModelParams - 1, "the parameter index"));
    s.sweep_end = values[kEnd];
    s.increment = values[kIncrement];
    s.threshold = values[kThreshold];
    return s;
}

void check_sweep(const Settings &s, double start) {
    // NaN would end the sweep at once with nothing written, infinity never.
    if (!std::isfinite(s.sweep_end))
        fail(kProgram, "param.lce: the last value of the sweep (value 7) must be finite, not %g",
             s.sweep_end);
    if (!(s.increment > 0.0))
        fail(kProgram, "param.lce: the sweep increment (value 8) must be positive, not %g",
             s.increment);
    // Below half the spacing of the doubles near the largest value the sweep would stand still.
    const double largest = std::fmax(std::fabs(start), std::fabs(s.sweep_end));
    if (start <= s.sweep_end && largest + s.increment == largest)
        fail(kProgram, "param.lce: the sweep increment (value 8) is too small to move %g on",
             largest);
}

}  // namespace txlyap
