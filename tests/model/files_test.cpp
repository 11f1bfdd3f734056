// Readers of "system.st" and of the process parameter files, on files written by the tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "detail/files.hpp"
#include "files.hpp"
#include "model.h"

namespace {

using txtest::run_child;
using txtest::write_file;

constexpr double kSingleTenth = 0.10000000149011612;
constexpr double kSingleZero = static_cast<double>(1e-5f);

TEST(StateValues, ZeroReplacement) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", kSingleZero);
    EXPECT_STREQ(text, "9.99999974737875e-06");
}

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.ok());
        for (double &p : par) p = 0.0;
        for (double &n : num) n = 0.0;
        for (StVariable &v : vars) v = StVariable{};
        for (StParameter &p : params) p = StParameter{};
    }
    txtest::ScratchDir dir_;
};

const char *const kFullState =
    "comment words &notakeyword\n"
    "&num t0 0.1\n"
    "&par a 0.5 0\n"
    "&var x 0 1 2\n"
    "&msc 2 0 12345\n"
    "&par b 0.25 0\n"
    "&num t1 100\n"
    "between records\n"
    "&var v -0.5 0 0\n"
    "&par A 1 0 &par sigma 0.1 0 &par c 3 0\n"
    "&var w 0.1 0 0\n"
    "&num h 0.01\n";

// The model's records, for files that test something else.
const char *const kModelRecords =
    "&var x 1 0 0 &var v 2 0 0 &var w 3 0 0\n"
    "&par a 1 0 &par b 2 0 &par A 3 0 &par sigma 4 0 &par c 5 0\n";

// The scanner alone: what the readers would take from a file before they check it is complete.
StateFile scan(const std::string &text, const StateFormat &fmt, StateFile st = {}) {
    write_file("partial.st", text);
    std::FILE *in = std::fopen("partial.st", "r");
    bool seed_read = false;
    tx::detail::ReadError err;
    EXPECT_TRUE(tx::detail::scan_state(in, "partial.st", fmt, st, seed_read, err));
    std::fclose(in);
    return st;
}

TEST_F(Files, SectionStateInAnyOrder) {
    write_file("system.st", kFullState);
    model_program_start(&kRunSpikes);
    EXPECT_EQ(lidum, 192984284);
    StateFile st;
    read_model_state(&kRunSpikes, &st);
    EXPECT_EQ(st.nvar, 3);
    EXPECT_EQ(st.npar, 5);
    EXPECT_EQ(st.nnum, 3);
    EXPECT_STREQ(st.var[0].name, "x");
    EXPECT_EQ(st.var[0].value, kSingleZero);
    EXPECT_EQ(st.var[1].value, -0.5);
    EXPECT_EQ(st.var[2].value, kSingleTenth);
    EXPECT_STREQ(st.par[3].name, "sigma");
    const double expected_par[5] = {0.5, 0.25, 1.0, kSingleTenth, 3.0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(par[i], expected_par[i]) << i;
    EXPECT_EQ(num[0], kSingleTenth);
    EXPECT_EQ(num[1], 100.0);
    EXPECT_EQ(num[2], static_cast<double>(0.01f));
    EXPECT_EQ(st.msc[0], 2);
    EXPECT_EQ(lidum, 12345);
}

TEST_F(Files, RecordsCutShortOrRepeated) {
    // Whitespace after the last record ends the file: the record is not taken twice.
    StateFile st = scan("&par a 1 0\n&par b 2 0\n\n\n", tx::detail::kSectionState);
    EXPECT_EQ(st.npar, 2);
    EXPECT_EQ(st.par[1].value, 2.0);

    // Missing fields keep their earlier values, and are marked as not read.
    StateFile before{};
    before.par[1].value = 7.0;
    const StateFile cut = scan("&var x 0.5 0 0 &var v 0.25 0 0 &var w\n&par a 3 &par b",
                               tx::detail::kSectionState, before);
    EXPECT_EQ(cut.var[1].value, 0.25);
    EXPECT_EQ(cut.var[2].value, kSingleZero);  // state components are never exactly 0
    EXPECT_STREQ(cut.var[2].name, "w");
    EXPECT_EQ(cut.var_read[1], 1);
    EXPECT_EQ(cut.var_read[2], 0);
    EXPECT_EQ(cut.par[0].value, 3.0);
    EXPECT_EQ(cut.par[1].value, 7.0);
    EXPECT_EQ(cut.par_read[1], 0);

    // A seed that is not read leaves lidum alone.
    model_program_start(&kRunSection);
    write_file("system.st", std::string(kModelRecords) + "&msc 1 0");
    read_model_state(&kRunSection, &st);
    EXPECT_EQ(st.msc[0], 1);
    EXPECT_EQ(lidum, 192984284);

    // Records beyond the stored ones are counted and read past.
    std::string many;
    for (int i = 0; i < 40; ++i) many += "&num n" + std::to_string(i) + " " + std::to_string(i) + "\n";
    many += std::string(kModelRecords) + "&var extra 4 0 0\n";
    write_file("system.st", many);
    read_model_state(&kRunSection, &st);
    EXPECT_EQ(st.nnum, 40);
    EXPECT_EQ(num[29], 29.0);
    EXPECT_EQ(st.nvar, 4);
    EXPECT_EQ(st.var[2].value, 3.0);
}

TEST_F(Files, IncompleteStateFilesAreRefusedWithWhatIsMissing) {
    struct Case {
        const char *text;
        const char *missing;
    } cases[] = {
        {"", "missing &var 1, &var 2, &var 3, &par 1, &par 2, &par 3, &par 4, &par 5"},
        {"&var x 1 0 0 &var v 2 0 0 &var w 3 0 0 &par a 1 0 &par b 2 0 &par A 3 0 &par s 4 0\n",
         "missing &par 5 "},
        {"&var x 1 0 0 &var v 2 0 0 &var w\n&par a 1 0 &par b 2 0 &par A 3 0 &par s 4 0 "
         "&par c",
         "missing the value of &var w, the value of &par c "},
    };
    for (const Case &c : cases) {
        write_file("system.st", c.text);
        for (const ModelProgram *prog : {&kRunSection, &kRunNullclines}) {
            const txtest::ChildRun run = run_child([&] {
                model_program_start(prog);
                StateFile st;
                read_model_state(prog, &st);
            });
            EXPECT_EQ(run.status, 1) << c.text;
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err.rfind(std::string(prog->name) + ": system.st: " + c.missing, 0), 0u)
                << run.err;
        }
        const txtest::ChildRun run = run_child([] { readStateFile(); });
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.missing), std::string::npos) << run.err;
    }
}

TEST_F(Files, WordsAreBoundedByTheirBuffers) {
    // A long word outside the records is skipped whole, even when it ends like a keyword.
    const StateFile st = scan(std::string(5000, 'z') + "&var x 1 0 0\n&par " +
                                  std::string(23, 'p') + " 2 0\n&num " + std::string(300, 'n') +
                                  " 4\n",
                              tx::detail::kSectionState);
    EXPECT_EQ(st.nvar, 0);
    EXPECT_EQ(std::strlen(st.par[0].name), 23u);
    EXPECT_EQ(st.num[0], 4.0);

    write_file("system.st", "&var x 1 0 0\n&par " + std::string(24, 'p') + " 2 0\n");
    const txtest::ChildRun run = run_child([] {
        StateFile s;
        read_model_state(&kRunSection, &s);
    });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "ERROR: &par name longer than 23 characters in system.st\n");
}

TEST_F(Files, NullclinesWindow) {
    StateFile st = scan("&var x 0 0 0 &pph 0 1 2 -2.5 2.5 -1 1 &msc 9 9 9",
                        tx::detail::kNullclinesState);
    EXPECT_EQ(st.pph[1], 1);
    EXPECT_EQ(st.pph[2], 2);
    EXPECT_EQ(st.window[0], -2.5);
    EXPECT_EQ(st.window[3], 1.0);
    EXPECT_EQ(st.msc[0], 0);  // not a record of this program

    // The window is a second read: it is still taken after the integers failed.
    st = scan("&pph 0 1 - 0.5 1.5 2.5 3.5", tx::detail::kNullclinesState);
    EXPECT_EQ(st.pph[1], 1);
    EXPECT_EQ(st.window[0], 0.5);
}

TEST_F(Files, ReadStFileCountsRecords) {
    write_file("system.st", "&var x 1 2 3 &var v 0 0 0 &var w 0 0 0\n"
                            "&par a 1 0 &par b 2 0 &par A 3 0 &par s 4 0 &par c 5 0\n"
                            "&pph 0 1 2 0 1 0 1 &msc 0 0 5\n&num t0 2.5\n");
    lidum = 31;
    Read_St_File("system.st");
    EXPECT_EQ(vars[0].value, 1.0);
    EXPECT_EQ(vars[0].extra[1], 3.0);
    EXPECT_EQ(vars[1].value, kSingleZero);
    EXPECT_STREQ(params[4].name, "c");
    EXPECT_EQ(params[4].value, 5.0);
    EXPECT_EQ(num[0], 2.5);
    EXPECT_EQ(lidum, 31);  // "&msc" is read past

    write_file("two_vars.st", "&var x 1 0 0 &var v 1 0 0 &par a 1 0");
    txtest::ChildRun run = run_child([] { Read_St_File("two_vars.st"); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "ERROR: SYS_DIM does not match st-file ");
    EXPECT_NE(run.err.find(": two_vars.st: missing &var 3, &par 2,"), std::string::npos) << run.err;

    write_file("four_pars.st", "&var x 1 0 0 &var v 1 0 0 &var w 1 0 0 "
                               "&par a 1 0 &par b 1 0 &par c 1 0 &par d 1 0");
    run = run_child([] { Read_St_File("four_pars.st"); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "ERROR: NO_PAR does not match st-file ");

    run = run_child([] { Read_St_File("missing.st"); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "ERROR: could not open PARAM file..");
    EXPECT_NE(run.err.find(": missing.st: No such file or directory\n"), std::string::npos);
}

TEST_F(Files, CycleStateInDoublePrecision) {
    double state[3] = {9.0, 9.0, 9.0};
    systemVariable = state;
    write_file("system.st", "&var " + std::string(17, 'x') + " 0.1 0 0\n&var v 0 0 0\n"
                            "&var w -0.3 0 0\n&par a 0.1 0 &par b 1 0 &par A 1 0 &par s 1 0 "
                            "&par c 1 0\n&num ignored 5\n");
    readStateFile();
    EXPECT_EQ(state[0], 0.1);
    EXPECT_EQ(state[1], 1e-6);
    EXPECT_EQ(state[2], -0.3);
    EXPECT_EQ(std::strlen(systemVariableName[0]), 17u);
    EXPECT_EQ(par[0], 0.1);
    EXPECT_EQ(num[0], 0.0);

    write_file("system.st", "&var " + std::string(18, 'x') + " 0.1 0 0\n");
    txtest::ChildRun run = run_child([] { readStateFile(); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "ERROR: &var name longer than 17 characters in system.st\n");
    systemVariable = nullptr;

    std::remove("system.st");
    run = run_child([] { readStateFile(); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "ERROR: could not open the state file\n");
}

TEST_F(Files, CycleSettingsByKey) {
    periodNumber = 0;
    max_adjust = 17;
    cycle_eps = 0.0;
    write_file("param.slc", "slc_eps 0.001\nunknown_key 5 " + std::string(100, 'k') +
                                " 3\nslc_periodicity 2.7\n");
    const txtest::ChildRun notes = run_child([] { readParamFile(); });
    EXPECT_EQ(notes.status, 0);
    EXPECT_NE(notes.err.find(": param.slc: unknown key unknown_key ignored\n"), std::string::npos)
        << notes.err;
    EXPECT_NE(notes.err.find(": param.slc: unknown key " + std::string(31, 'k') + "... ignored\n"),
              std::string::npos);
    readParamFile();
    EXPECT_EQ(cycle_eps, static_cast<double>(0.001f));
    EXPECT_EQ(periodNumber, 2);
    EXPECT_EQ(max_adjust, 17);

    write_file("param.slc", "slc_max_steps -3.9 slc_periodicity");
    readParamFile();
    EXPECT_EQ(max_adjust, -3);
    EXPECT_EQ(periodNumber, 2);

    write_file("param.slc", "slc_max_steps 1e12\n");
    txtest::ChildRun run = run_child([] { readParamFile(); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "ERROR: slc_max_steps in param.slc is out of range\n");

    std::remove("param.slc");
    run = run_child([] { readParamFile(); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "ERROR: could not open the parameters file\n");
}

// Notes and reasons quote words from the file: control bytes (a terminal escape sequence) go out
// as \xNN, UTF-8 as it is, and a file of garbage gets a few lines, not one per word.
TEST_F(Files, QuotedWordsCannotReachTheTerminalRaw) {
    std::string garbage = "\x1b[2Jesc 1 \xce\xb1lpha 2 bell\x07 3";
    for (int i = 0; i < 40; ++i) garbage += " k" + std::to_string(i) + " 1";
    write_file("param.slc", garbage);
    const txtest::ChildRun run = run_child([] { readParamFile(); });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("unknown key \\x1b[2Jesc ignored\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("unknown key \xce\xb1lpha ignored\n"), std::string::npos);
    EXPECT_NE(run.err.find("unknown key bell\\x07 ignored\n"), std::string::npos);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 10);
    EXPECT_NE(run.err.find("further keys not listed\n"), std::string::npos);

    write_file("param.isi", "thr\x1b]0;x\x07 abc\n");
    char names[9][kProcNameMax + 1];
    double values[9];
    const txtest::ChildRun refused =
        run_child([&] { read_process_pairs(&kRunSpikes, names, values); });
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("the value of thr\\x1b]0;x\\x07 is not a number"),
              std::string::npos)
        << refused.err;
}

TEST_F(Files, FixedListEchoAndRefusals) {
    write_file("param.isi", "thr 0.5\nlow -1e-3 x 2 a 3 b 4 c 5 d 6 e 7 f 8 g 9 extra 10\n");
    char names[9][kProcNameMax + 1];
    double values[9];
    txtest::ChildRun run = run_child([&] { read_process_pairs(&kRunSpikes, names, values); });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("thr  =  0.500000\nlow  =  -0.001000\nx  =  2.000000\n", 0), 0u);
    read_process_pairs(&kRunSpikes, names, values);  // also in this process, for the values
    EXPECT_STREQ(names[8], "f");
    EXPECT_EQ(values[0], 0.5);
    EXPECT_EQ(values[1], static_cast<double>(-1e-3f));

    write_file("param.lce", "eps 1e-6\nlyap_dt 1\n");
    run = run_child([&] { Load_Proc_Pars("param.lce", 10, names, values); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "eps  =  0.000001\nlyap_dt  =  1.000000\n"
                       "ERROR: param.lce ends before pair 3 of 10\n");

    write_file("param.udf", std::string(15, 'n') + " 1\n");
    run = run_child([&] { Load_Proc_Pars("param.udf", 8, names, values); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "ERROR: name of pair 1 longer than 14 characters in param.udf\n");

    write_file("param.udf", "first one\n");
    run = run_child([&] { Load_Proc_Pars("param.udf", 8, names, values); });
    EXPECT_EQ(run.out, "ERROR: value of first in param.udf is not a number\n");

    run = run_child([&] { Load_Proc_Pars("missing", 8, names, values); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "ERROR: could not open process param file ..");
    run = run_child([&] { read_process_pairs(&kRunSection, names, values); });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "ERROR: could not open datafile..");
}

TEST_F(Files, MissingStateFiles) {
    for (const ModelProgram *prog : {&kRunSection, &kRunSpikes, &kRunNullclines}) {
        const txtest::ChildRun run = run_child([&] {
            StateFile st;
            read_model_state(prog, &st);
        });
        EXPECT_EQ(run.status, 1) << prog->name;
        EXPECT_EQ(run.out, "ERROR: could not open datafile..") << prog->name;
    }
}

TEST(ModelProgram, StartingValues) {
    model_program_start(&kRunCycle);
    EXPECT_EQ(lidum, 192984284);
    model_program_start(&kRunSweep);
    EXPECT_EQ(lidum, 0);
    EXPECT_EQ(force_on, 0.0);
    model_program_start(&kRunNullclines);
    EXPECT_EQ(lidum, 0);
    EXPECT_EQ(force_on, -1.0);
    EXPECT_EQ(force_off, -1.0);
}

}  // namespace
