// Trajectory tables and the per-point records of continuation runs.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "owned_handle.hpp"
#include "records.hpp"
#include "scratch.hpp"
#include "systems.hpp"
#include "tx.h"

namespace {

using txtest::open_quiet;
using txtest::RecordHandle;
using txtest::written;

// ---- tables ----

void ramp(double t, double *, double *f) {  // y = (t, t^2) from 0: integrated exactly
    f[0] = 1.0;
    f[1] = 2.0 * t;
}

void damped(double, double *y, double *f) {  // x'' + 0.2 x' + x = 0
    f[0] = y[1];
    f[1] = -y[0] - 0.2 * y[1];
}

// x(t) from x(0) = 1, x'(0) = 0
double damped_x(double t) {
    const double w = std::sqrt(0.99);
    return std::exp(-0.1 * t) * (std::cos(w * t) + 0.1 / w * std::sin(w * t));
}

std::string scratch(const char *name) { return scratch_path(std::string("table_") + name); }

std::string contents(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string &path) { return std::ifstream(path).good(); }

TEST(Tables, ExactBytesAndSampleTimes) {
    auto tx = open_quiet(ramp, 2, 1e-10, 0.1);
    const std::string path = scratch("ramp.dat");
    double t = 0.0, y[2] = {0.0, 0.0};
    ASSERT_EQ(TXftablef(tx.get(), path.c_str(), "623", &t, 1.0, 4, y), 1);
    EXPECT_EQ(contents(path),
              "0.000000e+00 0.00e+00 0.000e+00 \n"
              "2.500000e-01 2.50e-01 6.250e-02 \n"
              "5.000000e-01 5.00e-01 2.500e-01 \n"
              "7.500000e-01 7.50e-01 5.625e-01 \n"
              "1.000000e+00 1.00e+00 1.000e+00 \n");
    EXPECT_EQ(t, 1.0);
    EXPECT_NEAR(y[0], 1.0, 1e-13);
    EXPECT_NEAR(y[1], 1.0, 1e-13);
    std::remove(path.c_str());

    // Only the first order + 1 characters count; the same table goes to an open stream.
    t = 0.0;
    y[0] = y[1] = 0.0;
    const std::string text = written(
        [&](FILE *f) { EXPECT_EQ(TXftablea(tx.get(), f, "600 ignored", &t, 1.0, 4, y), 1); });
    EXPECT_EQ(text,
              "0.000000e+00 \n2.500000e-01 \n5.000000e-01 \n7.500000e-01 \n1.000000e+00 \n");
}

TEST(Tables, ComponentsOnlyAgreeWithTheSolution) {
    auto tx = open_quiet(txtest::oscillator, 2, 1e-10, 0.01);
    double t = 0.0, y[2] = {1.0, 0.0};
    const std::string text =
        written([&](FILE *f) { EXPECT_EQ(TXftablea(tx.get(), f, "066", &t, 6.0, 12, y), 1); });
    std::istringstream rows(text);
    int k = 0;
    for (std::string row; std::getline(rows, row); ++k) {
        // two fields of width 12 (13 with a minus sign), each followed by a blank
        double x, v;
        int end = 0;
        ASSERT_EQ(std::sscanf(row.c_str(), "%lf %lf %n", &x, &v, &end), 2) << row;
        EXPECT_EQ(row.size(), 26u + (x < 0) + (v < 0)) << row;
        EXPECT_EQ(end, static_cast<int>(row.size())) << row;
        EXPECT_NEAR(x, std::cos(0.5 * k), 1e-6) << row;
        EXPECT_NEAR(v, -std::sin(0.5 * k), 1e-6) << row;
    }
    EXPECT_EQ(k, 13);
}

TEST(Tables, SamplesFollowTheLinearSolutionWithoutDisturbingTheSteps) {
    static std::vector<std::pair<double, double>> samples;
    samples.clear();
    auto tx = open_quiet(damped, 2, 1e-10, 0.01);
    double t = 0.0, y[2] = {1.0, 0.0};
    ASSERT_EQ(TXftableg(tx.get(), &t, 10.0, 7, y,
                        [](double s, double *v) { samples.emplace_back(s, v[0]); }),
              1);
    ASSERT_EQ(samples.size(), 8u);
    for (const auto &[s, x] : samples) EXPECT_NEAR(x, damped_x(s), 1e-8) << s;
    EXPECT_EQ(t, samples.back().first);
    EXPECT_EQ(y[0], samples.back().second);

    // An integration straight to the last sample time takes the very same steps.
    auto plain = open_quiet(damped, 2, 1e-10, 0.01);
    double tp = 0.0, yp[2] = {1.0, 0.0};
    ASSERT_EQ(TXIntegrate(plain.get(), &tp, t, yp), 1);
    EXPECT_EQ(plain->tfirst, tx->tfirst);
    EXPECT_EQ(plain->tlast, tx->tlast);
    EXPECT_EQ(plain->h, tx->h);
    EXPECT_EQ(yp[0], y[0]);
    EXPECT_EQ(yp[1], y[1]);
}

// n + 1 rows also where dt is resolved coarsely and the summed times drift: a span of twelve
// subnormals in five samples, and ten ulps of 1e10 in seven (found by the column fuzz harness).
TEST(Tables, RowCountHoldsWhereTheSpacingIsCoarse) {
    static int rows;
    const double coarse[][3] = {{0.0, 12 * std::numeric_limits<double>::denorm_min(), 5},
                                {1e10, 1e10 + 10 * (std::nextafter(1e10, 2e10) - 1e10), 7}};
    for (const auto &c : coarse) {
        auto tx = open_quiet(ramp, 2, 1e-10, 0.1);
        double t = c[0], y[2] = {0.0, 0.0};
        rows = 0;
        const long n = static_cast<long>(c[2]);
        ASSERT_EQ(TXftableg(tx.get(), &t, c[1], n, y, [](double, double *) { ++rows; }), 1);
        EXPECT_EQ(rows, n + 1) << c[1];
    }
}

TEST(Tables, RefusalsTouchNothing) {
    auto tx = open_quiet(txtest::oscillator, 2, 1e-10, 0.01);
    const std::string path = scratch("refused.dat");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char *format;
        double t, t1;
        long n;
        int code;
    } cases[] = {
        {nullptr, 0, 1, 4, TX_ERR_COLUMN_FORMAT}, {"60", 0, 1, 4, TX_ERR_COLUMN_FORMAT},
        {"6a6", 0, 1, 4, TX_ERR_COLUMN_FORMAT},   {"6 6", 0, 1, 4, TX_ERR_COLUMN_FORMAT},
        {"666", 0, 1, 0, TX_ERR_NEGATIVE_STEP},   {"666", 0, 1, -3, TX_ERR_NEGATIVE_STEP},
        {"666", 1, 1, 4, TX_ERR_NEGATIVE_STEP},   {"666", 1, 0, 4, TX_ERR_NEGATIVE_STEP},
        {"666", 0, nan, 4, TX_ERR_NEGATIVE_STEP}, {"666", 0, inf, 4, TX_ERR_NEGATIVE_STEP},
        {"666", nan, 1, 4, TX_ERR_NEGATIVE_STEP}, {"666", -1e308, 1e308, 1, TX_ERR_NEGATIVE_STEP},
        {"666", 1e16, 1e16 + 4, 1000000, TX_ERR_STEP_TOO_SMALL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.format ? c.format : "null") + " " + std::to_string(c.t1) +
                     " " + std::to_string(c.n));
        double t = c.t, y[2] = {1.0, 2.0};
        EXPECT_EQ(TXftablef(tx.get(), path.c_str(), c.format, &t, c.t1, c.n, y), 0);
        EXPECT_EQ(tx->ErrorCode, c.code);
        EXPECT_FALSE(exists(path));
        const auto to_stream = [&](FILE *f) { TXftablea(tx.get(), f, c.format, &t, c.t1, c.n, y); };
        EXPECT_EQ(written(to_stream), "");
        EXPECT_EQ(tx->ErrorCode, c.code);
        if (c.code != TX_ERR_COLUMN_FORMAT) {
            EXPECT_EQ(TXftableg(tx.get(), &t, c.t1, c.n, y, nullptr), 0);
            EXPECT_EQ(tx->ErrorCode, c.code);
        }
        EXPECT_TRUE(std::isnan(c.t) ? std::isnan(t) : t == c.t);
        EXPECT_EQ(y[0], 1.0);
        EXPECT_EQ(y[1], 2.0);
    }

    double t = 0.0, y[2] = {1.0, 2.0};
    auto no_rhs = open_quiet(nullptr, 2, 1e-10, 0.01);
    EXPECT_EQ(TXftablef(no_rhs.get(), path.c_str(), "666", &t, 1.0, 4, y), 0);
    EXPECT_EQ(no_rhs->ErrorCode, TX_ERR_NO_RHS);
    EXPECT_FALSE(exists(path));
    EXPECT_EQ(TXftablef(tx.get(), "/nonexistent/dir/table.dat", "666", &t, 1.0, 4, y), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_OPEN_FILE);
    EXPECT_EQ(TXftablef(tx.get(), nullptr, "666", &t, 1.0, 4, y), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_OPEN_FILE);
    EXPECT_EQ(TXftablea(tx.get(), nullptr, "666", &t, 1.0, 4, y), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_OPEN_FILE);
    EXPECT_EQ(t, 0.0);
    EXPECT_EQ(y[0], 1.0);
}

TEST(Tables, IncompleteTablesAreFailures) {
    auto tx = open_quiet(txtest::oscillator, 2, 1e-10, 0.01);
    double t = 0.0, y[2] = {1.0, 0.0};
    // The full device accepts the open and refuses the data when it is flushed.
    EXPECT_EQ(TXftablef(tx.get(), "/dev/full", "666", &t, 1.0, 4, y), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_WRITE_OUTPUT);
    FILE *full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(TXftablea(tx.get(), full, "666", &t, 1.0, 4, y), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_WRITE_OUTPUT);
    std::fclose(full);
    FILE *read_only = std::fopen("/dev/null", "r");
    EXPECT_EQ(TXftablea(tx.get(), read_only, "666", &t, 1.0, 4, y), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_WRITE_OUTPUT);
    std::fclose(read_only);

    // A step that fails half-way keeps the rows so far and leaves *t and y as they were.
    auto bad = open_quiet(txtest::not_a_number, 1, 1e-10, 0.01);
    double tb = 0.0, yb = 1.0;
    const std::string rows =
        written([&](FILE *f) { EXPECT_EQ(TXftablea(bad.get(), f, "66", &tb, 1.0, 4, &yb), 0); });
    EXPECT_EQ(rows, "0.000000e+00 1.000000e+00 \n");
    EXPECT_EQ(bad->ErrorCode, TX_ERR_STEP_TOO_SMALL);
    EXPECT_EQ(tb, 0.0);
    EXPECT_EQ(yb, 1.0);
}

// ---- continuation printers ----

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
    // So does a parameter registered after the record was made: the record has no room for it.
    const std::string state = written([&](FILE *f) { TXStateOutput(h, f); });
    double late = 30.0;
    double *grown[] = {h.address[0], h.address[1], &late};
    h.tx->c = grown;
    h.tx->nparam = 3;
    EXPECT_EQ(written([&](FILE *f) { TXPathOutput(h, f); }), "0.5 nan 1 -2 \n");
    EXPECT_EQ(written([&](FILE *f) { TXStateOutput(h, f); }), state);
    h.tx->c = h.address.data();
    h.tx->nparam = 2;
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
