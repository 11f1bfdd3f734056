// Variational equations: state, fundamental matrix and parameter sensitivities together.
#include <cstdlib>

#include "detail/enter.hpp"
#include "tx.h"

extern "C" int TXVarCloseTraxis(Traxis tx) {
    TX_ENTER(tx, "TXVarCloseTraxis");
    if (!tx->TX) return 1;
    TXCloseTraxis(tx->TX);
    tx->TX = nullptr;
    return 1;
}
