// Readers of "system.st" and of the process parameter files.  One tokenizer serves every
// program; what differs between programs (records, formats, limits, messages, checks) is data.
// The scanners report instead of exiting, so that they can be driven by tests; the public
// readers print the report and end the process with status 1.
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
    char text[256];    // for standard output: the program's message, or empty
    char reason[384];  // for standard error: "<file>: <what is wrong>"
};

// Reads records from in into st; fields that are not read keep what st held.  seed_read tells
// whether the "&msc" seed was read.  False, with err set, on a kept name longer than the limit.
bool scan_state(std::FILE *in, const char *file_name, const StateFormat &fmt, StateFile &st,
                bool &seed_read, ReadError &err);
// Opens path, scans it, checks the record counts where fmt asks for it, and refuses a file that
// lacks any of the model's 3 "&var" and 5 "&par" records or their values.
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
// Unknown keys, and known ones whose value is not a number, are named on notes unless it is null.
bool scan_cycle_settings(std::FILE *in, const char *file_name, CycleSettings &s, ReadError &err,
                         std::FILE *notes);

// Sets both texts of err; the reason is "<file>: <what is wrong>".
void set_error(ReadError &err, const char *text, const char *file, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
// Ends the process with status 1 after err.text on standard output and "<program>: <reason>" on
// standard error.
[[noreturn]] void refuse(const ReadError &err);
// A reader's failure to open path: the program's message and the system's reason.
[[noreturn]] void refuse_open(const char *message, const char *path);

// The program named by model_program_start, for the lines on standard error.
const char *program_name();

}  // namespace tx::detail
