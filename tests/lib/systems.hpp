// Right-hand sides with known solutions, shared by the library tests.
#pragma once

#include <cmath>
#include <limits>

#include "tx.h"

namespace txtest {

// A handle closed at the end of the scope.
struct Handle {
    Traxis tx;
    Handle(fcn_t f, int n, double rtol, double h) : tx(TXOpenTraxis(f, n, rtol, h)) {}
    ~Handle() { TXCloseTraxis(tx); }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    Traxis operator->() const { return tx; }
    operator Traxis() const { return tx; }
};

inline long g_calls = 0;  // evaluations of the counting right-hand sides

inline void growth(double, double *y, double *f) {  // y' = y
    ++g_calls;
    f[0] = y[0];
}

inline void decay(double, double *y, double *f) {  // y' = -y
    ++g_calls;
    f[0] = -y[0];
}

inline void cosine(double t, double *, double *f) { f[0] = std::cos(t); }  // y = sin t

inline void oscillator(double, double *y, double *f) {  // x'' = -x
    f[0] = y[1];
    f[1] = -y[0];
}

inline void three(double, double *y, double *f) {  // a linear 3-D system for open/close tests
    f[0] = y[1];
    f[1] = -y[0];
    f[2] = -0.5 * y[2];
}

inline void not_a_number(double, double *, double *f) {
    ++g_calls;
    f[0] = std::numeric_limits<double>::quiet_NaN();
}

}  // namespace txtest
