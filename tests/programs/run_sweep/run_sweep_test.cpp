// run_sweep end to end.  With a = 1, b = 0 and c = 1 the model is a van der Pol oscillator,
// x'' = (a - 3 x^2) x' - x, whose x and v = y[1] both swing well past 0.1 once per cycle.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../batch_run.hpp"
#include "../model_files.hpp"

namespace {

using batchtest::Workdir;

std::string state_file(double x, double v, double a, double c, double sigma, double dt) {
    batchtest::ModelSetup m;
    m.y[0] = x, m.y[1] = v, m.y[2] = 0;
    m.a = a, m.b = 0, m.c = c, m.sigma = sigma, m.dt = dt;
    return batchtest::state_file(m);
}

std::string udf(const std::string &index, const std::string &first, const std::string &end,
                const std::string &inc) {
    return "index " + index + "\nfirst " + first + "\nend " + end + "\ninc " + inc +
           "\nspare4 0\nspare5 0\nspare6 0\nspare7 0\n";
}

struct Line {
    double p, rate_x, rate_v, ratio;
};

// strtod, unlike stream extraction, also reads "nan" and "inf"
std::vector<Line> table(const std::string &text) {
    std::vector<Line> out;
    for (const std::string &line : batchtest::lines(text)) {
        const char *at = line.c_str();
        char *end;
        double v[4];
        for (double &x : v) x = std::strtod(at, &end), at = end;
        out.push_back({v[0], v[1], v[2], v[3]});
    }
    return out;
}

const std::string kOscillator = state_file(0.5, 0.5, 1, 1, 0, 0.01);

TEST(RunSweep, StepsTheParameterFromOneIncrementBelowTheFirstValue) {
    Workdir dir;
    dir.write("system.st", kOscillator);
    dir.write("param.udf", udf("0", "1.0", "1.25", "0.1"));
    const auto r = dir.run(RUN_SWEEP, {"0", "7", "0", "rates.dat"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "index  =  0.000000\nfirst  =  1.000000\nend  =  1.250000\ninc  =  0.100000\n"
              "spare4  =  0.000000\nspare5  =  0.000000\nspare6  =  0.000000\n"
              "spare7  =  0.000000\n"
              "opening outfile\n....opened  \n"
              "apar=0.900000 \napar=1.000000 \napar=1.100000 \napar=1.200000 \nDONE... \n");
    EXPECT_EQ(r.err, "");
    const std::string text = dir.read("rates.dat");
    const auto lines = table(text);
    ASSERT_EQ(lines.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(lines[i].p, 0.9 + 0.1 * i, 1e-6);
        // van der Pol with mu near 1 has a period near 6.7; x and v share it.
        EXPECT_GT(lines[i].rate_x, 0.13);
        EXPECT_LT(lines[i].rate_x, 0.17);
        EXPECT_NEAR(lines[i].ratio, 1.0, 0.03);
        EXPECT_NEAR(lines[i].ratio, lines[i].rate_x / lines[i].rate_v, 1e-5);
    }
    char first[32];
    std::snprintf(first, sizeof first, "%f  ", 0.9f);
    EXPECT_EQ(text.substr(0, 10), first);
    EXPECT_EQ(text.substr(text.find('\n') - 1, 2), " \n");  // "%f  %f  %f %f \n"
}

TEST(RunSweep, FileModeOneKeepsEarlierLines) {
    Workdir dir;
    dir.write("system.st", kOscillator);
    dir.write("param.udf", udf("0", "1.1", "1.05", "0.1"));  // the single value 1.0
    ASSERT_EQ(dir.run(RUN_SWEEP, {"0", "7", "0", "rates.dat"}).status, 0);
    const std::string once = dir.read("rates.dat");
    ASSERT_EQ(table(once).size(), 1u);
    ASSERT_EQ(dir.run(RUN_SWEEP, {"1", "7", "0", "rates.dat"}).status, 0);
    const std::string twice = dir.read("rates.dat");
    EXPECT_EQ(twice.substr(0, once.size()), once);
    EXPECT_EQ(table(twice).size(), 2u);
    ASSERT_EQ(dir.run(RUN_SWEEP, {"0", "7", "0", "rates.dat"}).status, 0);
    EXPECT_EQ(dir.read("rates.dat"), once);
}

TEST(RunSweep, TheSeedDrivesTheNoisyIntegrators) {
    Workdir dir;
    dir.write("system.st", state_file(0.5, 0.5, 1, 1, 0.3, 0.01));
    dir.write("param.udf", udf("0", "1.1", "1.05", "0.1"));
    for (const char *mode : {"0", "2"}) {
        ASSERT_EQ(dir.run(RUN_SWEEP, {"0", "-5", mode, "a.dat"}).status, 0);
        ASSERT_EQ(dir.run(RUN_SWEEP, {"0", "-5", mode, "b.dat"}).status, 0);
        ASSERT_EQ(dir.run(RUN_SWEEP, {"0", "-6", mode, "c.dat"}).status, 0);
        EXPECT_EQ(dir.read("a.dat"), dir.read("b.dat")) << "mode " << mode;
        EXPECT_NE(dir.read("a.dat"), dir.read("c.dat")) << "mode " << mode;
        EXPECT_NEAR(table(dir.read("a.dat"))[0].rate_x, 0.15, 0.03) << "mode " << mode;
    }
}

TEST(RunSweep, AQuietSignalEndsTheWaitWithTheRatesSoFar) {
    // a = -10: x settles at 0 without ever reaching 0.1, so the wait for spikes is cut short.
    Workdir dir;
    dir.write("system.st", state_file(-1, 0, -10, 0, 0, 0.01));
    dir.write("param.udf", udf("0", "-9", "-9.5", "1"));  // the single value -10
    const auto r = dir.run(RUN_SWEEP, {"0", "1", "0", "rates.dat"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("only 0 spikes of x in 10000000 sample steps"), std::string::npos)
        << r.err;
    EXPECT_EQ(dir.read("rates.dat"), "-10.000000  0.000000  0.000000 nan \n");
}

TEST(RunSweep, AFailureLeavesTheOutfileAsItWas) {
    // c = -1 makes x blow up in finite time; the adaptive integrator cannot follow it, and the
    // Euler steps run into infinity.
    for (const char *integration : {"1", "0"}) {
        for (const char *filemode : {"0", "1"}) {
            Workdir dir;
            const batchtest::Earlier earlier(dir, {"rates.dat"});
            dir.write("system.st", state_file(2, 0, 1, -1, 0, 0.5));
            dir.write("param.udf", udf("0", "1.1", "1.05", "0.1"));
            const auto r = dir.run(RUN_SWEEP, {filemode, "1", integration, "rates.dat"});
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.err.find(*integration == '1' ? "Error in tx" : "no longer finite"),
                      std::string::npos) << r.err;
            EXPECT_EQ(earlier.changed(), "") << "filemode " << filemode;
        }
    }
}

TEST(RunSweep, RefusesBadArgumentsAndSettings) {
    struct Case {
        const char *what;
        std::vector<std::string> args;
        std::string udf_file;
        const char *message;
    } cases[] = {
        {"no arguments", {}, udf("0", "1", "1.2", "0.1"), "usage: run_sweep"},
        {"three arguments", {"0", "1", "0"}, udf("0", "1", "1.2", "0.1"), "usage: run_sweep"},
        {"integration 3", {"0", "1", "3", "out.dat"}, udf("0", "1", "1.2", "0.1"),
         "INTEGRATION must be 0, 1 or 2"},
        {"integration text", {"0", "1", "rk", "out.dat"}, udf("0", "1", "1.2", "0.1"),
         "INTEGRATION must be 0, 1 or 2"},
        {"zero increment", {"0", "1", "0", "out.dat"}, udf("0", "1", "1.2", "0"),
         "increment must be positive"},
        {"negative increment", {"0", "1", "0", "out.dat"}, udf("0", "1", "1.2", "-0.1"),
         "increment must be positive"},
        {"parameter index 5", {"0", "1", "0", "out.dat"}, udf("5", "1", "1.2", "0.1"),
         "swept parameter index must be 0 ... 4"},
        {"increment lost in rounding", {"1", "1", "0", "out.dat"},
         udf("0", "1e17", "2e17", "1"), "increment is too small to move 2e+17 on"},
        {"unwritable outfile", {"0", "1", "0", "no/such/dir/out.dat"}, udf("0", "1", "1.2", "0.1"),
         "run_sweep: no/such/dir/out.dat: No such file or directory\n"},
        {"no state file", {"0", "1", "0", "out.dat"}, udf("0", "1", "1.2", "0.1"),
         "run_sweep: system.st: No such file or directory\n"},
    };
    for (const Case &c : cases) {
        Workdir dir;
        const batchtest::Earlier earlier(dir, {"out.dat"});
        if (std::string(c.what) != "no state file") dir.write("system.st", kOscillator);
        dir.write("param.udf", c.udf_file);
        const auto r = dir.run(RUN_SWEEP, c.args);
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_TRUE(batchtest::one_line_from("run_sweep", r.err)) << r.err;
        EXPECT_EQ(r.out.find("apar="), std::string::npos) << c.what;
        EXPECT_EQ(earlier.changed(), "") << c.what;
    }
}

}  // namespace
