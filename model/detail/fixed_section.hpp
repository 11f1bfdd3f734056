// The fixed-step section search behind Fixed_PoincareStep, with its step bound as an argument.
#pragma once

#include "../model.h"

namespace tx::detail {

double fixed_section_search(Traxis tx, double eps, int mode, double t, double *y, float *point,
                            long max_steps);

}  // namespace tx::detail
