// run_section end to end: the table against crossings found here, the crossing selection, the
// second section, the radius ladder, reproducibility, refusals and the viewer's command line.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "../batch_run.hpp"
#include "../model_files.hpp"
#include "tx.h"

namespace {

using batchtest::ModelSetup;
using batchtest::Workdir;
using Pairs = std::vector<std::pair<std::string, double>>;

const char *const kExe = RUN_SECTION;

struct Pnc {
    double column_x = 1, column_y = 2, eps = 1e-8, points = 5;
    double second_on = 0, second_var = 2, second_value = 0, second_width = 0.1;
    double dim_on = 0, r_min = 0.1, r_max = 1, selection = 1, ratio = 0.5, spacing = 0.25;

    Pairs pairs() const {
        return {{"col_x", column_x},       {"col_y", column_y},       {"cut_eps", eps},
                {"points", points},        {"second_on", second_on},  {"second_var", second_var},
                {"second_val", second_value}, {"second_width", second_width},
                {"dim_on", dim_on},        {"r_min", r_min},          {"r_max", r_max},
                {"selection", selection},  {"ratio", ratio},          {"spacing", spacing}};
    }
};

batchtest::Result run(const Workdir &dir, const ModelSetup &m, const Pnc &p,
                      const std::string &outfile = "section.dat") {
    dir.write("system.st", batchtest::state_file(m));
    dir.write("param.pnc", batchtest::pairs_file(p.pairs()));
    return dir.run(kExe, {outfile});
}

double first_component(double, double *y) { return y[0]; }

struct Crossing {
    double t;
    double y[3];
};

// The model settled on its cycle (rounded as the program reads it) and its next crossings of
// x = 0, found with a tighter integration than the program's.
struct Cycle {
    ModelSetup setup;
    std::vector<Crossing> crossings;
};

const Cycle &cycle() {
    static const Cycle c = [] {
        Cycle c;
        batchtest::g_reference = c.setup;
        Traxis tx = TXOpenTraxis(batchtest::reference_model, 3, 1e-11, 0.001);
        double t = 0.0, y[3] = {0.1, 0.1, 0.1};
        TXIntegrate(tx, &t, 300.3, y);
        TXCloseTraxis(tx);
        for (int i = 0; i < 3; ++i) c.setup.y[i] = static_cast<float>(y[i]);
        tx = TXOpenTraxis(batchtest::reference_model, 3, 1e-11, 0.001);
        TXSetCut(tx, first_component, 1e-10);
        Crossing k{0.0, {c.setup.y[0], c.setup.y[1], c.setup.y[2]}};
        while (c.crossings.size() < 12)
            if (TXPoincareStep(tx, &k.t, k.y) == 1) c.crossings.push_back(k);
        TXCloseTraxis(tx);
        return c;
    }();
    return c;
}

std::vector<double> times_in(const std::string &table) {
    std::vector<double> times;
    for (const std::string &line : batchtest::lines(table)) {
        double a, b, t;
        if (line[0] != '#' && std::sscanf(line.c_str(), " %lf %lf %lf", &a, &b, &t) == 3)
            times.push_back(t);
    }
    return times;
}

TEST(RunSection, HeaderLines) {
    Workdir dir;
    Pnc p;
    p.points = 0;
    const auto r = run(dir, cycle().setup, p);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string expected;
    char line[128];
    const Pairs pairs = p.pairs();
    for (int i = 0; i < 13; ++i) {
        std::snprintf(line, sizeof line, "# %s=%f \n", pairs[i].first.c_str(),
                      static_cast<double>(static_cast<float>(pairs[i].second)));
        expected += line;
    }
    expected += "# a =2.000000 \n# b =0.125000 \n# A =0.000000 \n# sigma =0.000000 \n"
                "# c =1.000000 \n#  x_title X_Poincare_var \n#  y_title y_Poincare_var \n";
    EXPECT_EQ(dir.read("section.dat"), expected);
    EXPECT_EQ(dir.read("pnc_tmp.out"), "");
    EXPECT_FALSE(dir.exists("dimout.dat"));
}

TEST(RunSection, SelectionTakesEveryOrEverySecondCrossing) {
    const std::vector<Crossing> &c = cycle().crossings;
    const std::vector<std::vector<int>> expected = {
        {3, 5, 7, 9, 11},  // selection 0: the first crossing dropped, then every second
        {2, 4, 6, 8, 10},  // selection 1
        {1, 2, 3, 4, 5},   // selection 2: every crossing
    };
    for (int selection = 0; selection < 3; ++selection) {
        Workdir dir;
        Pnc p;
        p.selection = selection;
        const auto r = run(dir, cycle().setup, p);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<double> times = times_in(dir.read("section.dat"));
        ASSERT_EQ(times.size(), 5u);
        for (int i = 0; i < 5; ++i)
            EXPECT_NEAR(times[i], c[expected[selection][i] - 1].t, 1e-4)
                << "selection " << selection << ", point " << i;
        // Point file: the two chosen components and the section variable.
        const std::vector<std::string> points = batchtest::lines(dir.read("pnc_tmp.out"));
        ASSERT_EQ(points.size(), 5u);
        const Crossing &k = c[expected[selection][4] - 1];
        double v, w, x;
        ASSERT_EQ(std::sscanf(points[4].c_str(), "%lf %lf %lf", &v, &w, &x), 3);
        EXPECT_NEAR(v, k.y[1], 1e-4);
        EXPECT_NEAR(w, k.y[2], 1e-4);
        EXPECT_LE(std::fabs(x), 1e-6);
    }
}

TEST(RunSection, SecondSectionRecordsOnlyNearbyCrossingsAndCountsEachConsidered) {
    const std::vector<Crossing> &c = cycle().crossings;
    ASSERT_GT(std::fabs(c[0].y[2] - c[1].y[2]), 0.02);
    Workdir dir;
    Pnc p;
    p.points = 3;
    p.selection = 2;
    p.second_on = 1;
    p.second_var = 2;
    p.second_value = c[0].y[2];
    p.second_width = 0.02;
    const auto r = run(dir, cycle().setup, p);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string messages = r.out.substr(r.out.find(" Diuble"));
    EXPECT_EQ(messages,
              " Diuble section: 0 points \n  Diuble section: 1 points \n  Diuble section: 1 points \n"
              "  Diuble section: 2 points \n  Diuble section: 2 points \n ");
    const std::vector<double> times = times_in(dir.read("section.dat"));
    ASSERT_EQ(times.size(), 3u);
    EXPECT_NEAR(times[0], c[0].t, 1e-4);
    EXPECT_NEAR(times[1], c[2].t, 1e-4);
    EXPECT_NEAR(times[2], c[4].t, 1e-4);
}

TEST(RunSection, RadiusLadderOverOnePointFewerThanRecorded) {
    Workdir dir;
    Pnc p;
    p.points = 21;
    p.selection = 2;
    p.dim_on = 1;
    p.r_max = 2;  // beyond sqrt(3): every pair of a reference point counts
    p.r_min = 0.2;
    p.ratio = 0.5;
    p.spacing = 0.25;  // 20 points read, every 5th a reference point
    p.eps = 1e-4;      // the section variable in the third column must vary in print
    const auto r = run(dir, cycle().setup, p);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> l = batchtest::lines(dir.read("dimout.dat"));
    ASSERT_EQ(l.size(), 3u);  // radii 2, 1, 0.5, 0.25; no slope after the last
    const double radii[] = {2, 1, 0.5};
    for (int i = 0; i < 3; ++i) {
        double ln_r, sum, slope;
        ASSERT_EQ(std::sscanf(l[i].c_str(), " %lf %lf %lf", &ln_r, &sum, &slope), 3);
        EXPECT_NEAR(ln_r, std::log(radii[i]), 1e-15);
    }
    char first[64];
    std::snprintf(first, sizeof first, " %2.15f %2.15f ", std::log(2.0),
                  static_cast<double>(static_cast<float>(std::log(static_cast<double>(80 / 400.0f)))));
    EXPECT_EQ(l[0].substr(0, std::string(first).size()), first);
}

TEST(RunSection, SameSeedGivesIdenticalFiles) {
    ModelSetup noisy = cycle().setup;
    noisy.sigma = 0.1;
    Pnc p;
    p.points = 30;
    p.eps = 0.01;  // coarser than x moves in one noise step
    p.selection = 2;
    p.dim_on = 1;
    p.r_min = 0.05;
    for (int mode : {0, 2}) {
        noisy.mode = mode;
        noisy.seed = 4711;
        Workdir one, two, other;
        const auto r = run(one, noisy, p);
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(run(two, noisy, p).status, 0);
        noisy.seed = 4712;
        ASSERT_EQ(run(other, noisy, p).status, 0);
        for (const char *file : {"section.dat", "pnc_tmp.out", "dimout.dat"}) {
            EXPECT_FALSE(one.read(file).empty()) << file;
            EXPECT_EQ(one.read(file), two.read(file)) << file << " in mode " << mode;
        }
        EXPECT_NE(one.read("section.dat"), other.read("section.dat")) << "mode " << mode;
    }
}

TEST(RunSection, ViewerGetsTheOutputNameAsOneArgument) {
    Workdir dir;
    dir.write("bv_viewer.tcl", "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" \"$2\" > viewer_args\n", true);
    const std::string name = "my 'points'; touch hacked";
    Pnc p;
    p.points = 1;
    const auto r = run(dir, cycle().setup, p, name);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(dir.exists(name));
    const std::string args = "2\n" + name + "\nd\n";
    for (int i = 0; i < 250 && dir.read("viewer_args") != args; ++i)
        usleep(20000);  // the viewer runs in the background
    EXPECT_EQ(dir.read("viewer_args"), args);
    EXPECT_FALSE(dir.exists("hacked"));
    EXPECT_NE(r.err.find("xmgrace"), std::string::npos);  // tried, not found, ignored
}

const std::vector<std::string> kTables = {"section.dat", "pnc_tmp.out", "dimout.dat"};

TEST(RunSection, RefusesWhatItCannotRun) {
    {
        Workdir dir;
        const auto r = dir.run(kExe, {});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "usage: run_section outfile\n");
        const auto s = dir.run(kExe, {"out"});
        EXPECT_EQ(s.status, 1);
        EXPECT_EQ(s.out, "ERROR: could not open datafile..");
        EXPECT_EQ(s.err, "run_section: system.st: No such file or directory\n");
    }
    struct Case {
        Pnc p;
        int mode;
        const char *says;
    };
    std::vector<Case> cases;
    auto add = [&](const char *says, auto change, int mode = 1) {
        Pnc p;
        change(p);
        cases.push_back({p, mode, says});
    };
    add("run mode 7", [](Pnc &) {}, 7);
    add("value 2 must be a component", [](Pnc &p) { p.column_y = 3; });
    add("second-section switch", [](Pnc &p) { p.second_on = -1; });
    add("number of points", [](Pnc &p) { p.points = 1e10; });
    add("width of the second section", [](Pnc &p) { p.second_on = 1; p.second_width = 0; });
    add("radius ratio", [](Pnc &p) { p.dim_on = 1; p.ratio = 1; });
    add("smallest radius", [](Pnc &p) { p.dim_on = 1; p.r_min = 0; });
    add("smallest radius", [](Pnc &p) { p.dim_on = 1; p.r_min = NAN; });
    add("largest radius", [](Pnc &p) { p.dim_on = 1; p.r_max = INFINITY; });
    // radii that once gave an empty dimout.dat and exit status 0
    add("must exceed the smallest", [](Pnc &p) { p.dim_on = 1; p.r_max = 0.1; });
    add("must exceed the smallest", [](Pnc &p) { p.dim_on = 1; p.r_max = 0.05; });
    add("rounds to 0", [](Pnc &p) { p.dim_on = 1; p.spacing = 0.01; p.selection = 2; });
    add("at least two", [](Pnc &p) { p.dim_on = 1; p.points = 1; });
    // Located within 1e-8, the section variable prints as 0.000000 every time.
    add("column 3 of pnc_tmp.out, prints as 0", [](Pnc &p) { p.dim_on = 1; p.selection = 2; });
    add("section tolerance (value 3) must be positive", [](Pnc &p) { p.eps = 0; });
    for (const Case &c : cases) {
        Workdir dir;
        const batchtest::Earlier earlier(dir, kTables);
        ModelSetup m = cycle().setup;
        m.mode = c.mode;
        const auto r = run(dir, m, c.p);
        EXPECT_EQ(r.status, 1) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_TRUE(batchtest::one_line_from("run_section", r.err)) << r.err;
        EXPECT_EQ(earlier.changed(), "") << c.says;
    }
}

// Each of these once emptied or removed tables of an earlier run before it failed.
TEST(RunSection, AFailedRunLeavesEveryTableAsItWas) {
    struct Case {
        const char *what;
        std::function<void(const Workdir &)> set_up;
        const char *says;
    } cases[] = {
        {"empty state file", [](const Workdir &d) { d.write("system.st", ""); },
         "system.st: missing &var 1, &var 2, &var 3, &par 1, &par 2, &par 3, &par 4, &par 5"},
        {"point file in the way",
         [](const Workdir &d) {
             std::remove(d.file("pnc_tmp.out").c_str());
             mkdir(d.file("pnc_tmp.out").c_str(), 0755);
         },
         "pnc_tmp.out: Is a directory"},
        {"point file on a device, which cannot be read back",
         [](const Workdir &d) {
             std::remove(d.file("pnc_tmp.out").c_str());
             symlink("/dev/null", d.file("pnc_tmp.out").c_str());
         },
         "pnc_tmp.out: the correlation dimension reads it back"},
        {"outfile on a full device",
         [](const Workdir &d) {
             std::remove(d.file("section.dat").c_str());
             symlink("/dev/full", d.file("section.dat").c_str());
         },
         "section.dat: No space left on device"},
    };
    for (const Case &c : cases) {
        Workdir dir;
        const batchtest::Earlier earlier(dir, {"dimout.dat"});
        const batchtest::Earlier tables(dir, {"section.dat", "pnc_tmp.out"});
        Pnc p;
        p.dim_on = 1;
        p.eps = 1e-4;
        p.selection = 2;
        dir.write("system.st", batchtest::state_file(cycle().setup));
        dir.write("param.pnc", batchtest::pairs_file(p.pairs()));
        c.set_up(dir);
        const auto r = dir.run(kExe, {"section.dat"});
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_EQ(r.err.rfind(std::string("run_section: ") + c.says, 0), 0u) << r.err;
        EXPECT_TRUE(batchtest::one_line_from("run_section", r.err)) << r.err;
        EXPECT_EQ(earlier.changed(), "") << c.what;
        for (const char *name : {"section.dat", "pnc_tmp.out"}) {
            struct stat st {};
            const bool replaced = lstat(dir.file(name).c_str(), &st) != 0 ||
                                  (S_ISREG(st.st_mode) && dir.read(name).rfind("earlier", 0) != 0);
            EXPECT_FALSE(replaced) << c.what << ": " << name;
        }
        rmdir(dir.file("pnc_tmp.out").c_str());
    }
}

}  // namespace
