// The header beside the standard library's `exception` under `using namespace std`: the maths
// hook's record must not make the name ambiguous (this file would not compile).
#include <gtest/gtest.h>

#include <stdexcept>

#include "tx.h"

using namespace std;

const char *describe(const exception &e) { return e.what(); }

TEST(Header, StandardExceptionStaysUnambiguous) {
    EXPECT_STREQ(describe(runtime_error("refused")), "refused");
    EXPECT_STREQ(TraxisFatalError[TX_ERR_NO_RHS], "No right-hand side specified");
}
