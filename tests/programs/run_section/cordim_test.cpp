// The correlation-dimension step: reading, rescaling, the radius ladder and the table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "cordim.hpp"

namespace {

// ctest runs the cases of this file in parallel processes: each gets its own files.
std::string temp_path(const char *stem) {
    return testing::TempDir() + stem + "_" +
           testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
}

std::string write_points(const std::string &text) {
    const std::string path = temp_path("cordim_points");
    std::FILE *f = std::fopen(path.c_str(), "w");
    std::fputs(text.c_str(), f);
    std::fclose(f);
    return path;
}

// n points on the diagonal: after rescaling, point i lies at i / (n - 1) in every coordinate.
std::string diagonal(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) {
        const std::string c = std::to_string(2.0 + i);
        text += c + " " + std::to_string(-1.0 * i) + " " + c + "\n";
    }
    return text;
}

// points, spacing, largest radius, smallest radius, ratio
using Settings = txprog::LadderSettings;

TEST(Cordim, LadderRunsFromTheLargestRadiusWhileAboveTheSmallest) {
    const std::string path = write_points(diagonal(10));
    EXPECT_EQ(txprog::cordim(path.c_str(), Settings{10, 1, 1.0, 0.1, 0.5}).sums.size(), 4u);
    EXPECT_EQ(txprog::cordim(path.c_str(), Settings{10, 1, 1.0, 0.125, 0.5}).sums.size(), 3u);
    const txprog::Ladder none = txprog::cordim(path.c_str(), Settings{10, 1, 0.1, 0.1, 0.5});
    EXPECT_TRUE(none.error.empty());
    EXPECT_TRUE(none.sums.empty());
}

TEST(Cordim, CountsReferencePairsWithinEachRadius) {
    // 11 diagonal points 0.1 apart along each axis, so sqrt(3) * 0.1 apart in space.
    const std::string path = write_points(diagonal(11) + "99 99 99\n");  // only 11 are read
    const double step = std::sqrt(3.0) * 0.1;
    // References 0, 5, 10.  Radius 3 covers every pair; 2.5 steps covers 3 + 5 + 3 points.
    const txprog::Ladder l = txprog::cordim(path.c_str(), Settings{11, 5, 3.0, 2.0 * step, 2.5 * step / 3.0});
    ASSERT_TRUE(l.error.empty()) << l.error;
    ASSERT_EQ(l.sums.size(), 2u);
    EXPECT_FLOAT_EQ(l.sums[0], static_cast<float>(std::log(static_cast<float>(33) / 121.0f)));
    EXPECT_FLOAT_EQ(l.sums[1], static_cast<float>(std::log(static_cast<float>(11) / 121.0f)));
}

TEST(Cordim, RefusesInputItCannotUse) {
    EXPECT_NE(txprog::cordim("/nonexistent/pnc_tmp.out", Settings{3, 1, 1, 0.1, 0.5}).error.find(
                  "/nonexistent/pnc_tmp.out: No such file or directory"),
              std::string::npos);
    const std::string few = write_points(diagonal(4));
    EXPECT_NE(txprog::cordim(few.c_str(), Settings{5, 1, 1, 0.1, 0.5}).error.find("fewer than 5"),
              std::string::npos);
    const std::string flat = write_points("1 2 3\n1 4 5\n1 6 7\n");
    const txprog::Ladder l = txprog::cordim(flat.c_str(), Settings{3, 1, 1, 0.1, 0.5});
    EXPECT_NE(l.error.find("column 1 of"), std::string::npos);
    EXPECT_TRUE(l.sums.empty());
    EXPECT_FALSE(txprog::cordim(few.c_str(), Settings{0, 1, 1, 0.1, 0.5}).error.empty());
}

TEST(Cordim, TableHasOneLinePerRadiusButTheLastWithTheLocalSlope) {
    txprog::Ladder l;
    l.sums = {-0.5f, -1.25f, -2.0f};
    const std::string path = temp_path("cordim_table");
    std::FILE *f = std::fopen(path.c_str(), "w");
    ASSERT_TRUE(txprog::write_dimension_table(f, l, Settings{10, 1, 1.0, 0.1, 0.5}));
    std::fclose(f);
    f = std::fopen(path.c_str(), "r");
    char text[512] = {};
    const std::size_t n = std::fread(text, 1, sizeof text - 1, f);
    std::fclose(f);
    const float slope = static_cast<float>(0.75f / std::log(2.0));
    char expected[512];
    std::snprintf(expected, sizeof expected, " %2.15f %2.15f %2.15f \n %2.15f %2.15f %2.15f \n",
                  0.0, -0.5, slope, std::log(0.5), -1.25, slope);
    EXPECT_EQ(std::string(text, n), expected);
}

}  // namespace
