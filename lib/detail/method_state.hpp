// The integration method of a handle, behind the record's private field `method`: allocated by
// TXSetMethod the first time a method other than the 6(5) pair is chosen, and only then, so that
// handles that never switch carry nothing extra.
#pragma once

#include "../tx.h"

struct TraxisMethod_t {
    int next;          // TX_METHOD_* of the next step
    int last;          // method that took the last step: dense output follows it
    bool dense_ready;  // the interpolation stages of the last step are in `k`
    double *k;         // stage rows beyond the handle's twelve (kExtraRows x order)
};

namespace tx::detail {

// Rows the high-order pair needs beyond k's twelve: the last of its thirteen step stages and
// its eight interpolation stages.
constexpr int kExtraRows = 9;

inline int next_method(const Traxis tx) { return tx->method ? tx->method->next : TX_METHOD_RK65; }
inline int last_method(const Traxis tx) { return tx->method ? tx->method->last : TX_METHOD_RK65; }

inline bool known_method(int method) {
    return method == TX_METHOD_RK65 || method == TX_METHOD_HIGH_ORDER;
}

// Storage for `method` on tx (a no-op when nothing new is needed); false when memory ran out,
// with tx unchanged.  Selects nothing: see select_method.
bool reserve_method(Traxis tx, int method) noexcept;
// After a successful reserve_method.
void select_method(Traxis tx, int method) noexcept;
void free_method(Traxis tx) noexcept;

}  // namespace tx::detail
