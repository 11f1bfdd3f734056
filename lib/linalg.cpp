// Small dense linear algebra: eigenvalues of a real matrix and linear solves.
// Balancing (Parlett & Reinsch), stabilised elementary reduction to Hessenberg form, Francis
// double-shift QR, Crout LU with implicit pivoting: the classical published dense routines,
// indexed from 0 and working only in caller storage.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>

#include "detail/enter.hpp"
#include "detail/lu.hpp"
#include "tx.h"

namespace {

constexpr double kRadix = 2.0;
constexpr double kBalanceThreshold = 0.95;
// Balancing ends after a few sweeps; the cap only guards against rounding (subnormal entries)
// keeping a sweep from ever settling.
constexpr int kMaxBalanceSweeps = 1000;
constexpr int kMaxQrIterations = 30;
constexpr double kTinyPivot = 1.0e-20;

// +|a| for b > 0, -|a| otherwise (zero included).
double sign(double a, double b) { return b > 0.0 ? std::fabs(a) : -std::fabs(a); }

}  // namespace

extern "C" void Balanc(double **a, int n) {
    constexpr double sqrdx = kRadix * kRadix;
    bool changed = true;
    for (int sweep = 0; changed && sweep < kMaxBalanceSweeps; ++sweep) {
        changed = false;
        for (int i = 0; i < n; ++i) {
            double c = 0.0, r = 0.0;
            for (int j = 0; j < n; ++j) {
                if (j == i) continue;
                c += std::fabs(a[j][i]);
                r += std::fabs(a[i][j]);
            }
            // A non-finite norm would keep the scaling loops below from ever ending.
            if (c == 0.0 || r == 0.0 || !std::isfinite(c + r)) continue;
            double g = r / kRadix;
            double f = 1.0;
            const double s = c + r;
            while (c < g) {
                f *= kRadix;
                c *= sqrdx;
            }
            g = r * kRadix;
            while (c > g) {
                f /= kRadix;
                c /= sqrdx;
            }
            if ((c + r) / f < kBalanceThreshold * s) {
                changed = true;
                const double inv = 1.0 / f;
                for (int j = 0; j < n; ++j) a[i][j] *= inv;
                for (int j = 0; j < n; ++j) a[j][i] *= f;
            }
        }
    }
}

extern "C" void Elmhes(double **a, int n) {
    for (int m = 1; m < n - 1; ++m) {
        double x = 0.0;
        int i = m;
        for (int j = m; j < n; ++j) {
            if (std::fabs(a[j][m - 1]) > std::fabs(x)) {
                x = a[j][m - 1];
                i = j;
            }
        }
        if (i != m) {
            for (int j = m - 1; j < n; ++j) std::swap(a[i][j], a[m][j]);
            for (int j = 0; j < n; ++j) std::swap(a[j][i], a[j][m]);
        }
        if (x != 0.0) {
            for (i = m + 1; i < n; ++i) {
                double y = a[i][m - 1];
                if (y == 0.0) continue;
                y /= x;
                a[i][m - 1] = y;
                for (int j = m; j < n; ++j) a[i][j] -= y * a[m][j];
                for (int j = 0; j < n; ++j) a[j][m] += y * a[j][i];
            }
        }
    }
}

extern "C" int Hqr(Traxis tx, double **a, int n, double *wr, double *wi) {
    if (n <= 0) return 1;
    double anorm = std::fabs(a[0][0]);
    for (int i = 1; i < n; ++i)
        for (int j = i - 1; j < n; ++j) anorm += std::fabs(a[i][j]);

    int nn = n - 1;
    double t = 0.0;
    double p = 0.0, q = 0.0, r = 0.0, s, w, x, y, z;
    while (nn >= 0) {
        int its = 0;
        int l;
        do {
            // A subdiagonal element counts as zero once adding it changes nothing.
            for (l = nn; l >= 1; --l) {
                s = std::fabs(a[l - 1][l - 1]) + std::fabs(a[l][l]);
                if (s == 0.0) s = anorm;
                if (std::fabs(a[l][l - 1]) + s == s) break;
            }
            x = a[nn][nn];
            if (l == nn) {
                wr[nn] = x + t;
                wi[nn] = 0.0;
                --nn;
                continue;
            }
            y = a[nn - 1][nn - 1];
            w = a[nn][nn - 1] * a[nn - 1][nn];
            if (l == nn - 1) {
                p = 0.5 * (y - x);
                q = p * p + w;
                z = std::sqrt(std::fabs(q));
                x += t;
                if (q >= 0.0) {
                    z = p + sign(z, p);
                    wr[nn - 1] = wr[nn] = x + z;
                    if (z != 0.0) wr[nn] = x - w / z;
                    wi[nn - 1] = wi[nn] = 0.0;
                } else {
                    wr[nn - 1] = wr[nn] = x + p;
                    wi[nn] = z;
                    wi[nn - 1] = -z;
                }
                nn -= 2;
                continue;
            }
            if (its == kMaxQrIterations) return TX_FAIL(tx, TX_ERR_HQR_ITERATIONS, "Hqr");
            if (its == 10 || its == 20) {  // exceptional shift against cycling
                t += x;
                for (int i = 0; i <= nn; ++i) a[i][i] -= x;
                s = std::fabs(a[nn][nn - 1]) + std::fabs(a[nn - 1][nn - 2]);
                y = x = 0.75 * s;
                w = -0.4375 * s * s;
            }
            ++its;
            // Look for two consecutive small subdiagonal elements.
            int m;
            for (m = nn - 2; m >= l; --m) {
                z = a[m][m];
                r = x - z;
                s = y - z;
                p = (r * s - w) / a[m + 1][m] + a[m][m + 1];
                q = a[m + 1][m + 1] - z - r - s;
                r = a[m + 2][m + 1];
                s = std::fabs(p) + std::fabs(q) + std::fabs(r);
                p /= s;
                q /= s;
                r /= s;
                if (m == l) break;
                const double u = std::fabs(a[m][m - 1]) * (std::fabs(q) + std::fabs(r));
                const double v =
                    std::fabs(p) * (std::fabs(a[m - 1][m - 1]) + std::fabs(z) +
                                    std::fabs(a[m + 1][m + 1]));
                if (u + v == v) break;
            }
            for (int i = m + 2; i <= nn; ++i) {
                a[i][i - 2] = 0.0;
                if (i != m + 2) a[i][i - 3] = 0.0;
            }
            // Chase the bulge with 3-element Householder reflections.
            for (int k = m; k <= nn - 1; ++k) {
                if (k != m) {
                    p = a[k][k - 1];
                    q = a[k + 1][k - 1];
                    r = 0.0;
                    if (k != nn - 1) r = a[k + 2][k - 1];
                    x = std::fabs(p) + std::fabs(q) + std::fabs(r);
                    if (x != 0.0) {
                        p /= x;
                        q /= x;
                        r /= x;
                    }
                }
                s = sign(std::sqrt(p * p + q * q + r * r), p);
                if (s == 0.0) continue;
                if (k == m) {
                    if (l != m) a[k][k - 1] = -a[k][k - 1];
                } else {
                    a[k][k - 1] = -s * x;
                }
                p += s;
                x = p / s;
                y = q / s;
                z = r / s;
                q /= p;
                r /= p;
                for (int j = k; j <= nn; ++j) {
                    p = a[k][j] + q * a[k + 1][j];
                    if (k != nn - 1) {
                        p += r * a[k + 2][j];
                        a[k + 2][j] -= p * z;
                    }
                    a[k + 1][j] -= p * y;
                    a[k][j] -= p * x;
                }
                const int mmin = std::min(nn, k + 3);
                for (int i = l; i <= mmin; ++i) {
                    p = x * a[i][k] + y * a[i][k + 1];
                    if (k != nn - 1) {
                        p += z * a[i][k + 2];
                        a[i][k + 2] -= p * r;
                    }
                    a[i][k + 1] -= p * q;
                    a[i][k] -= p;
                }
            }
        } while (l < nn - 1);
    }
    return 1;
}

tx::detail::LuStatus tx::detail::crout(int n, double **a, int *indx, double *d, double *scale,
                                       double tiny, int *replaced) noexcept {
    *d = 1.0;
    for (int i = 0; i < n; ++i) {
        double big = 0.0;
        for (int j = 0; j < n; ++j) {
            const double v = std::fabs(a[i][j]);
            if (!(v <= DBL_MAX)) return LuStatus::not_finite;  // NaN would slip past the max
            big = std::max(big, v);
        }
        if (big == 0.0) return LuStatus::zero_row;
        scale[i] = 1.0 / big;
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < j; ++i) {
            double sum = a[i][j];
            for (int k = 0; k < i; ++k) sum -= a[i][k] * a[k][j];
            a[i][j] = sum;
        }
        double big = 0.0;
        int imax = j;
        for (int i = j; i < n; ++i) {
            double sum = a[i][j];
            for (int k = 0; k < j; ++k) sum -= a[i][k] * a[k][j];
            a[i][j] = sum;
            const double dum = scale[i] * std::fabs(sum);
            if (dum >= big) {
                big = dum;
                imax = i;
            }
        }
        if (j != imax) {
            // Swap the contents: the row pointers belong to the caller.
            for (int k = 0; k < n; ++k) std::swap(a[imax][k], a[j][k]);
            *d = -*d;
            scale[imax] = scale[j];
        }
        indx[j] = imax;
        if (a[j][j] == 0.0) {
            a[j][j] = tiny;
            if (replaced) ++*replaced;
        }
        if (j != n - 1) {
            const double dum = 1.0 / a[j][j];
            for (int i = j + 1; i < n; ++i) a[i][j] *= dum;
        }
    }
    return LuStatus::ok;
}

// A zero row, or an entry that is not finite (which would spread NaN through the factors), is
// refused with code 22 before anything is written.
extern "C" int LUdcmp(Traxis tx, int n, double **a, int *indx, double *d, double *work) {
    if (tx::detail::crout(n, a, indx, d, work, kTinyPivot, nullptr) != tx::detail::LuStatus::ok)
        return TX_FAIL(tx, TX_ERR_SINGULAR, "LUdcmp");
    return 1;
}

extern "C" void LUbksb(int n, double **a, int *indx, double *b) {
    int ii = -1;
    for (int i = 0; i < n; ++i) {
        const int ip = indx[i];
        double sum = b[ip];
        b[ip] = b[i];
        if (ii >= 0) {
            for (int j = ii; j < i; ++j) sum -= a[i][j] * b[j];
        } else if (sum != 0.0) {
            ii = i;
        }
        b[i] = sum;
    }
    for (int i = n - 1; i >= 0; --i) {
        double sum = b[i];
        for (int j = i + 1; j < n; ++j) sum -= a[i][j] * b[j];
        b[i] = sum / a[i][i];
    }
}

extern "C" int TXEigen(Traxis tx, int n, double **A, double *er, double *ei) {
    TX_ENTER(tx, "TXEigen");
    Balanc(A, n);
    Elmhes(A, n);
    return Hqr(tx, A, n, er, ei);
}

extern "C" int TXLinZero(Traxis tx, int n, double **A, double *b, double *work) {
    TX_ENTER(tx, "TXLinZero");
    int *const indx = reinterpret_cast<int *>(work + (n > 0 ? n : 0));
    double d;
    if (LUdcmp(tx, n, A, indx, &d, work) != 1) return 0;
    LUbksb(n, A, indx, b);
    return 1;
}
