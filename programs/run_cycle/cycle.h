// run_cycle: converges onto a periodic limit cycle of the model through the section x = 0 and
// writes its period and Floquet multipliers.
#pragma once

#include "tx.h"

extern Traxis traxis;

// Opens the handle and its variational sub-handle, sets the section, reads and checks
// "system.st" and "param.slc", and opens the outputs (a failure ends the process with status 1).
void initFunction();
// Runs the analysis and writes "debug.txt", "out.slc" and "multy.slc".  Returns the exit
// status: 0 on success, 1 when the cycle was not found.  A run that fails leaves the files as
// they were, except "out.slc", which then names the stage that failed.  A file that cannot be
// written ends the process with a message and status 1.
int processFunction();
void exitFunction();
// Iterates the return map over periodNumber turns until two returns lie within eps of each
// other; 1 on success, 0 after more than max passes.  Leaves the state on the section.
int adjustInitialConditions(int max, double eps);
