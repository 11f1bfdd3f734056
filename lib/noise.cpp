// Fixed-step integration with additive noise (the programs' stochastic run mode).  Alone in its
// file: it calls the program's model() and noise_part() by name, and a program that never uses
// it must link without them.
#include <cmath>
#include <cstddef>

#include "detail/enter.hpp"
#include "detail/target.hpp"
#include "detail/noisy_rk4.hpp"
#include "detail/work.hpp"
#include "tx.h"

#ifdef TX_SHARED_LIBRARY
// A shared library must load into processes that define no model (a Python interpreter, say):
// there the two bind weakly and stay null, and the operation refuses to run.
#pragma weak model
#pragma weak noise_part
#endif

extern "C" int TXIntegrate_With_Noise(Traxis tx, double *t0, double t1, double *y) {
    constexpr const char *kName = "TXIntegrate_With_Noise";
    TX_ENTER(tx, kName);
    double t = *t0;
    if (t1 == t) return 1;
    if (!tx::detail::target_ahead(t, t1)) return TX_FAIL(tx, TX_ERR_NEGATIVE_STEP, kName);
    const double h = tx->hnoise;
    // hnoise is a public field: a zero, negative or NaN step would never reach t1.
    if (!(h > 0.0)) return TX_FAIL(tx, TX_ERR_TIMESTEP_GUESS, kName);
#ifdef TX_SHARED_LIBRARY
    if (!model || !noise_part) return TX_FAIL(tx, TX_ERR_NO_RHS, kName);
#endif
    const double s = std::sqrt(h);
    const int n = tx->order;
    const std::size_t un = static_cast<std::size_t>(n);
    tx::detail::Work work;
    if (!work.resize(7 * un)) return TX_FAIL(tx, TX_ERR_NO_MEMORY, kName);
    double *const noise = work.data();
    const tx::detail::NoisyRk4Work w{noise + un,     noise + 2 * un, noise + 3 * un,
                                     noise + 4 * un, noise + 5 * un, noise + 6 * un};
    const auto direct = [noise, s](int i) { return noise[i] * s; };
    while (t < t1) {
        if (!(t + h > t)) {
            *t0 = t;
            return TX_FAIL(tx, TX_ERR_STEP_TOO_SMALL, kName);
        }
        noise_part(t, y, noise);
        tx::detail::noisy_rk4_step(n, t, y, h, model, direct, w);
        t += h;
    }
    *t0 = t;
    return 1;
}
