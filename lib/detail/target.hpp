// Which integration targets can be reached by stepping forwards.
#pragma once

#include <cmath>

namespace tx::detail {

// Written as a negation-safe test: a NaN target is never reached, and an infinite one would be
// stepped towards until t + h == t, practically for ever; both are refused like a target behind t.
inline bool target_ahead(double t, double t1) { return t1 > t && !std::isinf(t1); }

}  // namespace tx::detail
