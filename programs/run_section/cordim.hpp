// Correlation dimension of the recorded section points by pair counting over a ladder of radii.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace txprog {

struct LadderSettings {
    int points = 0;         // N: points read from the file
    int spacing = 1;        // every spacing-th point is a reference point
    double largest = 0.0;   // first radius
    double smallest = 0.0;  // the ladder stops before the first radius not above it
    double ratio = 0.5;     // between successive radii, in (0, 1)
};

// Natural-log correlation sums, one per radius, largest radius first.  On failure `error`
// holds the reason and `sums` is empty.
struct Ladder {
    std::vector<float> sums;
    std::string error;
};

// Reads N points of three coordinates from path, rescales each coordinate to [0, 1] and
// counts, for each radius, the reference-point pairs no farther apart than it.  Messages name
// the file shown_as, when given, instead of path.
Ladder cordim(const char *path, const LadderSettings &settings, const char *shown_as = nullptr);

// One line per radius but the last: ln r, its sum, and the local slope towards the next.
bool write_dimension_table(std::FILE *out, const Ladder &ladder, const LadderSettings &settings);

}  // namespace txprog
