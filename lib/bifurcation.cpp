// The bifurcation record and the test functions that measure the distance to a bifurcation.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "detail/bif_record.hpp"
#include "detail/enter.hpp"
#include "detail/multipliers.hpp"
#include "detail/record.hpp"
#include "tx.h"

extern "C" const char *const TraxisBifName[] = {
    "NOT DETERMINED", "TORUS",     "TRANSCRITICAL", "SADDLE-NODE",
    "PERIOD DOUBLING", "PITCHFORK", "HOPF",
};
extern "C" const char *const TraxisBifIconLeft[] = {"?", "-oO-", "-/-", "(", "-(-", "-(-", nullptr};
extern "C" const char *const TraxisBifIconRight[] = {"?", "-Oo-", "-\\-", ")", "-)-", "-)-", nullptr};
static_assert(std::size(TraxisBifName) == TX_BIF_COUNT, "one name per type code");
static_assert(std::size(TraxisBifIconLeft) == TX_BIF_COUNT, "one icon per type code");
static_assert(std::size(TraxisBifIconRight) == TX_BIF_COUNT, "one icon per type code");

using tx::detail::attached_record;
using tx::detail::record_order;

namespace {

void free_record(TraxisBif txb) noexcept {
    if (!txb) return;
    std::free(txb->y);  // the block: every vector points into it, y first
    std::free(txb->Phi);
    std::free(txb);
}

// Index of the smallest key(i) over 0 ... n-1 other than `skip`, starting from `first`; the
// comparison is strict, so the lowest index wins ties.
template <class Key>
int argmin(int first, int n, int skip, Key key) {
    int best = first;
    double best_value = key(first);
    for (int i = first + 1; i < n; ++i) {
        if (i == skip) continue;
        const double v = key(i);
        if (v < best_value) {
            best = i;
            best_value = v;
        }
    }
    return best;
}

// The two smallest key values: crit1 the smallest, crit2 the next.  The pair is then ordered
// so that crit1 has the larger real part (the larger imaginary part on equal real parts).
// Returns the key of the second one.
template <class Key>
double two_smallest(const TraxisBif_t &b, int n, int *crit1, int *crit2, Key key) {
    if (n < 2) {  // no second eigenvalue: never critical
        *crit1 = *crit2 = 0;
        return HUGE_VAL;
    }
    int c1 = argmin(0, n, -1, key);
    int c2 = argmin(c1 == 0 ? 1 : 0, n, c1, key);
    const double second = key(c2);
    const bool keep = b.er[c1] > b.er[c2] || (b.er[c1] == b.er[c2] && b.ei[c1] > b.ei[c2]);
    if (!keep) std::swap(c1, c2);
    *crit1 = c1;
    *crit2 = c2;
    return second;
}

double euklid2(const TraxisBif_t &b, int cd) {
    const double re = b.er[cd], im = b.ei[cd];
    const double to_minus = std::sqrt((re + 1.0) * (re + 1.0) + im * im);
    const double to_plus = std::sqrt((re - 1.0) * (re - 1.0) + im * im);
    return to_minus < to_plus ? to_minus : to_plus;
}

}  // namespace

extern "C" TraxisBif TXCreateBif(Traxis tx) {
    TX_ENTER_PTR(tx, "TXCreateBif");
    const std::size_t n = static_cast<std::size_t>(tx->order);
    const std::size_t np = static_cast<std::size_t>(std::max(tx->nparam, 0));
    const std::size_t m = n + np + 1;
    auto *txb = static_cast<TraxisBif>(std::calloc(1, sizeof(TraxisBif_t)));
    double **rows = txb ? static_cast<double **>(std::calloc(m, sizeof(double *))) : nullptr;
    // intang has room for one more value: the path tangent may carry its parameter component.
    double *block =
        rows ? static_cast<double *>(std::calloc(10 * n + 1 + m * m + np, sizeof(double))) : nullptr;
    if (!block) {
        std::free(rows);
        std::free(txb);
        TX_FAIL(tx, TX_ERR_NO_MEMORY, "TXCreateBif");
        return nullptr;
    }
    txb->tx = tx;
    txb->order = tx->order;
    txb->nparam = static_cast<int>(np);
    txb->phidim = static_cast<int>(m);
    double *p = block;
    txb->y = p;
    p += n;
    for (std::size_t i = 0; i < m; ++i, p += m) rows[i] = p;
    txb->Phi = rows;
    txb->c = p;
    p += np;
    for (double **v : {&txb->er, &txb->ei, &txb->trans, &txb->tang, &txb->intang, &txb->top,
                       &txb->bot, &txb->left, &txb->right}) {
        *v = p;
        p += n + (v == &txb->intang ? 1 : 0);
    }
    // calloc has already zeroed t, T, biftype, cindi, steps, indir and btype.
    return txb;
}

bool tx::detail::record_fits(const Traxis_t &tx, const TraxisBif_t &txb, int extra) noexcept {
    return txb.order >= tx.order && txb.nparam >= tx.nparam && txb.phidim >= tx.order + extra;
}

extern "C" int TXDestroyBif(Traxis tx, TraxisBif txb) {
    TX_ENTER(tx, "TXDestroyBif");
    // Closing the handle would otherwise free an attached record a second time.
    if (tx->txb == txb) tx->txb = nullptr;
    free_record(txb);
    return 1;
}

extern "C" void SORTEIG(double *er, double *ei, int n) {
    if (n <= 0) return;
    const int j = argmin(0, n, -1, [&](int i) {
        return (er[i] - 1.0) * (er[i] - 1.0) + ei[i] * ei[i];
    });
    std::swap(er[j], er[n - 1]);
    std::swap(ei[j], ei[n - 1]);
}

extern "C" double CRIT(Traxis tx, int *crit1, int mode) {
    const TraxisBif b = attached_record(tx, __LINE__, "CRIT");
    if (!b) return 0.0;
    const int n = record_order(tx);
    const int last = std::min(n - 1 - mode, n - 1);
    if (n <= 0) return 0.0;
    *crit1 = tx::detail::nearest_to_unit_circle(b->er, b->ei, std::max(last + 1, 1));
    return tx::detail::modulus(b->er, b->ei, *crit1);
}

extern "C" double EQUICRIT(Traxis tx, int *crit1) {
    const TraxisBif b = attached_record(tx, __LINE__, "EQUICRIT");
    if (!b) return 0.0;
    const int n = record_order(tx);
    if (n <= 0) return 0.0;
    *crit1 = argmin(0, n, -1, [&](int i) { return std::fabs(b->er[i]); });
    return b->er[*crit1];
}

extern "C" double EUKLID2(Traxis tx, int cd) {
    const TraxisBif b = attached_record(tx, __LINE__, "EUKLID2");
    if (!b) return 0.0;
    if (cd < 0 || cd >= record_order(tx)) return HUGE_VAL;
    return euklid2(*b, cd);
}

extern "C" double CRIT2(Traxis tx, int *crit1, int *crit2) {
    const TraxisBif b = attached_record(tx, __LINE__, "CRIT2");
    if (!b) return 0.0;
    return two_smallest(*b, record_order(tx), crit1, crit2,
                        [&](int i) { return euklid2(*b, i); });
}

extern "C" double EQUICRIT2(Traxis tx, int *crit1, int *crit2) {
    const TraxisBif b = attached_record(tx, __LINE__, "EQUICRIT2");
    if (!b) return 0.0;
    return two_smallest(*b, record_order(tx), crit1, crit2, [&](int i) { return b->er[i]; });
}
