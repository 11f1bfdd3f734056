// The bifurcation record attached to a handle, as the test functions and printers read it.
#pragma once

#include <algorithm>
#include <cmath>

#include "../tx.h"

namespace tx::detail {

// tx->txb, or nullptr after reporting a missing handle (code 1) or record (code 28).
inline TraxisBif attached_record(Traxis tx, int line, const char *name) {
    if (!tx) {
        TXFatalError(nullptr, line, TX_ERR_NOT_OPENED, name);
        return nullptr;
    }
    if (!tx->txb) {
        TXFatalError(tx, line, TX_ERR_NO_BIF, name);
        return nullptr;
    }
    return tx->txb;
}

// Entries of y, er, ei and the other state vectors: the record holds only as many as the
// handle had when it was created.
inline int record_order(Traxis tx) { return std::max(0, std::min(tx->order, tx->txb->order)); }

// print(y[i], re, sign, |im|, modulus) for state entry i and its eigenvalue re + i im, as both
// printed tables show it: a zero imaginary part counts as negative.
template <class Print>
void with_eigen_entry(const TraxisBif_t &b, int i, Print &&print) {
    const double re = b.er[i], im = b.ei[i];
    print(b.y[i], re, im > 0.0 ? '+' : '-', std::fabs(im), std::sqrt(re * re + im * im));
}

}  // namespace tx::detail
