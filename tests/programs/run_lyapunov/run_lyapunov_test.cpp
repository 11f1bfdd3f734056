// run_lyapunov end to end: its files against the library run on the model written out here,
// the modes that write nothing, and the inputs it refuses.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "../batch_run.hpp"
#include "../model_files.hpp"
#include "lyap_spectrum.hpp"
#include "tx.h"

namespace {

using batchtest::ModelSetup;
using batchtest::Workdir;

const char *const kExe = RUN_LYAPUNOV;

struct LceFile {
    double eps = 1e-6, dt = 0.5, trans = 4, steps = 12, count = 3, parameter = 0;
    double end = 2.0, increment = 0.125, dimension = 1, threshold = 0.005;
};

std::string lce_file(const LceFile &p) {
    return batchtest::pairs_file({{"eps", p.eps},
                                  {"lyap_dt", p.dt},
                                  {"trans", p.trans},
                                  {"steps", p.steps},
                                  {"count", p.count},
                                  {"parameter", p.parameter},
                                  {"end", p.end},
                                  {"increment", p.increment},
                                  {"dimension", p.dimension},
                                  {"threshold", p.threshold}});
}

batchtest::Result run(const Workdir &dir, const ModelSetup &m, const LceFile &p,
                      const std::vector<std::string> &args) {
    dir.write("system.st", batchtest::state_file(m));
    dir.write("param.lce", lce_file(p));
    return dir.run(kExe, args);
}

// The same computations on the model as written out by the test, continued over the values
// of a sweep of a, as the program does.
struct Reference {
    Traxis tx;
    double t;
    double y[3];
    explicit Reference(const ModelSetup &m) : tx(TXOpenTraxis(batchtest::reference_model, 3,
                                                             1e-6, 0.001)),
                                              t(m.t0),
                                              y{m.y[0], m.y[1], m.y[2]} {
        batchtest::g_reference = m;
    }
    ~Reference() { TXCloseTraxis(tx); }

    // Sorted exponents and the dimension, with the settings widened from single precision.
    std::vector<double> next(const LceFile &p) {
        double e[3];
        TXLyapCalc(tx, &t, y, static_cast<float>(p.eps), static_cast<float>(p.dt),
                   static_cast<long>(p.trans), static_cast<long>(p.steps), e, 3);
        txlyap::sort_descending(e, 3);
        return {e[0], e[1], e[2], txlyap::lyap_dim(e, 3, static_cast<float>(p.threshold))};
    }
};

std::string format(const char *pattern, const std::vector<double> &v) {
    char text[512];
    std::snprintf(text, sizeof text, pattern, v[0], v[1], v[2], v[3], v[4]);
    return text;
}

TEST(RunLyapunov, SingleRunWritesTheSortedSpectrumOfTheModel) {
    Workdir dir;
    ModelSetup m;
    LceFile p;
    p.count = 2;  // three computed for the dimension, two written
    ASSERT_EQ(run(dir, m, p, {"1", "unused"}).status, 0);
    const std::vector<double> e = Reference(m).next(p);
    EXPECT_GT(e[0], e[1]);
    EXPECT_EQ(dir.read("out.lce"),
              format(" a=%f\n LCEs=  %f  %f \n D_lyap=%f \n", {m.a, e[0], e[1], e[3], 0}));
    EXPECT_FALSE(dir.exists("unused"));

    p.count = 3;
    p.dimension = 0;
    p.parameter = 1;
    ASSERT_EQ(run(dir, m, p, {"0", "unused"}).status, 0);
    EXPECT_EQ(dir.read("out.lce"),
              format(" b=%f\n LCEs=  %f  %f  %f\n", {m.b, e[0], e[1], e[2], 0}));
}

TEST(RunLyapunov, SweepContinuesTheTrajectoryAndAppendsOneLinePerValue) {
    Workdir dir;
    ModelSetup m;
    LceFile p;
    p.end = 2.25;  // a = 2, 2.125, 2.25: exact in single precision
    dir.write("sweep.lce", "earlier line\n");
    ASSERT_EQ(run(dir, m, p, {"3", "sweep.lce"}).status, 0);
    Reference ref(m);
    std::string expected = "earlier line\n";
    for (double a = 2.0; a <= 2.25; a += 0.125) {
        batchtest::g_reference.a = a;
        const std::vector<double> e = ref.next(p);
        expected += format("%f     %f  %f  %f %f \n", {a, e[0], e[1], e[2], e[3]});
    }
    EXPECT_EQ(dir.read("sweep.lce"), expected);

    // Mode 100 empties the file first.
    ASSERT_EQ(run(dir, m, p, {"100", "sweep.lce"}).status, 0);
    EXPECT_EQ(dir.read("sweep.lce"), expected.substr(std::string("earlier line\n").size()));
}

TEST(RunLyapunov, ModesThatWriteNothing) {
    Workdir dir;
    ModelSetup m;
    LceFile p;
    dir.write("out.lce", "kept\n");
    dir.write("sweep.lce", "kept too\n");
    ASSERT_EQ(run(dir, m, p, {"2", "sweep.lce"}).status, 0);
    EXPECT_EQ(dir.read("out.lce"), "kept\n");
    EXPECT_EQ(dir.read("sweep.lce"), "kept too\n");

    p.end = 1.5;  // below the start value a = 2
    ASSERT_EQ(run(dir, m, p, {"3", "sweep.lce"}).status, 0);
    EXPECT_EQ(dir.read("sweep.lce"), "kept too\n");
    ASSERT_EQ(run(dir, m, p, {"4", "absent.lce"}).status, 0);
    EXPECT_FALSE(dir.exists("absent.lce"));
}

TEST(RunLyapunov, RefusedInputsEndWithAMessageAndStatusOne) {
    Workdir dir;
    ModelSetup m;
    LceFile p;
    batchtest::Result r = run(dir, m, p, {"1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "usage: run_lyapunov mode file\n");

    LceFile too_many = p;
    too_many.count = 4;
    r = run(dir, m, too_many, {"1", "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("param.lce: the number of exponents (value 5)"), std::string::npos);

    LceFile no_parameter = p;
    no_parameter.parameter = 5;
    r = run(dir, m, no_parameter, {"1", "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("parameter index"), std::string::npos);

    r = run(dir, m, p, {"3", "no/such/dir/sweep.lce"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "run_lyapunov: no/such/dir/sweep.lce: No such file or directory\n");

    mkdir(dir.file("out.lce").c_str(), 0755);  // a directory cannot be opened for writing
    r = run(dir, m, p, {"1", "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "run_lyapunov: out.lce: Is a directory\n");
    rmdir(dir.file("out.lce").c_str());
}

// Settings with which a sweep cannot end or cannot write anything, refused before the work.
TEST(RunLyapunov, SweepsThatCannotGiveAResultAreRefused) {
    struct Case {
        const char *mode;
        double end, increment;
        const char *says;
    } cases[] = {
        {"abc", 2.5, 0.125, "mode: must be a whole number, not 'abc'"},  // once a single run
        {"100", NAN, 0.125, "last value of the sweep (value 7) must be finite"},
        {"3", INFINITY, 0.125, "last value of the sweep (value 7) must be finite"},
        {"100", 2.5, 0, "increment (value 8) must be positive"},
        {"3", 2.5, 1e-17, "too small to move 2.5 on"},  // lost in the rounding of a
    };
    for (const Case &c : cases) {
        Workdir dir;
        const batchtest::Earlier earlier(dir, {"out.lce", "sweep.lce"});
        LceFile p;
        p.end = c.end;
        p.increment = c.increment;
        const auto r = run(dir, ModelSetup{}, p, {c.mode, "sweep.lce"});
        EXPECT_EQ(r.status, 1) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_TRUE(batchtest::one_line_from("run_lyapunov", r.err)) << r.err;
        EXPECT_EQ(earlier.changed(), "") << c.says;
    }
}

// TXLyapCalc runs long in one call: its progress shows through the right-hand side.
TEST(RunLyapunov, ALongComputationReportsItsProgress) {
    Workdir dir;
    LceFile p;
    p.steps = 400;
    dir.write("system.st", batchtest::state_file(ModelSetup{}));
    dir.write("param.lce", lce_file(p));
    const auto r = dir.run(kExe, {"1", "x"}, {"TX_PROGRESS_INTERVAL=0.001"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.rfind("run_lyapunov: 0.0 s: a = 2, t = ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(" of 202\n"), std::string::npos) << r.err;  // (4 + 400) intervals of 0.5
}

TEST(RunLyapunov, LibraryFailureEndsWithTheReport) {
    Workdir dir;
    const batchtest::Earlier earlier(dir, {"out.lce"});
    ModelSetup m;
    m.y[0] = std::nan("");  // no step is ever accepted
    const batchtest::Result r = run(dir, m, LceFile{}, {"1", "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Step size too small"), std::string::npos);
    EXPECT_EQ(earlier.changed(), "");  // once emptied and left so
}

}  // namespace
