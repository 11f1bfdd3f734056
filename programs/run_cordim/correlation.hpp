// Correlation sums of a point set over a ladder of radii that halve from step to step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace correlation {

inline constexpr int kMaxRadii = 100;           // the array of sums holds this many
inline constexpr int kReferenceSpacing = 100;   // every hundredth point is a reference point

struct PointSet {
    int n = 0;             // points
    int d = 0;             // coordinates per point
    std::vector<float> x;  // coordinate-major: coordinate k of point i at x[k * n + i]

    const float *coordinate(int k) const { return x.data() + static_cast<std::size_t>(k) * n; }
    float *coordinate(int k) { return x.data() + static_cast<std::size_t>(k) * n; }
};

// Maps every coordinate onto [0, 1] over the points.  Returns the index of the first coordinate
// whose minimum equals its maximum (left untouched with all later ones), or -1.
int rescale_to_unit(PointSet &points);

// Number of radii largest, largest/2, ... down to the last one above smallest (at least one);
// kMaxRadii + 1 stands for "more than kMaxRadii".  smallest must be positive.
int ladder_length(double largest, double smallest);
std::vector<double> halving_ladder(double largest, int length);

// counts[m] = ordered pairs (reference point, any point, itself included) whose distance is at
// most largest * 2^-m, for m = 0 ... nradii - 1.  nradii is at most kMaxRadii and largest is
// positive and no smaller than the smallest float, so every radius is largest times an exact
// power of two.  Both give the same numbers; the per-radius form is the plain definition, which
// forms every distance nradii times.
void count_pairs_once(const PointSet &points, double largest, int nradii, std::int64_t *counts);
// The same, calling each_reference(a) before the pairs of reference point a are counted.
void count_pairs_once(const PointSet &points, double largest, int nradii, std::int64_t *counts,
                      const std::function<void(int)> &each_reference);
void count_pairs_per_radius(const PointSet &points, double largest, int nradii,
                            std::int64_t *counts);

// ln(count / N^2), formed in double and held in single precision.
float log_correlation_sum(std::int64_t count, int n);

}  // namespace correlation
