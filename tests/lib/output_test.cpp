// Trajectory tables and the per-point records of continuation runs.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "records.hpp"
#include "tx.h"

namespace {

using txtest::RecordHandle;
using txtest::written;

// Order 2, two parameters: the record holds c = (0.5, 1/3); the handle's current values
// (10, 20) must not appear in these records.
void fill(TraxisBif b, int kind) {
    b->cindi[0] = kind;
    b->cindi[1] = 0;
    b->cindi[2] = 1;
    b->steps = 7;
    b->T = 6.2831853;
    b->c[0] = 0.5;
    b->c[1] = 1.0 / 3;
    b->y[0] = 1.0;
    b->y[1] = -2.0;
    b->er[0] = -1.0;
    b->ei[0] = 0.0;  // zero imaginary part: shown with '-'
    b->er[1] = 0.5;
    b->ei[1] = -0.25;
}

std::string last_line(const std::string &text) {
    const auto end = text.find_last_of('\n', text.size() - 2);
    return text.substr(end + 1);
}

TEST(StateOutput, OrbitRecordExactText) {
    RecordHandle h(2, 2);
    fill(h.b, 1);
    const std::string expected =
        "   Step: 7        T=6.2831853    \n"
        "   Parameters     State           Eigenvalue             Modulus\n"
        "    0.5            1              -1.000000-i0.000000    1           \n"
        "    0.33333333    -2               0.500000-i0.250000    0.559017    \n" +
        std::string(68, '-') + "\n";
    EXPECT_EQ(written([&](FILE *f) { TXStateOutput(h, f); }), expected);
}

TEST(StateOutput, RunKindSelectsPeriodLineAndRule) {
    RecordHandle h(2, 2);
    const char rules[] = {'-', '=', '.', ':'};
    for (int kind = 1; kind <= 4; ++kind) {
        SCOPED_TRACE(kind);
        fill(h.b, kind);
        const std::string text = written([&](FILE *f) { TXStateOutput(h, f); });
        const std::string first = text.substr(0, text.find('\n') + 1);
        EXPECT_EQ(first, kind > 2 ? "   Step: 7      \n" : "   Step: 7        T=6.2831853    \n");
        EXPECT_EQ(last_line(text), std::string(68, rules[kind - 1]) + "\n");
    }
    // A fresh record (run kind 0) has no rule at all; its last line is the state.
    fill(h.b, 0);
    EXPECT_EQ(last_line(written([&](FILE *f) { TXStateOutput(h, f); })).substr(0, 4), "    ");
}

TEST(StateOutput, MoreParametersThanStates) {
    RecordHandle h(1, 3);
    h.b->cindi[0] = 3;
    h.b->c[0] = 1.5;
    h.b->c[1] = -2.5;
    h.b->c[2] = 1e-9;
    h.b->y[0] = 4.0;
    h.b->er[0] = -3.0;
    h.b->ei[0] = 4.0;
    const std::string expected =
        "   Step: 0      \n"
        "   Parameters     State           Eigenvalue             Modulus\n"
        "    1.5            4              -3.000000+i4.000000    5           \n"
        "   -2.5           \n"
        "    1e-09         \n" +
        std::string(68, '.') + "\n";
    EXPECT_EQ(written([&](FILE *f) { TXStateOutput(h, f); }), expected);
}

TEST(PathOutput, TwoParameterRunsWriteBothParameters) {
    RecordHandle h(2, 2);
    const char *expected[] = {"0.5 1 -2 \n", "0.5 0.3333333333 1 -2 \n", "0.5 1 -2 \n",
                              "0.5 0.3333333333 1 -2 \n"};
    for (int kind = 1; kind <= 4; ++kind) {
        fill(h.b, kind);
        EXPECT_EQ(written([&](FILE *f) { TXPathOutput(h, f); }), expected[kind - 1]) << kind;
    }
    // An index outside the registry keeps its column instead of reading past the record.
    h.b->cindi[2] = 2;
    EXPECT_EQ(written([&](FILE *f) { TXPathOutput(h, f); }), "0.5 nan 1 -2 \n");
}

TEST(Printers, MissingRecordOrHandleWritesNothing) {
    RecordHandle h(2, 0);
    h.tx->txb = nullptr;
    EXPECT_EQ(written([&](FILE *f) { TXStateOutput(h, f); }), "");
    EXPECT_EQ(h.tx->ErrorCode, TX_ERR_NO_BIF);
    h.tx->ErrorCode = 0;
    EXPECT_EQ(written([&](FILE *f) { TXPathOutput(h, f); }), "");
    EXPECT_EQ(h.tx->ErrorCode, TX_ERR_NO_BIF);
    h.tx->txb = h.b;
    TXStateOutput(h, nullptr);  // no stream: nothing to do, no crash
    TXPathOutput(h, nullptr);
    EXPECT_EXIT(TXPathOutput(nullptr, stdout), testing::ExitedWithCode(1),
                "'TXPathOutput': Traxis not opened");
    EXPECT_EXIT(TXStateOutput(nullptr, stdout), testing::ExitedWithCode(1),
                "'TXStateOutput': Traxis not opened");
}

}  // namespace
