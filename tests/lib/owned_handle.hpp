// A handle closed when the test scope ends, also when an assertion returns early.
#pragma once

#include <memory>

#include "tx.h"

namespace txtest {

struct Closer {
    void operator()(Traxis tx) const { TXCloseTraxis(tx); }
};
using OwnedHandle = std::unique_ptr<Traxis_t, Closer>;

// Refusals are returned as codes instead of ending the test process.
inline OwnedHandle open_quiet(fcn_t fcn, int order, double rtol, double h) {
    OwnedHandle tx(TXOpenTraxis(fcn, order, rtol, h));
    if (tx) tx->TerminateOnFatalError = 0;
    return tx;
}

}  // namespace txtest
