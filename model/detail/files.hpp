// Readers of "system.st" and of the process parameter files.  One tokenizer serves every
// program; what differs between programs (records, formats, limits, messages, checks) is data.
// The scanners report instead of exiting, so that they can be driven by tests; the public
// readers print the report to standard output and end the process with status 1.
#pragma once

#include <cstdio>

#include "../model.h"

namespace tx::detail {

enum class RecordKind { Var, Par, Num, Pph, Msc };

struct RecordFormat {
    RecordKind kind;
    const char *keyword;
    // scanf formats as the programs state them, one entry per read; a read that fails stops
    // only its own conversions
    const char *reads[2];
};

}  // namespace tx::detail

struct StateFormat {
    const tx::detail::RecordFormat *records;
    std::size_t nrecords;
    int name_max;              // longest name kept
    double zero_value;         // replaces an initial value of exactly 0
    bool check_counts;         // exactly 3 "&var" and 5 "&par" records
    bool keeps_seed;           // read_model_state copies the "&msc" seed into lidum
    const char *open_error;    // printed as is
};

namespace tx::detail {

extern const StateFormat kSectionState;     // run_section, run_spikes
extern const StateFormat kLyapunovState;    // run_lyapunov, run_sweep
extern const StateFormat kCycleState;       // run_cycle
extern const StateFormat kNullclinesState;  // run_nullclines

struct ReadError {
    char text[256];
};

// Reads records from in into st; fields that are not read keep what st held.  seed_read tells
// whether the "&msc" seed was read.  False, with err set, on a kept name longer than the limit.
bool scan_state(std::FILE *in, const char *file_name, const StateFormat &fmt, StateFile &st,
                bool &seed_read, ReadError &err);
// Opens path, scans it and checks the record counts where fmt asks for it.
bool read_state(const char *path, const StateFormat &fmt, StateFile &st, bool &seed_read,
                ReadError &err);

// n name-value pairs in file order, each echoed as "%s  =  %f\n" to echo unless it is null.
// False on a missing pair, a name longer than kProcNameMax or a value that is not a number.
bool scan_pairs(std::FILE *in, const char *file_name, int n, char (*names)[kProcNameMax + 1],
                double *values, std::FILE *echo, ReadError &err);

struct CycleSettings {
    int period_number;
    int max_adjust;
    double cycle_eps;
};
// Pairs up to the end of the input, assigned by key; false on an integer setting out of range.
bool scan_cycle_settings(std::FILE *in, const char *file_name, CycleSettings &s, ReadError &err);

// Prints text to standard output and ends the process with status 1.
[[noreturn]] void refuse(const char *text);

}  // namespace tx::detail
