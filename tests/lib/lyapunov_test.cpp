// Lyapunov exponents: Gram-Schmidt, known spectra, the progress file and refusals.
#include <climits>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "owned_handle.hpp"
#include "tx.h"

namespace {

using txtest::open_quiet;

constexpr double kLn2 = 0.6931471805599453;

TEST(GSR, OrthonormalisesRowsAndReportsTheirLengths) {
    double v[3][3] = {{3.0, 0.0, 4.0}, {1.0, 1.0, 0.0}, {9.0, 9.0, 9.0}};
    double norm[3] = {-1.0, -1.0, -1.0}, x[3];
    GSR(&v[0][0], norm, 3, x, 2);
    EXPECT_EQ(norm[0], 5.0);
    EXPECT_EQ(norm[2], -1.0);  // only nn rows
    EXPECT_EQ(v[2][0], 9.0);
    // Row 1 minus its projection on (0.6, 0, 0.8): (0.64, 1, -0.48), length sqrt(1.64).
    EXPECT_DOUBLE_EQ(norm[1], std::sqrt(1.64));
    EXPECT_NEAR(dot(v[0], v[1], 3), 0.0, 1e-15);
    EXPECT_NEAR(dot(v[1], v[1], 3), 1.0, 1e-15);
    EXPECT_DOUBLE_EQ(v[1][0], 0.64 / std::sqrt(1.64));
}

// y' = diag(-1, 0.5, -0.2) y
void diagonal(double, double *y, double *f) {
    f[0] = -1.0 * y[0];
    f[1] = 0.5 * y[1];
    f[2] = -0.2 * y[2];
}

TEST(LyapCalc, DiagonalSystemGivesItsRatesInTheOriginalOrder) {
    auto tx = open_quiet(diagonal, 3, 1e-10, 0.01);
    // At the origin the neighbours stay on their axes, so the directions never mix.
    double t = 0.0, y[3] = {0.0, 0.0, 0.0}, exponents[3];
    ASSERT_EQ(TXLyapCalc(tx.get(), &t, y, 1e-6, 0.5, 2, 10, exponents, 3), 1);
    EXPECT_NEAR(exponents[0], -1.0 / kLn2, 1e-8);
    EXPECT_NEAR(exponents[1], 0.5 / kLn2, 1e-8);
    EXPECT_NEAR(exponents[2], -0.2 / kLn2, 1e-8);
}

// A non-normal linear system: the exponents sum to trace / ln 2 over any interval, since the
// orthonormalisation keeps the volume growth det exp(A dt).
void shear(double, double *y, double *f) {
    f[0] = 0.1 * y[0] + 3.0 * y[1];
    f[1] = -0.4 * y[1];
}

TEST(LyapCalc, OneCountedIntervalIsTheGrowthOfThatInterval) {
    auto tx = open_quiet(shear, 2, 1e-11, 0.01);
    double t = 0.0, y[2] = {1.0, 1.0}, exponents[2];
    ASSERT_EQ(TXLyapCalc(tx.get(), &t, y, 1e-6, 0.75, 3, 1, exponents, 2), 1);
    EXPECT_NEAR(exponents[0] + exponents[1], (0.1 - 0.4) / kLn2, 1e-6);
    // The first direction starts as e0, an eigenvector: log2 of exp(0.1 * 0.75), per 0.75.
    EXPECT_NEAR(exponents[0], 0.1 / kLn2, 1e-6);
}

TEST(LyapCalc, TimeAdvancesByAllIntervalsAndOnlyNnExponentsAreWritten) {
    auto tx = open_quiet(diagonal, 3, 1e-8, 0.01);
    double t = 1.0, y[3] = {1.0, 1.0, 1.0}, exponents[3] = {7.0, 7.0, 7.0};
    ASSERT_EQ(TXLyapCalc(tx.get(), &t, y, 1e-6, 0.25, 3, 4, exponents, 2), 1);
    EXPECT_EQ(t, 1.0 + 7 * 0.25);
    EXPECT_NEAR(y[0], std::exp(-1.75), 1e-7);  // the reference trajectory is the state's own
    EXPECT_EQ(exponents[2], 7.0);
}

std::vector<std::string> lines_of(const std::string &path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string format_line(const std::vector<double> &values) {
    std::string line;
    char field[64];
    for (double v : values) {
        std::snprintf(field, sizeof field, "%12.6g ", v);
        line += field;
    }
    return line;
}

TEST(LyapCalcFile, WritesEverySampthIntervalAndEndsLikeLyapCalc) {
    const std::string path = ::testing::TempDir() + "lyap_progress.txt";
    std::ofstream(path) << "left over from an earlier run\n";

    auto tx = open_quiet(diagonal, 3, 1e-10, 0.01);
    double t = 0.0, y[3] = {0.0, 0.0, 0.0}, exponents[3];
    ASSERT_EQ(TXLyapCalcFile(tx.get(), path.c_str(), &t, y, 1e-6, 0.5, 3, 4, exponents, 3, 2),
              1);
    EXPECT_EQ(t, 3.5);

    // Intervals l = 3 and l = 5 (l + 1 = 4 and 6): elapsed 1 and 3 intervals.
    const std::vector<std::string> lines = lines_of(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], format_line({0.5, -1.0 / kLn2, 0.5 / kLn2, -0.2 / kLn2}));
    EXPECT_EQ(lines[1], format_line({1.5, -1.0 / kLn2, 0.5 / kLn2, -0.2 / kLn2}));

    auto plain = open_quiet(diagonal, 3, 1e-10, 0.01);
    double tp = 0.0, yp[3] = {0.0, 0.0, 0.0}, expected[3];
    ASSERT_EQ(TXLyapCalc(plain.get(), &tp, yp, 1e-6, 0.5, 3, 4, expected, 3), 1);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(exponents[j], expected[j]);
    std::remove(path.c_str());
}

void blow_up(double, double *, double *f) { f[0] = std::nan(""); }

TEST(LyapCalc, RefusalsLeaveTheirCode) {
    auto tx = open_quiet(diagonal, 3, 1e-8, 0.01);
    double t = 0.0, y[3] = {1.0, 1.0, 1.0}, exponents[3];
    EXPECT_EQ(TXLyapCalc(tx.get(), &t, y, 1e-6, 0.5, 0, 1, exponents, 0), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_LYAP_ARGUMENT);
    EXPECT_EQ(TXLyapCalc(tx.get(), &t, y, 1e-6, 0.5, 0, 1, exponents, 4), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_LYAP_ARGUMENT);
    EXPECT_EQ(TXLyapCalc(tx.get(), &t, y, 1e-6, 0.5, 3, 0, exponents, 3), 0);  // 0/0 exponents
    EXPECT_EQ(tx->ErrorCode, TX_ERR_LYAP_ARGUMENT);
    EXPECT_EQ(TXLyapCalc(tx.get(), &t, y, 1e-6, 0.5, -1, 2, exponents, 3), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_LYAP_ARGUMENT);
    EXPECT_EQ(TXLyapCalc(tx.get(), &t, y, 1e-6, 0.5, LONG_MAX, 2, exponents, 3), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_LYAP_ARGUMENT);
    const std::string path = ::testing::TempDir() + "lyap_refused.txt";
    std::remove(path.c_str());  // left by an earlier or concurrent run in a shared directory
    EXPECT_EQ(TXLyapCalcFile(tx.get(), path.c_str(), &t, y, 1e-6, 0.5, 0, 1, exponents, 3, 0), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_LYAP_ARGUMENT);
    EXPECT_FALSE(std::ifstream(path).good());  // refused before the file is touched
    EXPECT_EQ(TXLyapCalcFile(tx.get(), "/nonexistent/dir/lyap.txt", &t, y, 1e-6, 0.5, 0, 1,
                             exponents, 3, 1),
              0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_OPEN_FILE);
    EXPECT_EQ(TXLyapCalcFile(tx.get(), nullptr, &t, y, 1e-6, 0.5, 0, 1, exponents, 3, 1), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_OPEN_FILE);
    EXPECT_EQ(t, 0.0);

    // An integration failure ends the computation with the integrator's code.
    auto bad = open_quiet(blow_up, 1, 1e-8, 0.01);
    double tb = 0.0, yb = 1.0, eb;
    EXPECT_EQ(TXLyapCalc(bad.get(), &tb, &yb, 1e-6, 0.5, 0, 1, &eb, 1), 0);
    EXPECT_EQ(bad->ErrorCode, TX_ERR_STEP_TOO_SMALL);
}

}  // namespace
