// run_cycle on small inputs, each run in a fresh directory.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "../batch_run.hpp"
#include "../model_files.hpp"

namespace {

using batchtest::lines;
using batchtest::ModelSetup;
using batchtest::Result;
using batchtest::Workdir;

// The shipped example: a stable limit cycle without forcing or noise.
ModelSetup cycle_model() {
    ModelSetup m;
    m.y[0] = 0.5;
    m.y[1] = m.y[2] = 1e-6;
    m.a = 1.5;
    m.b = 0.2;
    m.c = 1.0;
    return m;
}

std::string param_file(int periodicity, int max_steps, const char *eps) {
    return "slc_periodicity " + std::to_string(periodicity) + "\nslc_max_steps " +
           std::to_string(max_steps) + "\nslc_eps " + eps + "\n";
}

Result run(const Workdir &dir, const ModelSetup &m, const std::string &params) {
    dir.write("system.st", batchtest::state_file(m));
    dir.write("param.slc", params);
    return dir.run(RUN_CYCLE, {});
}

// Independent reference: classical RK4 with a small fixed step, the period from successive
// upward crossings of x = 0, interpolated linearly within the step.
double reference_period(const ModelSetup &m) {
    batchtest::g_reference = m;
    double y[3] = {m.y[0], m.y[1], m.y[2]};
    const double h = 1e-3;
    double t = 0.0, first = -1.0, last = -1.0;
    int periods = 0;
    while (periods < 5) {
        double k1[3], k2[3], k3[3], k4[3], z[3];
        batchtest::reference_model(t, y, k1);
        for (int i = 0; i < 3; ++i) z[i] = y[i] + h / 2 * k1[i];
        batchtest::reference_model(t, z, k2);
        for (int i = 0; i < 3; ++i) z[i] = y[i] + h / 2 * k2[i];
        batchtest::reference_model(t, z, k3);
        for (int i = 0; i < 3; ++i) z[i] = y[i] + h * k3[i];
        batchtest::reference_model(t, z, k4);
        const double x_before = y[0];
        for (int i = 0; i < 3; ++i) y[i] += h / 6 * (k1[i] + 2 * k2[i] + 2 * k3[i] + k4[i]);
        t += h;
        if (t > 300.0 && x_before < 0.0 && y[0] >= 0.0) {
            last = t - h * y[0] / (y[0] - x_before);
            if (first < 0.0)
                first = last;
            else
                ++periods;
        }
    }
    return (last - first) / periods;
}

struct Multiplier {
    double re, im, mod;
};

TEST(RunCycle, StableCycleGivesItsPeriodAndMultipliers) {
    Workdir dir;
    const ModelSetup m = cycle_model();
    const Result r = run(dir, m, param_file(1, 100, "1e-4"));
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    EXPECT_EQ(lines(dir.read("debug.txt")).size(), 10000u);
    const auto out = lines(dir.read("out.slc"));
    ASSERT_EQ(out.size(), 7u) << dir.read("out.slc");
    EXPECT_EQ(out[0], "# period time");
    EXPECT_EQ(out[2], "# multipliers");
    EXPECT_EQ(out[3], "\tRe\t\tIm \t\tMod ");
    const double period = std::stod(out[1]);
    EXPECT_NEAR(period, reference_period(m), 1e-5 * period);

    Multiplier mu[3];
    for (int i = 0; i < 3; ++i) {
        int index = -1;
        ASSERT_EQ(std::sscanf(out[4 + i].c_str(), "%d:\t%lf\t%lf\t%lf", &index, &mu[i].re,
                              &mu[i].im, &mu[i].mod),
                  4)
            << out[4 + i];
        EXPECT_EQ(index, i);
        EXPECT_NEAR(mu[i].mod, std::hypot(mu[i].re, mu[i].im), 1e-6);
    }
    EXPECT_NEAR(mu[2].re, 1.0, 1e-3);  // along the flow
    EXPECT_NEAR(mu[2].im, 0.0, 1e-6);
    EXPECT_LT(mu[0].mod, 1.0);
    EXPECT_LT(mu[1].mod, 1.0);

    // The state on the cycle, then one grid position per multiplier; every line after the
    // first starts with the blank that ends the line before.
    const auto grid = lines(dir.read("multy.slc"));
    ASSERT_EQ(grid.size(), 5u) << dir.read("multy.slc");
    double x, v, w;
    ASSERT_EQ(std::sscanf(grid[0].c_str(), "%lf %lf %lf ", &x, &v, &w), 3);
    EXPECT_LT(std::fabs(x), 1e-3);  // on the section x = 0
    EXPECT_EQ(grid[0].back(), ' ');
    EXPECT_EQ(grid[4], " ");
    for (int i = 0; i < 3; ++i) {
        const std::string &line = grid[1 + i];
        int col = -1, row = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d %d ", &col, &row), 2) << line;
        EXPECT_EQ(line.back(), ' ');
        if (i > 0) {
            EXPECT_EQ(line[0], ' ');
        }
        EXPECT_NEAR(col, std::ceil(50 * (std::tanh(mu[i].re) + 1)), 1);
        EXPECT_NEAR(row, 100 - std::ceil(50 * (std::tanh(mu[i].im) + 1)), 1);
    }
}

TEST(RunCycle, ToleranceOfOneOrMoreNeedsNoAdjustmentPass) {
    Workdir dir;
    const Result r = run(dir, cycle_model(), param_file(1, 0, "1") + "slc_epsilon 1e-4\n");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(lines(dir.read("out.slc")).size(), 7u);
    // A misspelt key is named, not silently dropped.
    EXPECT_EQ(r.err, "run_cycle: param.slc: unknown key slc_epsilon ignored\n");
}

// Once the run ended with status 1 and nothing on either stream.
TEST(RunCycle, AdjustmentWithoutPassesFailsWithItsMessage) {
    Workdir dir;
    const batchtest::Earlier earlier(dir, {"debug.txt", "multy.slc"});
    // The first pass is never looked at.
    const Result r = run(dir, cycle_model(), param_file(1, 0, "0.5"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(dir.read("out.slc"),
              "ERROR: Can't adjust initial conditions for given pricision within given number of "
              "steps!\n");
    EXPECT_TRUE(batchtest::one_line_from("run_cycle", r.err)) << r.err;
    EXPECT_NE(r.err.find("slc_eps = 0.5"), std::string::npos) << r.err;
    EXPECT_EQ(earlier.changed(), "");
}

// An empty state file once ran on zeros and reported the period 6.283184.
TEST(RunCycle, AnIncompleteStateFileChangesNothing) {
    Workdir dir;
    const batchtest::Earlier earlier(dir, {"debug.txt", "out.slc", "multy.slc"});
    dir.write("system.st", "&var x 0.5 0 0\n");
    dir.write("param.slc", param_file(1, 100, "1e-4"));
    const Result r = dir.run(RUN_CYCLE, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("run_cycle: system.st: missing &var 2, &var 3, &par 1,", 0), 0u) << r.err;
    EXPECT_EQ(earlier.changed(), "");
}

TEST(RunCycle, TwoTurnsDoubleThePeriod) {
    Workdir dir;
    const ModelSetup m = cycle_model();
    const Result r = run(dir, m, param_file(2, 100, "1e-4"));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const auto out = lines(dir.read("out.slc"));
    ASSERT_EQ(out.size(), 7u);
    EXPECT_NEAR(std::stod(out[1]), 2 * reference_period(m), 2e-5 * std::stod(out[1]));
}

TEST(RunCycle, RunsThatCannotFinishEndWithStatusOne) {
    struct Case {
        const char *what;
        double a, c;
        const char *expected;  // on standard error
    };
    const Case cases[] = {
        // overdamped: x crosses once, then settles onto the equilibrium on the section, where
        // rounding noise below 1e-308 is all that changes sign and no crossing can be located
        {"no return", -5.0, 1.0, "'TXPoincareStep': Unable to bracket Poincare section"},
        // the cubic term drives x to infinity in finite time: the library gives up
        {"blow-up", 1.5, -1.0, "TXIntegrate"},
    };
    for (const Case &k : cases) {
        Workdir dir;
        const batchtest::Earlier earlier(dir, {"debug.txt", "multy.slc"});
        ModelSetup m = cycle_model();
        m.a = k.a;
        m.c = k.c;
        const Result r = run(dir, m, param_file(1, 10, "1e-4"));
        EXPECT_EQ(r.status, 1) << k.what;
        EXPECT_NE(r.err.find(k.expected), std::string::npos) << k.what << ": " << r.err;
        EXPECT_EQ(earlier.changed(), "") << k.what;
    }
}

TEST(RunCycle, UnwritableOutputIsNamedBeforeTheWork) {
    Workdir dir;
    const batchtest::Earlier earlier(dir, {"debug.txt", "multy.slc"});
    ASSERT_EQ(mkdir(dir.file("out.slc").c_str(), 0755), 0);  // a directory cannot be opened
    const Result r = run(dir, cycle_model(), param_file(1, 100, "1e-4"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "run_cycle: out.slc: Is a directory\n");
    EXPECT_EQ(earlier.changed(), "");
    rmdir(dir.file("out.slc").c_str());
}

TEST(RunCycle, MissingOrBadParameterFileIsRefused) {
    Workdir dir;
    dir.write("system.st", batchtest::state_file(cycle_model()));
    Result r = dir.run(RUN_CYCLE, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ERROR: could not open the parameters file"), std::string::npos);
    EXPECT_EQ(r.err, "run_cycle: param.slc: No such file or directory\n");

    r = run(dir, cycle_model(), param_file(0, 100, "1e-4"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("slc_periodicity"), std::string::npos) << r.err;
    EXPECT_FALSE(dir.exists("debug.txt"));
}

}  // namespace
