// What each program reads from "system.st" and its process file, and the start-up readers of
// run_section, run_spikes and run_nullclines.
#include <cerrno>
#include <cstring>
#include <iterator>

#include "detail/files.hpp"

namespace {

using tx::detail::RecordFormat;
using K = tx::detail::RecordKind;

constexpr RecordFormat kSectionRecords[] = {
    {K::Var, "&var", {" %s %f %f %f", nullptr}},
    {K::Par, "&par", {"%s  %g %f", nullptr}},
    {K::Num, "&num", {"%s %g  ", nullptr}},
    {K::Msc, "&msc", {"%i %i %i ", nullptr}},
};
constexpr RecordFormat kLyapunovRecords[] = {
    {K::Var, "&var", {" %s %f %f %i", nullptr}},
    {K::Par, "&par", {"%s  %g %f", nullptr}},
    {K::Num, "&num", {"%s %g  ", nullptr}},
    {K::Pph, "&pph", {"%i %i %i  ", "%f %f %f %f"}},
    {K::Msc, "&msc", {"%i %i %i ", nullptr}},
};
constexpr RecordFormat kCycleRecords[] = {
    {K::Var, "&var", {"%s %lf %lf %lf", nullptr}},
    {K::Par, "&par", {"%s %lf %lf", nullptr}},
};
constexpr RecordFormat kNullclinesRecords[] = {
    {K::Var, "&var", {" %s %f %f %f", nullptr}},
    {K::Par, "&par", {"%s  %g %f", nullptr}},
    {K::Num, "&num", {"%s %g  ", nullptr}},
    {K::Pph, "&pph", {"%i %i %i  ", "%f %f %f %f"}},
};

constexpr double kSingleZero = static_cast<double>(1e-5f);  // 9.99999974737875e-06
constexpr double kDoubleZero = 1e-6;
constexpr long kDefaultSeed = 192984284;
constexpr const char *kDatafileError = "ERROR: could not open datafile..";
constexpr const char *kProcessFileError = "ERROR: could not open process param file ..";

}  // namespace

namespace tx::detail {

const StateFormat kSectionState = {kSectionRecords, std::size(kSectionRecords), kStNameMax,
                                   kSingleZero, /*check_counts=*/false, /*keeps_seed=*/true,
                                   kDatafileError};
const StateFormat kLyapunovState = {kLyapunovRecords, std::size(kLyapunovRecords), kStNameMax,
                                    kSingleZero, /*check_counts=*/true, /*keeps_seed=*/false,
                                    "ERROR: could not open PARAM file.."};
const StateFormat kCycleState = {kCycleRecords, std::size(kCycleRecords), kCycleNameMax,
                                 kDoubleZero, /*check_counts=*/false, /*keeps_seed=*/false,
                                 "ERROR: could not open the state file\n"};
const StateFormat kNullclinesState = {kNullclinesRecords, std::size(kNullclinesRecords),
                                      kStNameMax, kSingleZero, /*check_counts=*/false,
                                      /*keeps_seed=*/false, kDatafileError};

namespace {
const char *g_program_name = nullptr;
}  // namespace

const char *program_name() {
    // Before model_program_start (in the tests) the name the process was started with.
    return g_program_name ? g_program_name : program_invocation_short_name;
}

}  // namespace tx::detail

extern "C" {

const ModelProgram kRunSection = {"run_section", kDefaultSeed, 0.0, 0.0, &tx::detail::kSectionState,
                                  "param.pnc", 14, kDatafileError};
const ModelProgram kRunSpikes = {"run_spikes", kDefaultSeed, 0.0, 0.0, &tx::detail::kSectionState,
                                 "param.isi", 9, kDatafileError};
const ModelProgram kRunLyapunov = {"run_lyapunov", 0, 0.0, 0.0, &tx::detail::kLyapunovState,
                                   "param.lce", 10, kProcessFileError};
const ModelProgram kRunSweep = {"run_sweep", 0, 0.0, 0.0, &tx::detail::kLyapunovState,
                                "param.udf", 8, kProcessFileError};
const ModelProgram kRunCycle = {"run_cycle", kDefaultSeed, 0.0, 0.0, &tx::detail::kCycleState,
                                "param.slc", 0, "ERROR: could not open the parameters file\n"};
// Its forcing times stay at -1, so that the forcing is off at its evaluation time 1.
const ModelProgram kRunNullclines = {"run_nullclines", 0, -1.0, -1.0,
                                     &tx::detail::kNullclinesState, nullptr, 0, nullptr};

void model_program_start(const ModelProgram *prog) {
    tx::detail::g_program_name = prog->name;
    lidum = prog->initial_lidum;
    force_on = prog->initial_force_on;
    force_off = prog->initial_force_off;
}

void read_model_state(const ModelProgram *prog, StateFile *st) {
    const StateFormat &fmt = *prog->state;
    std::memset(st, 0, sizeof *st);
    for (int i = 0; i < kModelParams; ++i) st->par[i].value = par[i];
    for (int i = 0; i < kModelSettings; ++i) st->num[i] = num[i];
    bool seed_read = false;
    tx::detail::ReadError err;
    if (!tx::detail::read_state("system.st", fmt, *st, seed_read, err)) tx::detail::refuse(err);
    for (int i = 0; i < kModelParams; ++i) par[i] = st->par[i].value;
    for (int i = 0; i < kModelSettings; ++i) num[i] = st->num[i];
    if (fmt.keeps_seed && seed_read) lidum = st->msc[2];
}

void read_process_pairs(const ModelProgram *prog, char names[][kProcNameMax + 1], double *values) {
    if (!prog->process_file || prog->process_pairs <= 0) return;
    std::FILE *in = std::fopen(prog->process_file, "r");
    if (!in) tx::detail::refuse_open(prog->process_open_error, prog->process_file);
    tx::detail::ReadError err;
    const bool ok = tx::detail::scan_pairs(in, prog->process_file, prog->process_pairs, names,
                                           values, stdout, err);
    std::fclose(in);
    if (!ok) tx::detail::refuse(err);
}

}
