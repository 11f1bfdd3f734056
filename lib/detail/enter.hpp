// Entry protocol shared by every handle operation.
#pragma once

#include "../tx.h"

// A macro only because the report carries the line of the refusing check.
#define TX_FAIL(tx, code, name) TXFatalError((tx), __LINE__, (code), (name))

// Null handle -> code 1; otherwise clear the code left by the previous operation.
#define TX_ENTER(tx, name)                                                   \
    do {                                                                     \
        if (!(tx)) return TXFatalError(nullptr, __LINE__, TX_ERR_NOT_OPENED, (name)); \
        (tx)->ErrorCode = 0;                                                 \
    } while (0)

// Same for operations that return a pointer: failure yields nullptr.
#define TX_ENTER_PTR(tx, name)                                               \
    do {                                                                     \
        if (!(tx)) {                                                         \
            TXFatalError(nullptr, __LINE__, TX_ERR_NOT_OPENED, (name));      \
            return nullptr;                                                  \
        }                                                                    \
        (tx)->ErrorCode = 0;                                                 \
    } while (0)

// For operations that evaluate the right-hand side: a handle may be opened without one (the
// variational sub-handle is), and calling through the null pointer would crash.
#define TX_REQUIRE_RHS(tx, name)                                             \
    do {                                                                     \
        if (!(tx)->fcn) return TX_FAIL((tx), TX_ERR_NO_RHS, (name));         \
    } while (0)

// The entry protocol of an operation that evaluates the right-hand side.
#define TX_ENTER_RHS(tx, name)                                               \
    do {                                                                     \
        TX_ENTER(tx, name);                                                  \
        TX_REQUIRE_RHS(tx, name);                                            \
    } while (0)
