// Start-up checks and file handling shared by the batch programs.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "model.h"

namespace txprog {

struct Named {
    std::string name;
    double value;
};

enum { kMaxProcessPairs = 14 };

// Everything a run starts from: "system.st", the process file, and the state they give.
struct BatchInputs {
    StateFile st;
    char names[kMaxProcessPairs][kProcNameMax + 1];
    double values[kMaxProcessPairs];
    int mode;              // checked to be a run mode
    double y[kModelDim];   // initial state
};

// Reads both files (echoing the process file), checks the run mode, and sets the model
// globals for the run: seed, parameters, settings and the forcing times.
void read_inputs(const char *program, const ModelProgram *prog, BatchInputs &in);

// "<program>: <message>" on standard error, then exit status 1.
[[noreturn]] void fail(const char *program, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

// The one required argument, the output file; without it a usage line and exit status 1.
const char *output_argument(int argc, char **argv, const char *program);

// Opens the output file for writing, or says so as the programs always have and exits 1.
std::FILE *open_outfile(const char *name);

// Closes a file written in full; a failed write removes it so that no truncated table is
// left behind, then exits 1.
void close_written(const char *program, std::FILE *f, const char *name, bool written);

// The names and values of the model parameters of "system.st".
std::vector<Named> model_parameters(const StateFile &st);

// One line per item, written with format ("# %s=%f \n" or the like) from name and value.
bool write_named_lines(std::FILE *out, const std::vector<Named> &items, const char *format);

// The first n pairs of a process file.
std::vector<Named> process_pairs(const char (*names)[kProcNameMax + 1], const double *values,
                                 int n);

}  // namespace txprog
