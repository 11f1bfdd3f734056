// run_cycle: limit cycle, period and Floquet multipliers of the model.  No arguments; reads
// "system.st" and "param.slc", writes "debug.txt", "out.slc" and "multy.slc".
#include "cycle.h"

int main() {
    initFunction();
    const int status = processFunction();
    exitFunction();
    return status;
}
