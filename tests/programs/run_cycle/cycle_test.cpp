// run_cycle on small inputs, each run in a fresh directory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The shipped example: a stable limit cycle without forcing or noise.
struct Model {
    double a = 1.5, b = 0.2, A = 0.0, sigma = 0.0, c = 1.0;
    double x = 0.5, v = 0.0, w = 0.0;
};

std::string state_file(const Model &m) {
    std::ostringstream s;
    s.precision(17);
    s << "&var x " << m.x << " 0 0\n&var v " << m.v << " 0 0\n&var w " << m.w << " 0 0\n"
      << "&par a " << m.a << " 0\n&par b " << m.b << " 0\n&par A " << m.A << " 0\n"
      << "&par sigma " << m.sigma << " 0\n&par c " << m.c << " 0\n";
    return s.str();
}

std::string param_file(int periodicity, int max_steps, const char *eps) {
    return "slc_periodicity " + std::to_string(periodicity) + "\nslc_max_steps " +
           std::to_string(max_steps) + "\nslc_eps " + eps + "\n";
}

struct Outcome {
    int status = -1;
    std::string output;  // standard output and error
};

class RunCycle : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/run_cycle_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        const std::string command = "rm -rf '" + dir_ + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }

    void write(const std::string &name, const std::string &text) const {
        std::ofstream(dir_ + "/" + name) << text;
    }
    std::string read(const std::string &name) const {
        std::ifstream in(dir_ + "/" + name);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool exists(const std::string &name) const {
        struct stat st;
        return stat((dir_ + "/" + name).c_str(), &st) == 0;
    }
    std::vector<std::string> lines(const std::string &name) const {
        std::vector<std::string> out;
        std::istringstream in(read(name));
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
    Outcome run() const {
        const std::string command = "cd '" + dir_ + "' && " RUN_CYCLE " > log.txt 2>&1";
        Outcome r;
        const int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.output = read("log.txt");
        return r;
    }

    Outcome run_with(const Model &m, const std::string &params) const {
        write("system.st", state_file(m));
        write("param.slc", params);
        return run();
    }

    std::string dir_;
};

// Independent reference: classical RK4 on the model equations with a small fixed step, period
// from successive upward crossings of x = 0, interpolated linearly within the step.
double reference_period(const Model &m) {
    auto f = [&](const double *y, double *d) {
        const double x = y[0];
        d[0] = m.a * x - x * y[2] + y[1] - m.c * x * x * x;
        d[1] = -x;
        d[2] = m.b * ((std::fabs(x) + x) * x / 2 - y[2]);
    };
    double y[3] = {m.x, m.v == 0 ? 1e-6 : m.v, m.w == 0 ? 1e-6 : m.w};
    const double h = 1e-3;
    double t = 0.0, first = -1.0, last = -1.0;
    int periods = 0;
    while (periods < 5) {
        double k1[3], k2[3], k3[3], k4[3], z[3];
        f(y, k1);
        for (int i = 0; i < 3; ++i) z[i] = y[i] + h / 2 * k1[i];
        f(z, k2);
        for (int i = 0; i < 3; ++i) z[i] = y[i] + h / 2 * k2[i];
        f(z, k3);
        for (int i = 0; i < 3; ++i) z[i] = y[i] + h * k3[i];
        f(z, k4);
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

TEST_F(RunCycle, StableCycleGivesItsPeriodAndMultipliers) {
    const Model m;
    const Outcome r = run_with(m, param_file(1, 100, "1e-4"));
    ASSERT_EQ(r.status, 0) << r.output;

    EXPECT_EQ(lines("debug.txt").size(), 10000u);
    const auto out = lines("out.slc");
    ASSERT_EQ(out.size(), 7u) << read("out.slc");
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
    const auto grid = lines("multy.slc");
    ASSERT_EQ(grid.size(), 5u) << read("multy.slc");
    double x, v, w;
    ASSERT_EQ(std::sscanf(grid[0].c_str(), "%lf %lf %lf ", &x, &v, &w), 3);
    EXPECT_LT(std::fabs(x), 1e-3);  // on the section x = 0
    EXPECT_EQ(grid[0].back(), ' ');
    EXPECT_EQ(grid[4], " ");
    for (int i = 0; i < 3; ++i) {
        const std::string &line = grid[1 + i];
        int col = -1, row = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d %d ", &col, &row), 2) << line;
        EXPECT_EQ(line.substr(line.size() - 1), " ");
        if (i > 0) {
            EXPECT_EQ(line[0], ' ');
        }
        EXPECT_NEAR(col, std::ceil(50 * (std::tanh(mu[i].re) + 1)), 1);
        EXPECT_NEAR(row, 100 - std::ceil(50 * (std::tanh(mu[i].im) + 1)), 1);
    }
}

TEST_F(RunCycle, ToleranceOfOneOrMoreNeedsNoAdjustmentPass) {
    const Outcome r = run_with(Model{}, param_file(1, 0, "1"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(lines("out.slc").size(), 7u);
}

TEST_F(RunCycle, AdjustmentWithoutPassesFailsWithItsMessage) {
    // The first pass is never looked at.
    const Outcome r = run_with(Model{}, param_file(1, 0, "0.5"));
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(read("out.slc"),
              "ERROR: Can't adjust initial conditions for given pricision within given number of "
              "steps!\n");
    EXPECT_FALSE(exists("multy.slc"));
}

TEST_F(RunCycle, TwoTurnsDoubleThePeriod) {
    const Model m;
    const Outcome r = run_with(m, param_file(2, 100, "1e-4"));
    ASSERT_EQ(r.status, 0) << r.output;
    const auto out = lines("out.slc");
    ASSERT_EQ(out.size(), 7u);
    EXPECT_NEAR(std::stod(out[1]), 2 * reference_period(m), 2e-5 * std::stod(out[1]));
}

TEST_F(RunCycle, RunsThatCannotFinishEndWithStatusOne) {
    struct Case {
        const char *what;
        double a, c;
        const char *expected;  // in the output
    };
    const Case cases[] = {
        // overdamped: x decays to 0 without crossing the section
        {"no return", -5.0, 1.0, "did not reach the section"},
        // the cubic term drives x to infinity in finite time: the library gives up
        {"blow-up", 1.5, -1.0, "TXIntegrate"},
    };
    for (const Case &k : cases) {
        Model m;
        m.a = k.a;
        m.c = k.c;
        const Outcome r = run_with(m, param_file(1, 10, "1e-4"));
        EXPECT_EQ(r.status, 1) << k.what;
        EXPECT_NE(r.output.find(k.expected), std::string::npos) << k.what << ": " << r.output;
        EXPECT_FALSE(exists("multy.slc")) << k.what;
    }
}

TEST_F(RunCycle, UnwritableOutputIsNamedAndFails) {
    ASSERT_EQ(mkdir((dir_ + "/out.slc").c_str(), 0755), 0);  // a directory cannot be opened
    const Outcome r = run_with(Model{}, param_file(1, 100, "1e-4"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("out.slc"), std::string::npos) << r.output;
}

TEST_F(RunCycle, MissingOrBadParameterFileIsRefused) {
    write("system.st", state_file(Model{}));
    Outcome r = run();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("ERROR: could not open the parameters file"), std::string::npos);

    write("param.slc", param_file(0, 100, "1e-4"));
    r = run();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("slc_periodicity"), std::string::npos) << r.output;
    EXPECT_FALSE(exists("debug.txt"));
}

}  // namespace
