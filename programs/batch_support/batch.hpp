// Start-up checks and file handling shared by the batch programs.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "model.h"
#include "output.hpp"
#include "report.hpp"

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

// Reads both files (echoing the process file), checks that "system.st" is complete and the run
// mode, and sets the model globals for the run: seed, parameters, settings and forcing times.
void read_inputs(const char *program, const ModelProgram *prog, BatchInputs &in);

// The one required argument, the output file; without it a usage line and exit status 1.
const char *output_argument(int argc, char **argv, const char *program);

// Opens the table named on the command line; a failure is reported with the message the
// programs have always printed, "ERROR: could not open outfile..", and the reason.
Output &open_outfile(const char *program, const char *name);

// The names and values of the model parameters of "system.st".
std::vector<Named> model_parameters(const StateFile &st);

// One line per item, written with format ("# %s=%f \n" or the like) from name and value.
bool write_named_lines(std::FILE *out, const std::vector<Named> &items, const char *format);

// The first n pairs of a process file.
std::vector<Named> process_pairs(const char (*names)[kProcNameMax + 1], const double *values,
                                 int n);

}  // namespace txprog
