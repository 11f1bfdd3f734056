// Randomized reader test: thousands of random and mutated state and process files go through
// the scanners in memory.  Under the sanitizers this checks that no input reads or writes out of
// bounds; the checks below add that every input ends the scan and that what is stored stays
// within its limits, and that well-formed files are read exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "detail/files.hpp"

namespace {

using tx::detail::ReadError;

std::FILE *memory_file(std::string &text) {
    // fmemopen refuses a zero size.
    if (text.empty()) text = " ";
    return fmemopen(text.data(), text.size(), "r");
}

class Fuzz {
public:
    explicit Fuzz(unsigned seed) : rng_(seed) {}

    int below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

    std::string word(int max_len) {
        static const char kChars[] = "abcxyz_&%-+.0123456789eEnaifINFx";
        std::string w(static_cast<std::size_t>(below(max_len + 1)), 'a');
        for (char &c : w) c = kChars[below(sizeof kChars - 1)];
        return w;
    }

    std::string number() {
        static const char *const kOdd[] = {"nan", "-inf", "1e40", "-1e-50", "0x1p3", "-",  "1e",
                                           "+.e", ".",    "010",  "0x",     "99999999999",
                                           "-0",  "1.5e+", "3.", "-.5"};
        if (below(4) == 0) return kOdd[below(sizeof kOdd / sizeof *kOdd)];
        return std::to_string(std::uniform_real_distribution<double>(-1e3, 1e3)(rng_));
    }

    std::string space() {
        static const char *const kSpace[] = {" ", "\n", "\t", "  \r\n", "\v", "\f"};
        return kSpace[below(6)];
    }

    // Records and stray words in random order, with fields that may be anything.
    std::string random_state() {
        static const char *const kKeys[] = {"&var", "&par", "&num", "&pph", "&msc", "&va", "&"};
        std::string s;
        const int records = below(40);
        for (int r = 0; r < records; ++r) {
            s += below(5) == 0 ? word(12) : kKeys[below(7)];
            const int fields = below(9);
            for (int f = 0; f < fields; ++f) {
                s += space();
                s += below(3) == 0 ? word(30) : number();
            }
            s += space();
        }
        return s;
    }

    std::string random_pairs() {
        std::string s;
        const int pairs = below(20);
        for (int p = 0; p < pairs; ++p) {
            s += below(8) == 0 ? word(20) : word(14);
            s += space();
            s += below(6) == 0 ? word(5) : number();
            s += space();
        }
        return s;
    }

    // Byte flips, deletions, insertions (NUL included), truncation and duplication.
    std::string mutate(std::string s) {
        const int edits = 1 + below(6);
        for (int e = 0; e < edits && !s.empty(); ++e) {
            const std::size_t at = static_cast<std::size_t>(below(static_cast<int>(s.size())));
            switch (below(5)) {
                case 0: s[at] = static_cast<char>(below(256)); break;
                case 1: s.erase(at, static_cast<std::size_t>(1 + below(8))); break;
                case 2: s.insert(at, 1, static_cast<char>(below(256))); break;
                case 3: s.resize(at); break;
                default: s += s.substr(at, 64); break;
            }
        }
        return s;
    }

    std::mt19937 &rng() { return rng_; }

private:
    std::mt19937 rng_;
};

const StateFormat *const kFormats[] = {&tx::detail::kSectionState, &tx::detail::kLyapunovState,
                                       &tx::detail::kCycleState, &tx::detail::kNullclinesState};

const char *const kValidState =
    "&var x 0.1 0 0\n&var v 0 0 1\n&var w -2 0 0\n"
    "&par a 0.5 0\n&par b 0.01 0\n&par A 1 0\n&par sigma 0.1 0\n&par c 1 0\n"
    "&num t0 0\n&num t1 100\n&num dt 0.01\n&num on 10\n&num off 20\n"
    "&pph 0 0 1 -2 2 -1 1\n&msc 2 0 -17\n";

void check_state(const StateFormat &fmt, const std::string &text, bool ok, const StateFile &st,
                 const ReadError &err) {
    SCOPED_TRACE(text);
    ASSERT_GE(st.nvar, 0);
    ASSERT_GE(st.npar, 0);
    ASSERT_GE(st.nnum, 0);
    for (const StVariable &v : st.var) ASSERT_LE(strnlen(v.name, sizeof v.name), std::size_t(fmt.name_max));
    for (const StParameter &p : st.par) ASSERT_LE(strnlen(p.name, sizeof p.name), std::size_t(fmt.name_max));
    if (!ok) {
        ASSERT_LT(strnlen(err.text, sizeof err.text), sizeof err.text);
        ASSERT_EQ(std::strncmp(err.text, "ERROR: ", 7), 0);
        return;
    }
    for (int i = 0; i < st.nvar && i < kModelDim; ++i) ASSERT_NE(st.var[i].value, 0.0);
}

TEST(ReaderFuzz, StateFiles) {
    Fuzz fuzz(20240611);
    for (int round = 0; round < 2500; ++round) {
        std::string text = round % 2 ? fuzz.random_state() : fuzz.mutate(kValidState);
        const StateFormat &fmt = *kFormats[round % 4];
        StateFile first{}, second{};
        ReadError err{};
        bool seed_read = false;
        std::FILE *in = memory_file(text);
        ASSERT_NE(in, nullptr);
        const bool ok = tx::detail::scan_state(in, "system.st", fmt, first, seed_read, err);
        std::fclose(in);
        check_state(fmt, text, ok, first, err);
        // Same bytes, same result (nothing is left over from the previous scan).
        in = memory_file(text);
        tx::detail::scan_state(in, "system.st", fmt, second, seed_read, err);
        std::fclose(in);
        ASSERT_EQ(std::memcmp(&first, &second, sizeof first), 0) << text;
    }
}

TEST(ReaderFuzz, ProcessFiles) {
    Fuzz fuzz(7);
    const std::string valid = "a 1\nb 2\nc 3\nd 4\ne 5\nf 6\ng 7\nh 8\ni 9\nj 10\n";
    for (int round = 0; round < 2500; ++round) {
        std::string text = round % 2 ? fuzz.random_pairs() : fuzz.mutate(valid);
        char names[10][kProcNameMax + 1];
        std::memset(names, 0x55, sizeof names);  // no terminator unless the reader writes one
        double values[10] = {};
        ReadError err{};
        std::FILE *in = memory_file(text);
        const bool ok = tx::detail::scan_pairs(in, "param.lce", 10, names, values, nullptr, err);
        std::fclose(in);
        if (ok) {
            for (auto &name : names) ASSERT_LE(strnlen(name, sizeof name), std::size_t(kProcNameMax)) << text;
        } else {
            ASSERT_EQ(std::strncmp(err.text, "ERROR: ", 7), 0) << text;
        }

        tx::detail::CycleSettings s{1, 2, 3.0};
        in = memory_file(text);
        tx::detail::scan_cycle_settings(in, "param.slc", s, err, nullptr);
        std::fclose(in);
    }
}

// Well-formed files in random order, checked field by field against what was written.
TEST(ReaderFuzz, WellFormedFilesAreReadExactly) {
    Fuzz fuzz(99);
    std::uniform_real_distribution<float> value(-50.0f, 50.0f);
    for (int round = 0; round < 500; ++round) {
        struct Rec {
            int kind;
            std::string name;
            float v;
        };
        std::vector<Rec> recs;
        const int n = fuzz.below(45);
        for (int i = 0; i < n; ++i)
            recs.push_back({fuzz.below(3), "n" + fuzz.word(20), fuzz.below(10) ? value(fuzz.rng()) : 0.0f});
        std::string text = "junk ";
        for (const Rec &r : recs) {
            char v[64];
            std::snprintf(v, sizeof v, "%.9g", static_cast<double>(r.v));
            const char *key = r.kind == 0 ? "&var " : r.kind == 1 ? "&par " : "&num ";
            text += key + r.name + fuzz.space() + v + (r.kind == 2 ? "" : " 1.5 7") + fuzz.space();
            if (fuzz.below(4) == 0) text += fuzz.word(10).insert(0, "#") + " ";
        }
        StateFile st{};
        ReadError err{};
        bool seed_read = false;
        std::FILE *in = memory_file(text);
        ASSERT_TRUE(tx::detail::scan_state(in, "system.st", tx::detail::kSectionState, st, seed_read, err)) << err.text;
        std::fclose(in);
        int counts[3] = {};
        for (const Rec &r : recs) {
            const int index = counts[r.kind]++;
            const double v = r.v;
            if (r.kind == 0 && index < kModelDim) {
                ASSERT_EQ(st.var[index].name, r.name) << text;
                ASSERT_EQ(st.var[index].value, v == 0.0 ? static_cast<double>(1e-5f) : v) << text;
                ASSERT_EQ(st.var[index].extra[0], 1.5);
            } else if (r.kind == 1 && index < kModelParams) {
                ASSERT_EQ(st.par[index].name, r.name) << text;
                ASSERT_EQ(st.par[index].value, v) << text;
            } else if (r.kind == 2 && index < kModelSettings) {
                ASSERT_EQ(st.num[index], v) << text;
            }
        }
        ASSERT_EQ(st.nvar, counts[0]);
        ASSERT_EQ(st.npar, counts[1]);
        ASSERT_EQ(st.nnum, counts[2]);
    }
}

}  // namespace
