// Sorting the spectrum, its dimension and the written lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "lyap_spectrum.hpp"

namespace {

using txlyap::lyap_dim;
using txlyap::sort_descending;

TEST(Spectrum, SortsLargestFirst) {
    double e[3] = {-0.2, 0.7, 0.0};
    sort_descending(e, 3);
    EXPECT_EQ(e[0], 0.7);
    EXPECT_EQ(e[1], 0.0);
    EXPECT_EQ(e[2], -0.2);
    double reversed[3] = {-3.0, -2.0, -1.0};  // needs every pass
    sort_descending(reversed, 3);
    EXPECT_EQ(reversed[0], -1.0);
    EXPECT_EQ(reversed[2], -3.0);
}

TEST(Spectrum, DimensionCountsSmallExponentsAsZero) {
    const double e[3] = {0.5, 0.05, -1.0};
    EXPECT_DOUBLE_EQ(lyap_dim(e, 3, 0.1), 2.5);
    EXPECT_DOUBLE_EQ(lyap_dim(e, 3, 0.01), 2.55);
    const double partial[3] = {0.3, -0.4, -1.0};
    EXPECT_DOUBLE_EQ(lyap_dim(partial, 3, 0.0), 1.75);
    const double contracting[3] = {-0.1, -0.2, -0.3};
    EXPECT_EQ(lyap_dim(contracting, 3, 0.0), 0.0);
    // A sum that never turns negative: every direction computed.
    const double expanding[3] = {0.4, 0.0, -0.3};
    EXPECT_EQ(lyap_dim(expanding, 3, 0.0), 3.0);
    EXPECT_EQ(lyap_dim(expanding, 2, 0.0), 2.0);
}

std::string written(bool sweep, const txlyap::Spectrum &s) {
    char buffer[256] = {};
    std::FILE *f = fmemopen(buffer, sizeof buffer - 1, "w");
    const bool ok = sweep ? txlyap::write_sweep_line(f, 0.25, s)
                          : txlyap::write_single(f, "a", 0.25, s);
    std::fclose(f);
    return ok ? buffer : "write failed";
}

TEST(Spectrum, LinesHoldTheWrittenExponentsAndTheDimension) {
    const double e[3] = {0.5, 0.0, -1.25};
    EXPECT_EQ(written(false, {e, 2, true, 2.5}),
              " a=0.250000\n LCEs=  0.500000  0.000000 \n D_lyap=2.500000 \n");
    EXPECT_EQ(written(false, {e, 3, false, 0.0}),
              " a=0.250000\n LCEs=  0.500000  0.000000  -1.250000\n");
    EXPECT_EQ(written(true, {e, 2, true, 2.5}), "0.250000     0.500000  0.000000 2.500000 \n");
    EXPECT_EQ(written(true, {e, 1, false, 0.0}), "0.250000     0.500000\n");
}

}  // namespace
