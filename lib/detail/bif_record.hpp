// Size checks on a bifurcation record handed to an operation.
#pragma once

#include "../tx.h"

namespace tx::detail {

// True when the record was made for at least tx's order and parameters and its Phi has at
// least order + extra rows and columns; a record kept from before a change of order or nparam
// may be too small for the run.
bool record_fits(const Traxis_t &tx, const TraxisBif_t &txb, int extra) noexcept;

}  // namespace tx::detail
