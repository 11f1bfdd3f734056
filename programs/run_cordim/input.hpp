// What run_cordim reads: the settings of "par.dat" and the point file they name.  The readers
// take open streams, so that the fuzz harness can drive them from memory; every refusal is one
// line "run_cordim: <name>: <reason>" on standard error and a result of 0.
#pragma once

#include <cstdio>
#include <string>

#include "correlation.hpp"

namespace cordim_input {

// Settings array: N, d, largest radius, smallest radius, and the number of radii produced.
enum Setting { kPoints, kDims, kLargest, kSmallest, kRadii, kSettingCount };

// "run_cordim: <subject>: <message>" on standard error; returns 0.
int fail(const std::string &subject, const std::string &message);

// The point-file name and the four numbers, checked: N and d whole and at least 1, radii
// positive (the largest finite), at most kMaxRadii radii between them.
int read_settings(std::FILE *in, const char *name, std::string &point_file, double *settings);

// The first N points of d coordinates (N and d from settings), each coordinate rescaled to
// [0, 1]; refuses a file with too few readable numbers, a number that is not finite, and a
// coordinate with the same value in every point.
int load_points(std::FILE *in, const std::string &name, const double *settings,
                correlation::PointSet &points);

}  // namespace cordim_input
