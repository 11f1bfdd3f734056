// The framed bifurcation report and the matrix printer.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "matrix.hpp"
#include "records.hpp"
#include "tx.h"

namespace {

using txtest::RecordHandle;
using txtest::written;

const std::string kBorder =
    "+-------------------------------------------------------------------+\n";
const std::string kEmpty =
    "|                                                                   |\n";

// A period doubling of an orbit, reached from the left; the first parameter's current value
// is 10.  Records of order 1 take the first value of each vector.
void period_doubling(TraxisBif b) {
    b->biftype = TX_BIF_PERIOD_DOUBLING;
    std::strcpy(b->btype, " (flip)");
    b->cindi[0] = 1;
    b->T = 2.5;
    const double y[] = {0.25, -1}, er[] = {-1, 0.3}, trans[] = {0.6, -0.8}, tang[] = {1, 0.5},
                 left[] = {0.2, -1}, right[] = {0.3, -1.1}, top[] = {0.35, -0.9},
                 bot[] = {0.15, -1.05};
    for (int i = 0; i < b->order; ++i) {
        b->y[i] = y[i];
        b->er[i] = er[i];
        b->ei[i] = 0.0;
        b->trans[i] = trans[i];
        b->tang[i] = tang[i];
        b->left[i] = left[i];
        b->right[i] = right[i];
        b->top[i] = top[i];
        b->bot[i] = bot[i];
    }
    b->indir = 3;
    b->cleft = 0.9;
    b->cright = 1.1;
    b->ctop = b->cbot = 1.0;
}

std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::string report(Traxis tx) {
    return written([&](FILE *f) { TXStateBifOutput(tx, f); });
}

// Every line after the leading empty one is a frame line of 69 characters.
void expect_framed(const std::string &text) {
    const auto all = lines(text);
    ASSERT_GT(all.size(), 2u);
    EXPECT_EQ(all[0], "");
    for (std::size_t i = 1; i < all.size(); ++i) EXPECT_EQ(all[i].size(), 69u) << all[i];
}

TEST(StateBifOutput, ClassifiedOrbitExactText) {
    RecordHandle h(2, 1);
    period_doubling(h.b);
    const std::string expected =
        "\n" + kBorder +
        "|                        PERIOD DOUBLING (flip)                     |\n" + kEmpty +
        "|                            T=2.5                                  |\n" + kEmpty +
        "| Parameters     State           Eigenvalue            Modulus      |\n"
        "|  10             0.25           -1.000000-i0.000000   1            |\n"
        "|                -1               0.300000-i0.000000   0.3          |\n" +
        kEmpty +
        "|                Transversal    Tangent                             |\n"
        "|                 0.6            1                                  |\n"
        "|                -0.8            0.5                                |\n" +
        kEmpty +
        "|      Left *         Right          Top            Bottom          |\n"
        "|       0.9            1.1            1              1              |\n"
        "|      ............   ............   ............   ............    |\n"
        "|       0.2            0.3            0.35           0.15           |\n"
        "|      -1             -1.1           -0.9           -1.05           |\n" +
        kBorder;
    EXPECT_EQ(report(h), expected);
}

TEST(StateBifOutput, VariantsKeepTheFrame) {
    {  // not classified: plain title, no direction block
        RecordHandle h(2, 1);
        period_doubling(h.b);
        h.b->biftype = TX_BIF_NOT_DETERMINED;
        const std::string text = report(h);
        expect_framed(text);
        EXPECT_EQ(lines(text)[2],
                  "|                        Bifurcation                                |");
        EXPECT_EQ(text.find("Transversal"), std::string::npos);
        EXPECT_EQ(text.substr(text.size() - 2 * kBorder.size()), kEmpty + kBorder);
    }
    {  // equilibrium saddle-node: no period line, empty tangent column
        RecordHandle h(2, 1);
        period_doubling(h.b);
        h.b->cindi[0] = 3;
        h.b->biftype = TX_BIF_SADDLE_NODE;
        std::strcpy(h.b->btype, " ) or ( ");
        const std::string text = report(h);
        expect_framed(text);
        EXPECT_EQ(lines(text)[2],
                  "|                        SADDLE-NODE ) or (                         |");
        EXPECT_EQ(text.find("T="), std::string::npos);
        EXPECT_NE(text.find("|                 0.6" + std::string(47, ' ') + "|\n"),
                  std::string::npos);
    }
    {  // more parameters than states, negative imaginary part, arrival from the top
        RecordHandle h(1, 3);
        period_doubling(h.b);
        h.b->er[0] = 0.6;
        h.b->ei[0] = -0.8;
        h.b->indir = 1;
        const auto all = lines(report(h));
        expect_framed(report(h));
        EXPECT_EQ(all[7], "|  10             0.25            0.600000-i0.800000   1            |");
        EXPECT_EQ(all[8], "|  20" + std::string(63, ' ') + "|");
        EXPECT_EQ(all[9], "|  30" + std::string(63, ' ') + "|");
        EXPECT_EQ(all[12], "|                 0.6            1                                  |");
        EXPECT_EQ(all[13], kEmpty.substr(0, 69));  // trans and tang hold one value only
        EXPECT_EQ(all[14], kEmpty.substr(0, 69));
        EXPECT_EQ(all[16], "|      Left           Right          Top *          Bottom          |");
    }
    {  // more states than parameters: a blank parameter column; btype filling all 16 bytes
        RecordHandle h(2, 0);
        period_doubling(h.b);
        std::memset(h.b->btype, 'x', sizeof h.b->btype);
        const auto all = lines(report(h));
        expect_framed(report(h));
        EXPECT_EQ(all[2], "|                        PERIOD DOUBLINGxxxxxxxxxxxxxxxx            |");
        EXPECT_EQ(all[7], "|                 0.25           -1.000000-i0.000000   1            |");
    }
}

TEST(StateBifOutput, MissingRecordOrHandle) {
    RecordHandle h(2, 1);
    h.tx->txb = nullptr;
    EXPECT_EQ(report(h), "");
    EXPECT_EQ(h.tx->ErrorCode, TX_ERR_NO_BIF);
    h.tx->txb = h.b;
    EXPECT_EXIT(TXStateBifOutput(nullptr, stdout), testing::ExitedWithCode(1),
                "'TXStateBifOutput': Traxis not opened");
}

TEST(ShowMat, TwoByTwoInBraces) {
    txtest::Matrix m{{1, 2}, {3, -0.1234567891234}};
    testing::internal::CaptureStdout();
    SHOWMAT(2, 2, m.ptr());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n{{               1,              2},\n"
              " {               3,  -0.1234567891}}\n\n");
}

}  // namespace
