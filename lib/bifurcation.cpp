// The bifurcation record and the test functions that measure the distance to a bifurcation.
#include <cstdlib>

#include "detail/enter.hpp"
#include "tx.h"

extern "C" int TXDestroyBif(Traxis tx, TraxisBif txb) {
    TX_ENTER(tx, "TXDestroyBif");
    (void)txb;
    return 1;
}
