// Opening a handle without reporting, for callers that report on a handle of their own.
#pragma once

#include "../tx.h"

namespace tx::detail {

// The handle, or nullptr with *code set to the refusal (TX_ERR_ORDER, TX_ERR_TOLERANCE,
// TX_ERR_TIMESTEP_GUESS or TX_ERR_NO_MEMORY); nothing is written and nothing is left allocated.
Traxis open_handle(fcn_t fcn, int order, double RelTol, double h, int *code) noexcept;

}  // namespace tx::detail
