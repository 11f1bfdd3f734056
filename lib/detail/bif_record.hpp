// Size checks on a bifurcation record handed to an operation.
#pragma once

#include "../tx.h"

namespace tx::detail {

// True when the record was made for at least tx's order and parameters and its Phi has at
// least order + extra rows and columns; a record kept from before a change of order or nparam
// may be too small for the run.
bool record_fits(const Traxis_t &tx, const TraxisBif_t &txb, int extra) noexcept;

// The record handed to a location or check: the test functions read the spectrum through the
// handle, so it must be the attached one, and it must fit as above.
inline bool attached_and_fits(const Traxis tx, const TraxisBif txb, int extra) noexcept {
    return txb && tx->txb == txb && record_fits(*tx, *txb, extra);
}

// The current value of every registered parameter into the attached record.
inline void record_parameters(Traxis tx) noexcept {
    for (int k = 0; k < tx->nparam; ++k) tx->txb->c[k] = *tx->c[k];
}

// The record's parameter values back into the caller's variables.
inline void restore_parameters(Traxis tx) noexcept {
    for (int k = 0; k < tx->nparam; ++k) *tx->c[k] = tx->txb->c[k];
}

}  // namespace tx::detail
