// One eigenvector of a real eigenvalue r of A.
//
// The classical route fixes the last component at 1 and solves the leading block of A - rI.  It
// cannot reach an eigenvector whose last component is 0, nor pass an exactly singular block (an
// eigenvalue given exactly that is repeated, defective, or whose eigenvector ends in 0).  When it
// fails, the block is multiplied back together and inverse iteration runs on the whole of A - rI,
// with pivots below a tiny multiple of the norm raised to it.  Where r is no eigenvalue at all
// (the real part of a complex pair, say) neither vector solves the problem and the classical one
// is returned, as before.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>

#include "detail/enter.hpp"
#include "detail/lu.hpp"
#include "tx.h"

namespace {

// Relative residual |(A - rI) v| / (|A - rI| |v|) (maximum norms) accepted as an eigenvector.
double accepted_residual(int n) { return 1000.0 * n * DBL_EPSILON; }

constexpr int kInverseIterations = 3;
// Bound on the solution components during back substitution; 2^200 leaves room for n products
// of entries up to 1 without overflow.
const double kBig = std::ldexp(1.0, 200);

double max_abs(int n, const double *v) {
    double big = 0.0;
    for (int i = 0; i < n; ++i) big = std::max(big, std::fabs(v[i]));
    return big;
}

// Unit length with the last component that is not negligible positive (the last one whenever
// it is nonzero beyond rounding).  Scaled first: the vector may be as large as 1 / DBL_EPSILON^n.
void normalise(int n, double *v) {
    const double big = max_abs(n, v);
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        v[i] /= big;
        sum += v[i] * v[i];
    }
    const double length = std::sqrt(sum);
    int last = n - 1;
    while (last > 0 && std::fabs(v[last]) <= accepted_residual(n)) --last;
    const double sign = v[last] < 0.0 ? -1.0 : 1.0;
    for (int i = 0; i < n; ++i) v[i] = sign * v[i] / length;
}

// The classical result (x, 1) at unit length, as x sits in ev[0 .. m-1]; false when its length
// overflows.
bool classical_unit(int m, double *ev) {
    double sum = 1.0;
    for (int i = 0; i < m; ++i) sum += ev[i] * ev[i];
    if (!std::isfinite(sum)) return false;
    const double l = std::sqrt(sum);
    for (int i = 0; i < m; ++i) ev[i] /= l;
    ev[m] = 1.0 / l;
    return true;
}

// Multiplies the factors that crout left in a back together and undoes its row exchanges: the
// matrix again, up to rounding.  In place: row i and column j descending never read an entry
// already replaced.
void unfactor(int m, double **a, const int *indx) {
    for (int i = m - 1; i >= 0; --i)
        for (int j = m - 1; j >= 0; --j) {
            const int top = std::min(i, j);  // L has a unit diagonal
            double sum = i <= j ? a[i][j] : a[i][j] * a[j][j];
            for (int k = 0; k < top; ++k) sum += a[i][k] * a[k][j];
            a[i][j] = sum;
        }
    for (int j = m - 1; j >= 0; --j)
        if (indx[j] != j) std::swap_ranges(a[j], a[j] + m, a[indx[j]]);
}

// Gaussian elimination with partial pivoting of the n x n matrix b (max norm 1) in place; the
// pivot of column k in piv[k], k < n - 1.  Pivots smaller than tiny are raised to it, so that a
// singular matrix still has an inverse to iterate with.
void eliminate(int n, double **b, int *piv, double tiny) {
    for (int k = 0; k < n; ++k) {
        if (k < n - 1) {
            int p = k;
            for (int i = k + 1; i < n; ++i)
                if (std::fabs(b[i][k]) > std::fabs(b[p][k])) p = i;
            piv[k] = p;
            if (p != k) std::swap_ranges(b[k], b[k] + n, b[p]);
        }
        if (std::fabs(b[k][k]) < tiny) b[k][k] = b[k][k] < 0.0 ? -tiny : tiny;
        for (int i = k + 1; i < n; ++i) {
            const double l = b[i][k] / b[k][k];
            b[i][k] = l;
            for (int j = k + 1; j < n; ++j) b[i][j] -= l * b[k][j];
        }
    }
}

// Solves U x = s b for the upper triangle of u, b given in x and replaced by the solution; the
// scale s <= 1 it returns keeps every component below kBig.
double back_substitute(int n, double *const *u, double *x) {
    double s = 1.0;
    for (int i = n - 1; i >= 0; --i) {
        double sum = x[i];
        for (int j = i + 1; j < n; ++j) sum -= u[i][j] * x[j];
        const double limit = kBig * std::fabs(u[i][i]);
        if (std::fabs(sum) > limit) {
            const double f = limit / std::fabs(sum);
            for (int k = 0; k < n; ++k) x[k] *= f;
            sum *= f;
            s *= f;
        }
        x[i] = sum / u[i][i];
    }
    return s;
}

// Inverse iteration on b = (A - rI) / |A - rI| (destroyed) into v.  The first solve uses U
// alone with a right-hand side of ones, which no eigenvector can be orthogonal to (Wilkinson);
// each further solve with the full factors.  Returns the relative residual of v.
double inverse_iteration(int n, double **b, int *piv, double *v) {
    eliminate(n, b, piv, DBL_EPSILON);
    for (int i = 0; i < n; ++i) v[i] = 1.0;
    double residual = HUGE_VAL;
    for (int it = 0; it <= kInverseIterations; ++it) {
        if (it > 0) {
            for (int k = 0; k < n - 1; ++k) {
                std::swap(v[k], v[piv[k]]);
                for (int i = k + 1; i < n; ++i) v[i] -= b[i][k] * v[k];
            }
        }
        const double s = back_substitute(n, b, v);
        const double big = max_abs(n, v);
        for (int i = 0; i < n; ++i) v[i] /= big;  // the next right-hand side, max norm 1
        // b v = s rhs with |rhs| = 1 (up to the raised pivots): the residual of v / big.  The
        // first right-hand side is L times the ones, at most n in size (|L| <= 1).
        residual = (it == 0 ? n : 1) * s / big;
        if (residual <= accepted_residual(n)) break;
    }
    return residual;
}

}  // namespace

extern "C" int TXEigenVector(Traxis tx, int n, double **A, double r, double *ev, double *ws) {
    TX_ENTER(tx, "TXEigenVector");
    if (n <= 0) return 1;
    bool finite = std::isfinite(r);
    for (int i = 0; i < n && finite; ++i)
        for (int j = 0; j < n; ++j) finite = finite && std::isfinite(A[i][j]);
    if (!finite) return TX_FAIL(tx, TX_ERR_SINGULAR, "TXEigenVector");
    const int m = n - 1;
    for (int i = 0; i < n; ++i) A[i][i] -= r;
    double norm = 0.0;
    for (int i = 0; i < n; ++i) {
        double row = 0.0;
        for (int j = 0; j < n; ++j) row += std::fabs(A[i][j]);
        norm = std::max(norm, row);
    }
    // ws: m doubles (row scales, then the classical solution), then m ints (pivots).
    double *const kept = ws;
    int *const indx = reinterpret_cast<int *>(ws + m);
    if (n == 1 || norm == 0.0) {  // every vector is an eigenvector: the classical answer
        for (int i = 0; i < m; ++i) ev[i] = 0.0;
        ev[m] = 1.0;
        return 1;
    }

    // Classical route: (A - rI) (x, 1) = 0 in the first m rows, checked in the last.
    for (int i = 0; i < m; ++i) ev[i] = -A[i][m];
    double parity;
    int replaced = 0;
    const tx::detail::LuStatus lu =
        tx::detail::crout(m, A, indx, &parity, ws, DBL_EPSILON * norm, &replaced);
    bool have_classical = false;
    if (lu == tx::detail::LuStatus::ok && replaced == 0) {
        LUbksb(m, A, indx, ev);
        double last = A[m][m];
        for (int j = 0; j < m; ++j) last += A[m][j] * ev[j];
        const double size = std::max(1.0, max_abs(m, ev));
        for (int i = 0; i < m; ++i) kept[i] = ev[i];
        if (std::fabs(last) <= accepted_residual(n) * norm * size && classical_unit(m, ev))
            return 1;
        have_classical = true;
    }
    if (lu == tx::detail::LuStatus::ok) unfactor(m, A, indx);

    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) A[i][j] /= norm;
    const double residual = inverse_iteration(n, A, indx, ev);
    if (have_classical && residual > accepted_residual(n)) {
        for (int i = 0; i < m; ++i) ev[i] = kept[i];
        if (classical_unit(m, ev)) return 1;
        ev[m] = 1.0;
    }
    normalise(n, ev);
    return 1;
}
