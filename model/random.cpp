// Uniform and normal deviates: the subtractive generator and the polar method as published in
// Numerical Recipes in C (2nd ed., ran3 and gasdev).  The state is program-wide: one stream.
#include <cmath>

#include "detail/random.hpp"
#include "model.h"

namespace {

constexpr long kModulus = 1000000000;
constexpr long kSeedConstant = 161803398;
constexpr double kScale = 1.0e-9;

long ma[56];  // entries 1 to 55 used
int inext, inextp;
bool initialised = false;
bool spare_held = false;
float spare;

// (161803398 - |seed|) % 1e9 with the sign of the dividend, also for LONG_MIN, whose magnitude
// does not fit a long.
long first_entry(long seed) {
    const unsigned long magnitude = seed < 0 ? 0UL - static_cast<unsigned long>(seed)
                                             : static_cast<unsigned long>(seed);
    const unsigned long c = static_cast<unsigned long>(kSeedConstant);
    const unsigned long m = static_cast<unsigned long>(kModulus);
    if (magnitude <= c) return static_cast<long>((c - magnitude) % m);
    return -static_cast<long>((magnitude - c) % m);
}

void initialise(long seed) {
    long mj = first_entry(seed);
    ma[55] = mj;
    long mk = 1;
    for (int i = 1; i <= 54; ++i) {
        const int ii = (21 * i) % 55;
        ma[ii] = mk;
        mk = mj - mk;
        if (mk < 0) mk += kModulus;
        mj = ma[ii];
    }
    for (int k = 1; k <= 4; ++k)
        for (int i = 1; i <= 55; ++i) {
            ma[i] -= ma[1 + (i + 30) % 55];
            if (ma[i] < 0) ma[i] += kModulus;
        }
    // Seeds far above the seed constant leave entries outside [0, 1e9) that the mixing does not
    // repair; the draws would then leave [0, 1) and grow until they overflow.  Reducing them
    // keeps every seed usable and leaves the tables of all other seeds untouched.
    for (int i = 1; i <= 55; ++i) {
        ma[i] %= kModulus;
        if (ma[i] < 0) ma[i] += kModulus;
    }
    inext = 0;
    inextp = 31;
}

}  // namespace

namespace tx::detail {

void reset_generators() {
    initialised = false;
    spare_held = false;
}

}  // namespace tx::detail

extern "C" float ran3(long *) {
    if (lidum < 0 || !initialised) {
        initialised = true;
        initialise(lidum);
        lidum = 1;
    }
    if (++inext == 56) inext = 1;
    if (++inextp == 56) inextp = 1;
    long mj = ma[inext] - ma[inextp];
    if (mj < 0) mj += kModulus;
    ma[inext] = mj;
    return static_cast<float>(mj * kScale);
}

extern "C" float gasdev(void) {
    if (spare_held) {
        spare_held = false;
        return spare;
    }
    float p, q, rsq;
    do {
        p = static_cast<float>(2.0 * ran3(&lidum) - 1.0);
        q = static_cast<float>(2.0 * ran3(&lidum) - 1.0);
        rsq = p * p + q * q;
    } while (rsq >= 1.0f || rsq == 0.0f);
    const float fac = static_cast<float>(std::sqrt(-2.0 * std::log(static_cast<double>(rsq)) / rsq));
    spare = p * fac;
    spare_held = true;
    return q * fac;
}
