// Crout decomposition shared by LUdcmp and the eigenvector routine, which reports no error of
// its own while it tries the classical route.
#pragma once

namespace tx::detail {

enum class LuStatus { ok, zero_row, not_finite };

// LUdcmp's decomposition with implicit partial pivoting; a refusal (a zero row or an entry that
// is not finite) is found in a first pass that writes nothing.  An exactly zero pivot becomes
// `tiny` and is counted in *replaced (when not null).
LuStatus crout(int n, double **a, int *indx, double *d, double *scale, double tiny,
               int *replaced) noexcept;

}  // namespace tx::detail
