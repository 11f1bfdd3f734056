// run_cordim end to end: the table it writes and the input it refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "../batch_run.hpp"
#include "correlation.hpp"

namespace {

using batchtest::Workdir;

std::string par(const std::string &file, const std::string &n, const std::string &d,
                const std::string &largest, const std::string &smallest) {
    return file + " \n" + n + " \n" + d + " \n" + largest + " \n" + smallest + " \n";
}

// n points of d coordinates in [0, 1), written with %f as a user's file would hold them
std::string random_point_file(int n, int d, std::uint32_t seed) {
    std::mt19937 gen(seed);
    std::string text;
    char buf[32];
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < d; ++k) {
            std::snprintf(buf, sizeof buf, "%f ", (gen() >> 8) * 0x1p-24);
            text += buf;
        }
        text += "\n";
    }
    return text;
}

TEST(RunCordim, WritesTheStoredTableForASmallSquare) {
    // Reference point (0, 0): distances 0, 1, 1, sqrt 2 and sqrt 1/2 to the five points.
    Workdir dir;
    dir.write("par.dat", par("square.txt", "5", "2", "2", "0.3"));
    dir.write("square.txt", "0 0\n1 0\n0 1\n1 1\n0.5 0.5\n");
    const auto r = dir.run(RUN_CORDIM, {});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("dimout.dat"),
              " 0.693147180559945 -1.609437942504883 \n"     // ln 2, ln 5/25
              " 0.000000000000000 -1.832581520080566 \n"     // ln 1, ln 4/25
              " -0.693147180559945 -3.218875885009766 \n");  // ln 1/2, ln 1/25
    EXPECT_EQ(r.out, "");
}

TEST(RunCordim, RadiiHalveFromTheLargestAndTheWholeCubeHoldsEveryPair) {
    Workdir dir;
    dir.write("par.dat", par("points.txt", "250", "3", "1", "0.1"));
    dir.write("points.txt", random_point_file(250, 3, 1));
    ASSERT_EQ(dir.run(RUN_CORDIM, {}).status, 0);
    const auto table = batchtest::lines(dir.read("dimout.dat"));
    ASSERT_EQ(table.size(), 4u);  // radii 1, 1/2, 1/4, 1/8
    EXPECT_EQ(table[0].substr(0, 19), " 0.000000000000000 ");
    for (int i = 1; i < 4; ++i) {
        double ln_r;
        ASSERT_EQ(std::sscanf(table[i].c_str(), "%lf", &ln_r), 1);
        EXPECT_NEAR(ln_r, -i * std::log(2.0), 1e-14);
    }

    dir.write("par.dat", par("points.txt", "250", "3", "1.7320509", "1.7"));  // >= sqrt 3
    ASSERT_EQ(dir.run(RUN_CORDIM, {}).status, 0);
    char expected[64];
    std::snprintf(expected, sizeof expected, " %2.15f ",
                  static_cast<double>(static_cast<float>(std::log(3.0 / 250))));
    EXPECT_EQ(batchtest::lines(dir.read("dimout.dat"))[0].substr(18), expected);
}

TEST(RunCordim, ReadsOnlyTheFirstNPoints) {
    Workdir dir;
    const std::string points = random_point_file(300, 2, 2);
    dir.write("par.dat", par("exact.txt", "300", "2", "1", "0.01"));
    dir.write("exact.txt", points);
    ASSERT_EQ(dir.run(RUN_CORDIM, {}).status, 0);
    const std::string exact = dir.read("dimout.dat");

    dir.write("par.dat", par("longer.txt", "300", "2", "1", "0.01"));
    dir.write("longer.txt", points + random_point_file(50, 2, 3) + "trailing text\n");
    ASSERT_EQ(dir.run(RUN_CORDIM, {}).status, 0);
    EXPECT_EQ(dir.read("dimout.dat"), exact);
}

TEST(RunCordim, TableMatchesThePerRadiusCountByteForByte) {
    Workdir dir;
    const int n = 1500, d = 3;
    dir.write("par.dat", par("points.txt", "1500", "3", "1.2", "0.01"));
    dir.write("points.txt", random_point_file(n, d, 4));
    ASSERT_EQ(dir.run(RUN_CORDIM, {}).status, 0);

    // The same table from the plain definition, formatted here.
    correlation::PointSet p{n, d, std::vector<float>(n * d)};
    FILE *f = std::fopen(dir.file("points.txt").c_str(), "r");
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < d; ++k) ASSERT_EQ(std::fscanf(f, "%f", &p.coordinate(k)[i]), 1);
    std::fclose(f);
    ASSERT_EQ(correlation::rescale_to_unit(p), -1);
    const float largest = 1.2f;
    const int m = correlation::ladder_length(largest, 0.01f);
    std::vector<std::int64_t> counts(m);
    correlation::count_pairs_per_radius(p, largest, m, counts.data());
    std::string expected;
    float r = 2 * largest;
    for (int i = 0; i < m; ++i) {
        r /= 2;
        char line[96];
        std::snprintf(line, sizeof line, " %2.15f %2.15f \n", std::log(double{r}),
                      static_cast<double>(static_cast<float>(std::log(counts[i] / (1.0 * n * n)))));
        expected += line;
    }
    EXPECT_EQ(dir.read("dimout.dat"), expected);
}

struct Refusal {
    const char *what;
    std::string par_dat;     // empty: no "par.dat"
    std::string point_file;  // empty: no point file
    const char *message;     // expected on standard error
};

TEST(RunCordim, RefusesBadInputWithAMessageAndWritesNoTable) {
    const std::string two_points = "0 0\n1 2\n";
    const Refusal cases[] = {
        {"no settings file", "", two_points, "run_cordim: par.dat: cannot open"},
        {"no point file", par("p.txt", "2", "2", "1", "0.1"), "", "run_cordim: p.txt: cannot open"},
        {"missing setting", "p.txt\n2\n2\n1\n", two_points, "smallest radius is missing"},
        {"too few numbers", par("p.txt", "3", "2", "1", "0.1"), two_points, "holds only 4"},
        {"text among numbers", par("p.txt", "2", "2", "1", "0.1"), "0 0\n1 x\n", "holds only 3"},
        {"infinite number", par("p.txt", "2", "2", "1", "0.1"), "0 0\n1 inf\n",
         "number 4 is not finite"},
        {"flat coordinate", par("p.txt", "2", "2", "1", "0.1"), "0 5\n1 5\n",
         "coordinate 1 has the same value"},
        {"no points", par("p.txt", "0.5", "2", "1", "0.1"), two_points,
         "number of points must be at least 1"},
        {"huge count", par("p.txt", "1e12", "2", "1", "0.1"), two_points,
         "number of points must be at least 1"},
        {"no coordinates", par("p.txt", "2", "0", "1", "0.1"), two_points,
         "number of coordinates must be at least 1"},
        {"zero smallest radius", par("p.txt", "2", "2", "1", "0"), two_points,
         "smallest radius must be positive"},
        {"negative largest radius", par("p.txt", "2", "2", "-1", "-2"), two_points,
         "largest radius must be positive"},
        {"ladder too long", par("p.txt", "2", "2", "1", "1e-31"), two_points,
         "more than 100 radii"},
    };
    for (const Refusal &c : cases) {
        Workdir dir;
        const batchtest::Earlier earlier(dir, {"dimout.dat"});
        if (!c.par_dat.empty()) dir.write("par.dat", c.par_dat);
        if (!c.point_file.empty()) dir.write("p.txt", c.point_file);
        const auto r = dir.run(RUN_CORDIM, {});
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_TRUE(batchtest::one_line_from("run_cordim", r.err)) << r.err;
        EXPECT_EQ(earlier.changed(), "") << c.what;
    }
}

TEST(RunCordim, AHugePointCountWithAShortFileIsRefusedWithoutExhaustingMemory) {
    Workdir dir;
    dir.write("par.dat", par("p.txt", "2000000000", "1000", "1", "0.1"));
    dir.write("p.txt", "1 2 3\n");
    const auto r = dir.run(RUN_CORDIM, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("holds only 3 readable numbers"), std::string::npos) << r.err;
}

}  // namespace
