// run_spikes end to end: the table against crossing times found here, the inputs it refuses,
// and the viewer's command line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "../batch_run.hpp"
#include "../model_files.hpp"
#include "tx.h"

namespace {

using batchtest::ModelSetup;
using batchtest::Workdir;
using Pairs = std::vector<std::pair<std::string, double>>;

const char *const kExe = RUN_SPIKES;

Pairs isi(double component, double upper, double lower, double shortest, double longest,
          double bins, double wanted) {
    return {{"variable", component}, {"upper", upper},   {"lower", lower},
            {"shortest", shortest},  {"longest", longest}, {"bins", bins},
            {"wanted", wanted},      {"spare1", 0},      {"spare2", 0}};
}

batchtest::Result run(const Workdir &dir, const ModelSetup &m, const Pairs &settings,
                      const std::string &outfile = "isi.dat") {
    dir.write("system.st", batchtest::state_file(m));
    dir.write("param.isi", batchtest::pairs_file(settings));
    return dir.run(kExe, {outfile});
}

double g_level = 0.0;
double above_level(double, double *y) { return y[0] - g_level; }

// The model settled on its cycle (rounded as the program reads it), and the times at which
// x rises through `level` from there on.
struct Cycle {
    ModelSetup setup;
    std::vector<double> rises;
};

Cycle settle_and_time(double level, int rises) {
    Cycle c;
    batchtest::g_reference = c.setup;
    Traxis tx = TXOpenTraxis(batchtest::reference_model, 3, 1e-11, 0.001);
    double t = 0.0, y[3] = {0.1, 0.1, 0.1};
    TXIntegrate(tx, &t, 300.0, y);
    g_level = level;
    TXSetCut(tx, above_level, 1e-10);
    // Start half a cycle after a rise, so that the first spike comes after half a period.
    std::vector<double> found;
    while (found.size() < 3) {
        if (TXPoincareStep(tx, &t, y) == 1 && y[0] > level) found.push_back(t);
    }
    TXIntegrate(tx, &t, t + 0.5 * (found[2] - found[1]), y);
    for (int i = 0; i < 3; ++i) c.setup.y[i] = static_cast<float>(y[i]);
    double s = 0.0, z[3] = {c.setup.y[0], c.setup.y[1], c.setup.y[2]};
    TXCloseTraxis(tx);
    tx = TXOpenTraxis(batchtest::reference_model, 3, 1e-11, 0.001);
    TXSetCut(tx, above_level, 1e-10);
    while (static_cast<int>(c.rises.size()) < rises)
        if (TXPoincareStep(tx, &s, z) == 1 && z[0] > level) c.rises.push_back(s);
    TXCloseTraxis(tx);
    return c;
}

struct Table {
    std::vector<std::string> header;
    double mean_isi = 0, rate = 0;
    std::vector<double> centre, frequency;
};

Table parse(const std::string &text, int bins) {
    Table t;
    const std::vector<std::string> l = batchtest::lines(text);
    EXPECT_EQ(l.size(), 16u + bins);
    if (l.size() != 16u + static_cast<std::size_t>(bins)) return t;
    t.header.assign(l.begin(), l.begin() + 14);
    std::sscanf(l[14].c_str(), "# Mean ISI= %lf", &t.mean_isi);
    std::sscanf(l[15].c_str(), "# Mean firing rate= %lf", &t.rate);
    for (int i = 0; i < bins; ++i) {
        double c, f;
        EXPECT_EQ(std::sscanf(l[16 + i].c_str(), " %lf %lf", &c, &f), 2);
        t.centre.push_back(c);
        t.frequency.push_back(f);
    }
    return t;
}

TEST(RunSpikes, EveryIntervalOnAStableCycleIsThePeriod) {
    const int wanted = 12;
    const Cycle cycle = settle_and_time(1.0, wanted + 1);
    const double period = (cycle.rises.back() - cycle.rises.front()) / wanted;
    for (std::size_t i = 1; i < cycle.rises.size(); ++i)
        ASSERT_NEAR(cycle.rises[i] - cycle.rises[i - 1], period, 1e-6);
    ASSERT_GT(cycle.rises.front(), 0.3 * period);  // the interval from time 0 is out of range

    // Bins 0.002 wide with the period in the middle one.
    Workdir dir;
    const double width = 0.002;
    const auto r = run(dir, cycle.setup,
                       isi(0, 1.0, 0.0, period - 5.5 * width, period + 5.5 * width, 11, wanted));
    ASSERT_EQ(r.status, 0) << r.err;
    const Table t = parse(dir.read("isi.dat"), 11);
    ASSERT_EQ(t.frequency.size(), 11u);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(t.frequency[i], i == 5 ? 1.0 : 0.0) << "bin " << i;
    EXPECT_NEAR(t.centre[5], period, 1e-5);
    // The span begins at the sample step that saw the first spike.
    const double span = cycle.rises.back() - cycle.rises.front();
    const double dt = cycle.setup.dt;
    EXPECT_LE(t.mean_isi, span / wanted + 1e-5);
    EXPECT_GE(t.mean_isi, (span - dt) / wanted - 1e-5);
    EXPECT_NEAR(t.rate, 1 / t.mean_isi, 1e-5);
    EXPECT_EQ(t.header[9], "# a =2.000000 ");
    EXPECT_EQ(t.header[1], "# upper=1.000000 ");
}

TEST(RunSpikes, ObservedVariableIsRounded) {
    const Cycle cycle = settle_and_time(1.0, 1);
    auto table_for = [&](double component) {
        Workdir dir;
        const auto r = run(dir, cycle.setup, isi(component, 0.6, 0.45, 0.0, 20.0, 200, 1));
        EXPECT_EQ(r.status, 0) << r.err;
        std::string text = dir.read("isi.dat");
        return text.substr(text.find('\n'));  // without the echoed component
    };
    const std::string w = table_for(2);
    EXPECT_EQ(table_for(1.6), w);
    EXPECT_NE(table_for(1), w);
}

TEST(RunSpikes, NoIntervalsWantedWritesHeaderAndEmptyBins) {
    Workdir dir;
    const auto r = run(dir, ModelSetup{}, isi(0, 1.0, 0.0, 4.0, 8.0, 4, 0));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 24), "variable  =  0.000000\nup");
    const std::vector<std::string> l = batchtest::lines(dir.read("isi.dat"));
    ASSERT_EQ(l.size(), 20u);
    EXPECT_NE(l[14].find("nan"), std::string::npos);
    EXPECT_EQ(l[16].substr(0, 10), " 4.500000 ");
    EXPECT_EQ(l[19].substr(0, 10), " 7.500000 ");
}

TEST(RunSpikes, ViewerGetsTheOutputNameAsOneArgument) {
    Workdir dir;
    dir.write("bv_viewer.tcl", "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" \"$2\" > viewer_args\n", true);
    const std::string name = "my 'table'; touch hacked";
    const auto r = run(dir, ModelSetup{}, isi(0, 1.0, 0.0, 4.0, 8.0, 4, 0), name);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(dir.exists(name));
    EXPECT_EQ(dir.read("viewer_args"), "2\n" + name + "\ni\n");
    EXPECT_FALSE(dir.exists("hacked"));
}

TEST(RunSpikes, RefusesWhatItCannotRun) {
    const Pairs good = isi(0, 1.0, 0.0, 4.0, 8.0, 4, 1);
    {
        Workdir dir;
        const auto r = dir.run(kExe, {});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "usage: run_spikes outfile\n");
    }
    {
        Workdir dir;
        const batchtest::Earlier earlier(dir, {"out"});
        auto r = dir.run(kExe, {"out"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "ERROR: could not open datafile..");
        EXPECT_EQ(r.err, "run_spikes: system.st: No such file or directory\n");
        dir.write("system.st", batchtest::state_file(ModelSetup{}));
        r = dir.run(kExe, {"out"});
        EXPECT_EQ(r.out, "ERROR: could not open datafile..");
        EXPECT_EQ(r.err, "run_spikes: param.isi: No such file or directory\n");
        EXPECT_EQ(earlier.changed(), "");
    }
    {
        Workdir dir;
        const auto r = run(dir, ModelSetup{}, good, "no/such/dir/out");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out.substr(r.out.size() - 31), "ERROR: could not open outfile..");
        EXPECT_EQ(r.err, "run_spikes: no/such/dir/out: No such file or directory\n");
    }
    struct Case {
        ModelSetup m;
        Pairs settings;
        const char *says;
    };
    ModelSetup mode3, still;
    mode3.mode = 3;
    still.dt = 0.0;
    const std::vector<Case> cases = {
        {mode3, good, "run mode 3"},
        {still, good, "sample step"},
        {ModelSetup{}, isi(2.6, 1.0, 0.0, 4.0, 8.0, 4, 1), "observed variable"},
        {ModelSetup{}, isi(0, 1.0, 0.0, 4.0, 4.0, 4, 1), "histogram range"},
        // isi_max below isi_min once ran for 22 minutes of CPU and wrote nothing
        {ModelSetup{}, isi(0, 1.0, 0.0, 8.0, 4.0, 4, 1), "histogram range"},
        {ModelSetup{}, isi(0, 1.0, 0.0, 4.0, 8.0, 0.5, 1), "number of bins"},
        // more intervals than sample steps allowed could only end at the bound, hours later
        {ModelSetup{}, isi(0, 1.0, 0.0, 4.0, 8.0, 4, 1e30), "number of intervals"},
    };
    for (const Case &c : cases) {
        Workdir dir;
        const batchtest::Earlier earlier(dir, {"isi.dat"});
        const auto r = run(dir, c.m, c.settings);
        EXPECT_EQ(r.status, 1) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_TRUE(batchtest::one_line_from("run_spikes", r.err)) << r.err;
        EXPECT_EQ(earlier.changed(), "") << c.says;
    }
}

// A write error once made the program remove() the path it was given, device or link.
TEST(RunSpikes, AWriteErrorIsNamedAndTheOutputPathStays) {
    Workdir dir;
    ASSERT_EQ(symlink("/dev/full", dir.file("isi.dat").c_str()), 0);
    const auto r = run(dir, ModelSetup{}, isi(0, 1.0, 0.0, 4.0, 8.0, 4, 0));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "run_spikes: isi.dat: No space left on device\n");
    char target[32] = {};
    EXPECT_GT(readlink(dir.file("isi.dat").c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "/dev/full");
}

TEST(RunSpikes, ALongRunReportsItsProgress) {
    Workdir dir;
    dir.write("system.st", batchtest::state_file(ModelSetup{}));
    dir.write("param.isi", batchtest::pairs_file(isi(0, 1.0, 0.0, 4.0, 8.0, 4, 60)));
    const auto r = dir.run(kExe, {"isi.dat"}, {"TX_PROGRESS_INTERVAL=0.001"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.rfind("run_spikes: 0.0 s: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(" of 60 intervals, t = "), std::string::npos) << r.err;
}

TEST(RunSpikes, LibraryFailureEndsWithAReportAndStatusOne) {
    Workdir dir;
    ModelSetup explosive;
    explosive.c = -1.0;  // x grows without bound in finite time
    const auto r = run(dir, explosive, isi(0, 1e30, 0.0, 4.0, 8.0, 4, 5));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("'TXIntegrate'"), std::string::npos) << r.err;
}

TEST(RunSpikes, ADivergedStateStopsTheRunAndLeavesTheTableAsItWas) {
    Workdir dir;
    const batchtest::Earlier earlier(dir, {"isi.dat"});
    ModelSetup explosive;
    explosive.c = -1.0;
    explosive.mode = 0;  // Euler steps run into infinity instead of failing
    const auto r = run(dir, explosive, isi(0, 1e30, 0.0, 4.0, 8.0, 4, 5));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("diverged"), std::string::npos) << r.err;
    EXPECT_EQ(earlier.changed(), "");
}

}  // namespace
