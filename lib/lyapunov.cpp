// Lyapunov exponents from neighbouring trajectories renormalised by Gram-Schmidt
// orthonormalisation (Benettin, Galgani, Giorgilli and Strelcyn, Meccanica 15, 1980).
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>

#include "detail/enter.hpp"
#include "detail/work.hpp"
#include "tx.h"

namespace {

constexpr double kLn2 = 0.6931471805599453;

bool positive_finite(double x) { return x > 0.0 && x <= DBL_MAX; }  // false for NaN

// The running estimates, reopened for every line so that they can be read while the
// computation runs.
struct ProgressFile {
    const char *name;
    int samp;

    bool empty() const {
        std::FILE *f = std::fopen(name, "w");
        return f && std::fclose(f) == 0;
    }

    bool append(double elapsed, const double *exponents, int nn) const {
        std::FILE *f = std::fopen(name, "a");
        if (!f) return false;
        bool ok = std::fprintf(f, "%12.6g ", elapsed) >= 0;
        for (int j = 0; j < nn; ++j)
            ok = ok && std::fprintf(f, "%12.6g ", exponents[j] / (kLn2 * elapsed)) >= 0;
        ok = ok && std::fprintf(f, "\n") >= 0;
        return std::fclose(f) == 0 && ok;
    }
};

struct LyapArgs {
    double *t;
    double *y;
    double eps;
    double lyap_dt;
    long trans_steps;
    long lyap_steps;
    double *exponents;
    int nn;
};

// Shared by both entry points; progress is null for TXLyapCalc.
int lyap_calc(Traxis tx, const char *name, const LyapArgs &a, const ProgressFile *progress) {
    TX_REQUIRE_RHS(tx, name);
    const int n = tx->order;
    if (a.nn < 1 || a.nn > n) return TX_FAIL(tx, TX_ERR_LYAP_ARGUMENT, name);
    if (progress && progress->samp < 1) return TX_FAIL(tx, TX_ERR_LYAP_ARGUMENT, name);
    // No counted interval would divide by zero and return NaN exponents as a success; the total
    // count must stay representable.
    if (a.lyap_steps < 1 || a.trans_steps < 0 || a.trans_steps > LONG_MAX - a.lyap_steps)
        return TX_FAIL(tx, TX_ERR_LYAP_ARGUMENT, name);
    // Zero, negative or non-finite values (and a distance whose reciprocal overflows) would
    // come back as NaN or infinite exponents.
    if (!positive_finite(a.lyap_dt) || !positive_finite(a.eps) || !positive_finite(1.0 / a.eps))
        return TX_FAIL(tx, TX_ERR_LYAP_ARGUMENT, name);
    const std::size_t un = static_cast<std::size_t>(n);
    tx::detail::Work work;
    if (!work.resize(un * un + 2 * un)) return TX_FAIL(tx, TX_ERR_NO_MEMORY, name);
    double *const v = work.data();  // row j: direction j, row-major
    double *const x = v + un * un;
    double *const norm = x + un;
    if (progress && (!progress->name || !progress->empty()))
        return TX_FAIL(tx, TX_ERR_OPEN_FILE, name);

    const double inv_eps = 1.0 / a.eps;
    const int nn = a.nn;
    for (int j = 0; j < nn; ++j) v[j * n + j] = 1.0;  // the rest is zero from resize
    GSR(v, norm, n, x, nn);
    for (int j = 0; j < nn; ++j) a.exponents[j] = 0.0;

    const long intervals = a.trans_steps + a.lyap_steps;
    for (long l = 0; l < intervals; ++l) {
        for (int j = 0; j < nn; ++j) {
            bool apart = false;
            for (int k = 0; k < n; ++k) {
                v[j * n + k] = a.y[k] + a.eps * v[j * n + k];
                apart = apart || v[j * n + k] != a.y[k];
            }
            // eps below the resolution of the state: the neighbour is the reference itself.
            if (!apart) return TX_FAIL(tx, TX_ERR_LYAP_ARGUMENT, name);
        }
        const double t_0 = *a.t;
        const double t_1 = t_0 + a.lyap_dt;
        // An interval below the resolution of t would measure no growth at all.
        if (!(t_1 > t_0)) return TX_FAIL(tx, TX_ERR_LYAP_ARGUMENT, name);
        int status = TXIntegrate(tx, a.t, t_1, a.y);
        if (status != 1) return status;
        // Every trajectory shares the handle: each integration starts with the step size the
        // previous one left.
        for (int j = 0; j < nn; ++j) {
            *a.t = t_0;
            status = TXIntegrate(tx, a.t, t_1, v + j * n);
            if (status != 1) return status;
        }
        for (int j = 0; j < nn; ++j)
            for (int k = 0; k < n; ++k) v[j * n + k] = inv_eps * (v[j * n + k] - a.y[k]);
        GSR(v, norm, n, x, nn);
        // A separation that shrank below the resolution of the state or grew past the largest
        // double within one interval (lyap_dt too long for this eps) has no finite logarithm.
        for (int j = 0; j < nn; ++j)
            if (!positive_finite(norm[j])) return TX_FAIL(tx, TX_ERR_LYAP_ARGUMENT, name);
        if (l < a.trans_steps) continue;
        for (int j = 0; j < nn; ++j) a.exponents[j] += std::log(norm[j]);
        if (progress && (l + 1) % progress->samp == 0) {
            const double elapsed = static_cast<double>(l - a.trans_steps + 1) * a.lyap_dt;
            if (!progress->append(elapsed, a.exponents, nn))
                return TX_FAIL(tx, TX_ERR_OPEN_FILE, name);
        }
    }
    const double bits = static_cast<double>(a.lyap_steps) * a.lyap_dt * kLn2;
    for (int j = 0; j < nn; ++j) a.exponents[j] = a.exponents[j] / bits;
    return 1;
}

}  // namespace

extern "C" double dot(double *x, double *y, int n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += y[i] * x[i];
    return sum;
}

// Classical, not modified, Gram-Schmidt: every coefficient uses the unchanged row i.
extern "C" void GSR(double *v, double *norm, int n, double *x, int nn) {
    if (n < 1 || nn < 1) return;
    norm[0] = std::sqrt(dot(v, v, n));
    for (int k = 0; k < n; ++k) v[k] = v[k] / norm[0];
    for (int i = 1; i < nn; ++i) {
        double *const vi = v + i * n;
        for (int k = 0; k < n; ++k) x[k] = vi[k];
        for (int j = 0; j < i; ++j) {
            const double *const vj = v + j * n;
            const double coefficient = dot(vi, const_cast<double *>(vj), n);
            for (int k = 0; k < n; ++k) x[k] -= coefficient * vj[k];
        }
        norm[i] = std::sqrt(dot(x, x, n));
        for (int k = 0; k < n; ++k) vi[k] = x[k] / norm[i];
    }
}

extern "C" int TXLyapCalc(Traxis tx, double *t, double *y, double eps, double lyap_dt,
                          long trans_steps, long lyap_steps, double *exponents, int nn) {
    TX_ENTER(tx, "TXLyapCalc");
    return lyap_calc(tx, "TXLyapCalc",
                     {t, y, eps, lyap_dt, trans_steps, lyap_steps, exponents, nn}, nullptr);
}

extern "C" int TXLyapCalcFile(Traxis tx, const char *filename, double *t, double *y, double eps,
                              double lyap_dt, long trans_steps, long lyap_steps,
                              double *exponents, int nn, int samp) {
    TX_ENTER(tx, "TXLyapCalcFile");
    const ProgressFile progress{filename, samp};
    return lyap_calc(tx, "TXLyapCalcFile",
                     {t, y, eps, lyap_dt, trans_steps, lyap_steps, exponents, nn}, &progress);
}
