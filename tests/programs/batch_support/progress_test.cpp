// Progress lines: when they come and what they say.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "../../model/files.hpp"
#include "progress.hpp"

namespace {

// Polls for the given time with the interval from the environment, in a child process whose
// standard error is returned.
std::string lines_within(double seconds, const char *interval) {
    return txtest::run_child([&] {
               if (interval) ::setenv("TX_PROGRESS_INTERVAL", interval, 1);
               txprog::Progress progress("test", [] { return std::string("7 of 9 done"); });
               const auto end = std::chrono::steady_clock::now() +
                                std::chrono::duration<double>(seconds);
               while (std::chrono::steady_clock::now() < end) progress.poll();
           })
        .err;
}

TEST(Progress, ALongRunSaysHowFarItHasComeAtGrowingGaps) {
    const std::string err = lines_within(0.2, "0.005");
    EXPECT_EQ(err.rfind("test: 0.0 s: 7 of 9 done\n", 0), 0u) << err;
    // At the earliest after 5, 10, 20, 40, 70, 100, 130, 160 and 190 ms: the gaps double up to
    // six intervals.
    int lines = 0;
    for (char c : err) lines += c == '\n';
    EXPECT_GE(lines, 1);
    EXPECT_LE(lines, 9);
    EXPECT_EQ(lines_within(0.05, nullptr), "");  // 10 s by default
    EXPECT_EQ(lines_within(0.05, "soon"), "");   // not a number: the default
}

}  // namespace
