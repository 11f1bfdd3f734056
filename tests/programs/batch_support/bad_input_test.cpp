// Every program against every class of bad input, starting from its shipped example in a
// directory that holds the outputs of an earlier run: the status, one line on standard error
// naming what is wrong, and the earlier outputs byte for byte.  docs/robustness.md tabulates
// what this test sees.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "../batch_run.hpp"

namespace {

using batchtest::Earlier;
using batchtest::Result;
using batchtest::Workdir;

struct Program {
    const char *name;
    const char *exe;
    const char *example;               // directory under examples/
    std::vector<std::string> args;     // the output name, where there is one, comes last
    std::string input;                 // the input that goes missing or turns to garbage
    std::string count;                 // a count in that input: its key, or "#arg0" / "#line2"
    std::vector<std::string> outputs;  // what a failed run must leave as it was
};

const std::vector<Program> &programs() {
    static const std::vector<Program> all = {
        {"run_section", RUN_SECTION, "bvp", {"section.dat"}, "param.pnc", "points",
         {"section.dat", "pnc_tmp.out", "dimout.dat"}},
        {"run_spikes", RUN_SPIKES, "bvp", {"isi.dat"}, "param.isi", "bins", {"isi.dat"}},
        {"run_lyapunov", RUN_LYAPUNOV, "lyapunov", {"100", "sweep.lce"}, "param.lce",
         "lyap_steps", {"sweep.lce", "out.lce"}},
        {"run_sweep", RUN_SWEEP, "sweep", {"0", "-17", "2", "rates.dat"}, "param.udf", "end",
         {"rates.dat"}},
        // out.slc names the stage a failed run stopped in: not among the kept outputs
        {"run_cycle", RUN_CYCLE, "cycle", {}, "param.slc", "slc_max_steps",
         {"debug.txt", "multy.slc"}},
        {"run_nullclines", RUN_NULLCLINES, "nullclines", {"640", "480"}, "system.st", "#arg0",
         {"x_null.dat", "y_null.dat"}},
        {"run_cordim", RUN_CORDIM, "cordim", {}, "pts.dat", "#line2", {"dimout.dat"}},
    };
    return all;
}

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The example's inputs in dir, with a small point set for run_cordim, and a viewer stand-in
// that records its arguments.
void lay_out(const Workdir &dir, const Program &p) {
    for (const char *f : {"system.st", "param.pnc", "param.isi", "param.lce", "param.udf",
                          "param.slc"}) {
        const std::string text = slurp(std::string(EXAMPLES_DIR) + "/" + p.example + "/" + f);
        if (!text.empty()) dir.write(f, text);
    }
    if (std::string(p.name) == "run_cordim") {
        dir.write("par.dat", "pts.dat\n300\n2\n1.0\n0.01\n");
        std::string pts;
        double x = 0.1, y = 0.1;
        for (int i = 0; i < 300; ++i) {
            const double xn = 1 - 1.4 * x * x + y;
            y = 0.3 * x;
            x = xn;
            pts += std::to_string(x) + " " + std::to_string(y) + "\n";
        }
        dir.write("pts.dat", pts);
    }
    dir.write("bv_viewer.tcl", "#!/bin/sh\nfor a; do printf '[%s]' \"$a\"; done > viewer.args\n",
              true);
}

// Replaces the value of key in a name-value file (the first word after it), or line n.
void set_value(const Workdir &dir, const std::string &file, const std::string &key,
               const std::string &value) {
    std::istringstream in(dir.read(file));
    std::string out, line;
    for (int n = 1; std::getline(in, line); ++n) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (key == "#line" + std::to_string(n))
            line = value;
        else if (first == key)
            line = key + " " + value;
        out += line + "\n";
    }
    dir.write(file, out);
}

struct Outcome {
    Result r;
    std::string changed;  // the first earlier output that changed, "" when none did
};

// Runs p on its example after change(dir, args) with the earlier outputs planted.
template <class Change>
Outcome run_changed(const Program &p, Change &&change) {
    Workdir dir;
    lay_out(dir, p);
    std::vector<std::string> args = p.args;
    change(dir, args);
    const Earlier earlier(dir, p.outputs);
    Outcome run{dir.run(p.exe, args), ""};
    run.changed = earlier.changed();
    return run;
}

// The failure every class must end in: status 1, one line naming the program and what, and
// every earlier output as it was.
void expect_refused(const Program &p, const Outcome &run, const std::string &says) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ(run.r.status, 1) << run.r.err;
    EXPECT_TRUE(batchtest::one_line_from(p.name, run.r.err)) << run.r.err;
    EXPECT_NE(run.r.err.find(says), std::string::npos) << run.r.err;
    EXPECT_EQ(run.changed, "");
}

TEST(BadInput, MissingInput) {
    for (const Program &p : programs()) {
        const Outcome run = run_changed(p, [&](const Workdir &dir, auto &) {
            std::remove(dir.file(p.input).c_str());
        });
        expect_refused(p, run, p.input + ": ");
        EXPECT_NE(run.r.err.find("No such file or directory"), std::string::npos);
    }
}

TEST(BadInput, EmptyAndTruncatedStateFiles) {
    for (const Program &p : programs()) {
        const bool cordim = std::string(p.name) == "run_cordim";
        const Outcome empty = run_changed(p, [&](const Workdir &dir, auto &) {
            dir.write(cordim ? "par.dat" : "system.st", "");
        });
        expect_refused(p, empty, cordim ? "par.dat: holds no point-file name"
                                         : "system.st: missing &var 1, &var 2, &var 3, &par 1");
        // cut short in the middle of the parameters (the point file in the middle of a point)
        const Outcome cut = run_changed(p, [&](const Workdir &dir, auto &) {
            const std::string name = cordim ? "pts.dat" : "system.st";
            const std::string text = dir.read(name);
            dir.write(name, text.substr(0, cordim ? text.size() / 2 : text.find("&par A")));
        });
        expect_refused(p, cut, cordim ? "pts.dat: holds only" : "missing &par 3, &par 4, &par 5");
    }
}

TEST(BadInput, BinaryGarbage) {
    std::mt19937 rng(20261208);
    std::string garbage(4096, '\0');
    for (char &c : garbage) c = static_cast<char>(rng());
    for (const Program &p : programs()) {
        const Outcome run = run_changed(p, [&](const Workdir &dir, auto &) {
            dir.write(p.input, garbage);
        });
        SCOPED_TRACE(p.name);
        EXPECT_EQ(run.r.status, 1);
        EXPECT_EQ(run.changed, "");
        // no byte of the file reaches the terminal raw
        for (char c : run.r.err) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20);
        if (std::string(p.name) == "run_cycle") {
            // unknown keys are named, a few of them; then the missing setting
            EXPECT_LE(std::count(run.r.err.begin(), run.r.err.end(), '\n'), 11);
            EXPECT_NE(run.r.err.find("slc_periodicity must be at least 1"), std::string::npos);
        } else {
            EXPECT_TRUE(batchtest::one_line_from(p.name, run.r.err)) << run.r.err;
            EXPECT_NE(run.r.err.find(p.input + ": "), std::string::npos) << run.r.err;
        }
    }
}

// A count that is not a number, infinite, huge or negative.  The two negative ones that run are
// stated behaviour: run_sweep's end below its start is an empty sweep, and run_cycle's negative
// pass limit fails the adjustment at its first pass (out.slc says so).
TEST(BadInput, NonFiniteHugeAndNegativeCounts) {
    for (const Program &p : programs()) {
        for (const std::string value : {"nan", "inf", "1e30", "-5"}) {
            const Outcome run = run_changed(p, [&](const Workdir &dir, std::vector<std::string> &args) {
                if (p.count == "#arg0")
                    args[0] = value;
                else
                    set_value(dir, p.count == "#line2" ? "par.dat" : p.input, p.count, value);
            });
            SCOPED_TRACE(value);
            if (std::string(p.name) == "run_sweep" && value == "-5") {
                EXPECT_EQ(run.r.status, 0);
                EXPECT_EQ(run.r.err, "");
                continue;
            }
            const std::string names = p.count == "#arg0"   ? "WIDTH and HEIGHT"
                                      : p.count == "#line2" ? "par.dat: "
                                                            : p.input + ": ";
            expect_refused(p, run, names);
        }
    }
}

TEST(BadInput, UnwritableOutput) {
    for (const Program &p : programs()) {
        const std::string out = p.outputs.front();
        Workdir dir;
        lay_out(dir, p);
        mkdir(dir.file(out).c_str(), 0755);  // a directory where the table goes
        const Earlier earlier(dir, {p.outputs.begin() + 1, p.outputs.end()});
        const Result r = dir.run(p.exe, p.args);
        rmdir(dir.file(out).c_str());
        SCOPED_TRACE(p.name);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(out + ": Is a directory"), std::string::npos) << r.err;
        EXPECT_TRUE(batchtest::one_line_from(p.name, r.err)) << r.err;
        EXPECT_EQ(earlier.changed(), "");
    }
}

// A name made to break a shell command reaches the file system and the viewer as itself.
TEST(BadInput, HostileFileNames) {
    const std::string hostile = "a b;touch PWNED;'q\"$(touch PWNED)`touch PWNED`\nz";
    const std::map<std::string, std::vector<std::pair<std::string, std::string>>> shorter = {
        {"run_section", {{"points", "20"}, {"dimension_on", "0"}}},
        {"run_spikes", {{"intervals", "20"}}},
        {"run_lyapunov", {{"lyap_steps", "20"}, {"sweep_end", "0.6"}}},
        {"run_sweep", {{"end", "0.5"}}}};
    for (const Program &p : programs()) {
        if (!shorter.count(p.name)) continue;  // no file name from the user
        Workdir dir;
        lay_out(dir, p);
        for (const auto &[key, value] : shorter.at(p.name)) set_value(dir, p.input, key, value);
        std::vector<std::string> args = p.args;
        args.back() = hostile;
        const Result r = dir.run(p.exe, args);
        SCOPED_TRACE(p.name);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_FALSE(dir.exists("PWNED"));
        EXPECT_FALSE(dir.read(hostile).empty());
        if (std::string(p.name) == "run_section") {
            // its viewer runs in the background
            for (int i = 0; i < 200 && dir.read("viewer.args").empty(); ++i) usleep(10000);
        }
        if (std::string(p.name) == "run_spikes" || std::string(p.name) == "run_section") {
            EXPECT_EQ(dir.read("viewer.args").substr(0, hostile.size() + 2), "[" + hostile + "]");
        }
    }
}

}  // namespace
