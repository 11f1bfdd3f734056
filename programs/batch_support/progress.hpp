// Progress lines on standard error, so that a run that will take hours says so.
//
// Once a run has worked for the progress interval (10 s, or the number of seconds in the
// environment variable TX_PROGRESS_INTERVAL), it writes "<program>: <elapsed> s: <state>" to
// standard error, and again each time the gap since the last line has doubled, at most six
// intervals apart: after 10, 20, 40, 80, 140, 200, ... s.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace txprog {

class Progress {
public:
    // describe() tells how far the run has come: "120 of 400 points, t = 5123.4".
    Progress(const char *program, std::function<std::string()> describe);

    // Cheap enough for every step: the clock is read only every so many calls, a number that
    // adapts so that it is read about once a millisecond.
    void poll() {
        if (--countdown_ <= 0) check();
    }

private:
    using Clock = std::chrono::steady_clock;
    void check();

    const char *program_;
    std::function<std::string()> describe_;
    Clock::time_point start_, last_check_, next_line_;
    Clock::duration interval_, gap_;
    long stride_ = 1;
    long countdown_ = 1;
};

// TX_PROGRESS_INTERVAL when it holds a positive number of seconds, else 10.
double progress_interval();

}  // namespace txprog
