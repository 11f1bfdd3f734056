// The choice of the Runge-Kutta pair, per handle and its variational sub-handle.
#include <cstdlib>

#include "detail/enter.hpp"
#include "detail/method_state.hpp"
#include "tx.h"

namespace tx::detail {

bool reserve_method(Traxis tx, int method) noexcept {
    if (method == TX_METHOD_RK65 || tx->method) return true;
    auto *state = static_cast<TraxisMethod_t *>(std::calloc(1, sizeof(TraxisMethod_t)));
    if (!state) return false;
    state->k = static_cast<double *>(
        std::calloc(static_cast<std::size_t>(kExtraRows) * static_cast<std::size_t>(tx->order),
                    sizeof(double)));
    if (!state->k) {
        std::free(state);
        return false;
    }
    state->next = state->last = TX_METHOD_RK65;
    tx->method = state;
    return true;
}

void select_method(Traxis tx, int method) noexcept {
    if (tx->method) tx->method->next = method;
}

void free_method(Traxis tx) noexcept {
    if (!tx->method) return;
    std::free(tx->method->k);
    std::free(tx->method);
    tx->method = nullptr;
}

}  // namespace tx::detail

extern "C" int TXSetMethod(Traxis tx, int method) {
    TX_ENTER(tx, "TXSetMethod");
    if (!tx::detail::known_method(method))
        return TX_FAIL(tx, TX_ERR_UNKNOWN_METHOD, "TXSetMethod");
    // Both or neither: a failure leaves the handle and its sub-handle as they were.
    if (!tx::detail::reserve_method(tx, method) ||
        (tx->TX && !tx::detail::reserve_method(tx->TX, method)))
        return TX_FAIL(tx, TX_ERR_NO_MEMORY, "TXSetMethod");
    tx::detail::select_method(tx, method);
    if (tx->TX) tx::detail::select_method(tx->TX, method);
    return 1;
}
