// run_nullclines end to end on the model with chosen parameters.  With x horizontal and v
// vertical, dv/dt = -x, so the nullcline of v is the line x = 0; with b = 0, A = 0 and the third
// variable w fixed, that of x is v = c x^3 - (a - w) x.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "../batch_run.hpp"
#include "../model_files.hpp"

namespace {

using batchtest::Workdir;

// w = 0 in the file becomes 1e-5; the forcing amplitude A = 0 keeps the forcing exactly out.
std::string state_file(double a, double c, const std::string &pph) {
    batchtest::ModelSetup m;
    m.y[0] = 0.3, m.y[1] = 0.2, m.y[2] = 0;
    m.a = a, m.b = 0, m.A = 0, m.c = c;
    return batchtest::state_file(m) + (pph.empty() ? "" : "&pph " + pph + "\n");
}

struct Point {
    double x, v;
};

std::vector<Point> points(const std::string &text) {
    std::vector<Point> out;
    std::istringstream in(text);
    for (Point p; in >> p.x >> p.v;) out.push_back(p);
    return out;
}

std::vector<std::pair<int, int>> pixels(const std::string &text) {
    std::vector<std::pair<int, int>> out;
    std::istringstream in(text);
    for (int px, py; in >> px >> py;) out.emplace_back(px, py);
    return out;
}

TEST(RunNullclines, ExactZerosAreWrittenOnceAndStartNoCrossing) {
    // x runs over -125 ... 124.75 in exact steps of 1/4, so every row meets x = 0 exactly.
    Workdir dir;
    dir.write("system.st", state_file(0, 0, "0 0 1  -125 125 0 250"));
    const auto r = dir.run(RUN_NULLCLINES, {"640", "480"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto v_null = points(dir.read("y_null.dat"));
    ASSERT_EQ(v_null.size(), 1000u);  // rows 0, 1/4, ... 249.75: one exact zero each
    for (std::size_t i = 0; i < v_null.size(); ++i) {
        EXPECT_EQ(v_null[i].x, 0.0);
        EXPECT_EQ(v_null[i].v, 0.25 * i);
    }
    // dx/dt = v - 1e-5 x vanishes inside the window only at the origin.
    EXPECT_EQ(dir.read("x_null.dat"), "0.000000 0.000000\n");
    EXPECT_EQ(r.out, "");  // no sign changes besides the exact zeros
}

TEST(RunNullclines, CrossingsLieOnTheNullclinesWithTheirPixelsOnStandardOutput) {
    Workdir dir;
    dir.write("system.st", state_file(1, 1, "0 0 1  -1.5 1 0 0.3"));
    const auto r = dir.run(RUN_NULLCLINES, {"99", "77"});
    ASSERT_EQ(r.status, 0) << r.err;

    // One point per row at x = 0 within rounding: the last point of a row (dv/dt < 0) never
    // pairs with the first point of the next (dv/dt > 0).
    const auto v_null = points(dir.read("y_null.dat"));
    ASSERT_GE(v_null.size(), 1000u);
    ASSERT_LE(v_null.size(), 1001u);
    for (std::size_t i = 0; i < v_null.size(); ++i) {
        EXPECT_LE(std::fabs(v_null[i].x), 1e-6);
        if (i > 0) {
            EXPECT_GT(v_null[i].v, v_null[i - 1].v);
        }
    }
    const auto x_null = points(dir.read("x_null.dat"));
    ASSERT_GE(x_null.size(), 2 * v_null.size() - 2);  // the branches near -1 and near 0
    for (const Point &p : x_null) {
        const double w = 9.99999974737875e-06;
        EXPECT_NEAR(p.x * p.x * p.x - (1 - w) * p.x, p.v, 2e-5) << p.x << " " << p.v;
    }

    // Every interpolated point as a pixel pair; the horizontal variable's shifted left by 2 W.
    const auto px = pixels(r.out);
    ASSERT_EQ(px.size(), x_null.size() + v_null.size());
    int v_pairs = 0, last_py = 77;
    for (const auto &[x, y] : px) {
        EXPECT_LE(y, last_py);  // rows go up the canvas
        last_py = y;
        if (x >= 0) {
            EXPECT_EQ(x, 59) << "x = 0 is 0.6 of the way across 99 pixels";
            ++v_pairs;
        } else {
            EXPECT_GE(x + 2 * 99, 0);
            EXPECT_LT(x + 2 * 99, 99);
        }
    }
    EXPECT_EQ(v_pairs, static_cast<int>(v_null.size()));
    EXPECT_NE(r.out.find("59 77  "), std::string::npos);  // the bottom row: py = height
    EXPECT_EQ(r.out.find('\n'), std::string::npos);      // all on one line
}

TEST(RunNullclines, RefusesBadArgumentsAndWindows) {
    struct Case {
        const char *what;
        std::vector<std::string> args;
        const char *pph, *message;
    } cases[] = {
        {"no arguments", {}, "0 0 1 -1 1 -1 1", "usage: run_nullclines WIDTH HEIGHT"},
        {"one argument", {"640"}, "0 0 1 -1 1 -1 1", "usage:"},
        {"not a number", {"640", "tall"}, "0 0 1 -1 1 -1 1", "WIDTH and HEIGHT must be whole"},
        {"zero width", {"0", "480"}, "0 0 1 -1 1 -1 1", "WIDTH and HEIGHT must be whole"},
        {"same variable twice", {"640", "480"}, "0 1 1 -1 1 -1 1", "two different variables"},
        {"variable out of range", {"640", "480"}, "0 0 3 -1 1 -1 1", "two different variables"},
        {"no window record", {"640", "480"}, "", "two different variables"},
        {"inverted window", {"640", "480"}, "0 0 1 1 -1 -1 1", "xmin < xmax and ymin < ymax"},
        {"empty window", {"640", "480"}, "0 0 1 -1 1 2 2", "xmin < xmax and ymin < ymax"},
    };
    for (const Case &c : cases) {
        Workdir dir;
        const batchtest::Earlier earlier(dir, {"x_null.dat", "y_null.dat"});
        dir.write("system.st", state_file(1, 1, c.pph));
        const auto r = dir.run(RUN_NULLCLINES, c.args);
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_TRUE(batchtest::one_line_from("run_nullclines", r.err)) << r.err;
        EXPECT_EQ(r.out, "") << c.what;
        EXPECT_EQ(earlier.changed(), "") << c.what;
    }
}

// Both tables were once emptied before "system.st" was even opened.
TEST(RunNullclines, AMissingStateFileLeavesTheTablesAsTheyWere) {
    Workdir dir;
    const batchtest::Earlier earlier(dir, {"x_null.dat", "y_null.dat"});
    const auto r = dir.run(RUN_NULLCLINES, {"640", "480"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "ERROR: could not open datafile..");
    EXPECT_EQ(r.err, "run_nullclines: system.st: No such file or directory\n");
    EXPECT_EQ(earlier.changed(), "");
}

// Pixel pairs that cannot be written were once lost with exit status 0.
TEST(RunNullclines, AFullStandardOutputIsAFailure) {
    Workdir dir;
    const batchtest::Earlier earlier(dir, {"x_null.dat", "y_null.dat"});
    dir.write("system.st", state_file(1, 1, "0 0 1  -1.5 1 0 0.3"));
    const std::string command = "cd '" + dir.path() + "' && " + RUN_NULLCLINES +
                                " 99 77 > /dev/full 2> err.txt";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(dir.read("err.txt"), "run_nullclines: standard output: No space left on device\n");
    EXPECT_EQ(earlier.changed(), "");
}

}  // namespace
