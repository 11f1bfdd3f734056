// The C++ front end from the installed tree: x'' = -x integrated with an inlined right-hand side,
// against cos t, with both methods.
#include <cmath>
#include <cstdio>

#include "tx.h"
#include "tx.hpp"

int main() {
    auto oscillator = [](double, const double *y, double *f) {
        f[0] = y[1];
        f[1] = -y[0];
    };
    for (int method : {TX_METHOD_RK65, TX_METHOD_HIGH_ORDER}) {
        Traxis h = TXOpenTraxis(nullptr, 2, 1e-10, 1e-3);
        if (!h || TXSetMethod(h, method) != 1) return 1;
        double t = 0.0, y[2] = {1.0, 0.0};
        const int ok = tx::integrate(h, &t, 10.0, y, oscillator);
        TXCloseTraxis(h);
        if (ok != 1 || std::fabs(y[0] - std::cos(10.0)) > 1e-8) {
            std::fprintf(stderr, "consumer_cxx: method %d: x(10) = %.17g\n", method, y[0]);
            return 1;
        }
    }
    return 0;
}
