// Progress lines on standard error for long runs.
#include "progress.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace txprog {

namespace {

constexpr double kDefaultInterval = 10.0;
constexpr long kMaxStride = 1L << 14;
constexpr int kMaxGapIntervals = 6;

}  // namespace

double progress_interval() {
    const char *text = std::getenv("TX_PROGRESS_INTERVAL");
    if (!text) return kDefaultInterval;
    char *end = nullptr;
    const double seconds = std::strtod(text, &end);
    const bool usable = end != text && *end == '\0' && seconds > 0 && seconds < 1e9;
    return usable ? seconds : kDefaultInterval;
}

Progress::Progress(const char *program, std::function<std::string()> describe)
    : program_(program), describe_(std::move(describe)), start_(Clock::now()) {
    interval_ = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(progress_interval()));
    gap_ = interval_;
    last_check_ = start_;
    next_line_ = start_ + interval_;
}

void Progress::check() {
    const Clock::time_point now = Clock::now();
    const Clock::duration since = now - last_check_;
    last_check_ = now;
    if (since < std::chrono::milliseconds(1) && stride_ < kMaxStride)
        stride_ *= 2;
    else if (since > std::chrono::milliseconds(10) && stride_ > 1)
        stride_ /= 2;
    countdown_ = stride_;
    if (now < next_line_) return;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    std::fprintf(stderr, elapsed < 100 ? "%s: %.1f s: %s\n" : "%s: %.0f s: %s\n", program_,
                 elapsed, describe_().c_str());
    next_line_ = now + gap_;
    gap_ = std::min(2 * gap_, kMaxGapIntervals * interval_);
}

}  // namespace txprog
