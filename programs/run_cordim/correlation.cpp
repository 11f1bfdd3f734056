// Pair counting for the correlation dimension.
#include "correlation.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace correlation {

namespace {

constexpr int kBlock = 512;  // partner points whose distances are formed together

// Distances from reference point a to the points b0 ... b0 + len - 1: differences, squares and
// their sum in double from the single-precision coordinates, summed over k upwards.
void block_distances(const PointSet &p, int a, int b0, int len, double *dist) {
    std::fill(dist, dist + len, 0.0);
    for (int k = 0; k < p.d; ++k) {
        const float *c = p.coordinate(k);
        const double ca = c[a];
        for (int i = 0; i < len; ++i) {
            const double diff = ca - static_cast<double>(c[b0 + i]);
            dist[i] += diff * diff;
        }
    }
    for (int i = 0; i < len; ++i) dist[i] = std::sqrt(dist[i]);
}

std::uint64_t bits_of(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

}  // namespace

int rescale_to_unit(PointSet &points) {
    for (int k = 0; k < points.d; ++k) {
        float *c = points.coordinate(k);
        const auto [lo, hi] = std::minmax_element(c, c + points.n);
        const double min = *lo, max = *hi;
        if (min == max) return k;
        for (int i = 0; i < points.n; ++i) c[i] = static_cast<float>((c[i] - min) / (max - min));
    }
    return -1;
}

int ladder_length(double largest, double smallest) {
    int m = 0;
    double r = largest;
    do {
        ++m;
        r /= 2;
    } while (r > smallest && m <= kMaxRadii);
    return m;
}

std::vector<double> halving_ladder(double largest, int length) {
    std::vector<double> radii(length);
    double r = largest;
    for (double &radius : radii) {
        radius = r;
        r /= 2;
    }
    return radii;
}

// Each distance is formed once and filed under the number of radii it lies within; a pair within
// radius m is within every larger one, so the count of radius m is a tail sum of that histogram.
//
// The radii are largest * 2^-m exactly, so d <= largest * 2^-m exactly when d * 2^m <= largest.
// With d = md * 2^ed and largest = ml * 2^el (mantissas in [1, 2)) that holds for every
// m < el - ed, for m = el - ed when md <= ml, and for no larger m: the number of radii d lies
// within is el - ed + (md <= ml), clamped to 0 ... nradii.  Nonzero distances are normal numbers:
// squares of float differences stay far above the double underflow.
void count_pairs_once(const PointSet &points, double largest, int nradii,
                      std::int64_t *counts) {
    count_pairs_once(points, largest, nradii, counts, nullptr);
}

void count_pairs_once(const PointSet &points, double largest, int nradii, std::int64_t *counts,
                      const std::function<void(int)> &each_reference) {
    constexpr std::uint64_t kMantissa = (std::uint64_t{1} << 52) - 1;
    const std::uint64_t bits_largest = bits_of(largest);
    const std::int64_t exp_largest = static_cast<std::int64_t>(bits_largest >> 52);
    const std::uint64_t mant_largest = bits_largest & kMantissa;

    // Four interleaved histograms keep successive increments of one bin from waiting on
    // each other.
    constexpr int kBins = kMaxRadii + 1;
    std::array<std::int64_t, 4 * kBins> within{};
    std::array<double, kBlock> dist;
    std::array<int, kBlock> bin;
    for (int a = 0; a < points.n; a += kReferenceSpacing) {
        if (each_reference) each_reference(a);
        for (int b0 = 0; b0 < points.n; b0 += kBlock) {
            const int len = std::min(kBlock, points.n - b0);
            block_distances(points, a, b0, len, dist.data());
            for (int i = 0; i < len; ++i) {
                const std::uint64_t bits = bits_of(dist[i]);
                const std::int64_t radii_within =
                    exp_largest - static_cast<std::int64_t>(bits >> 52) +
                    ((bits & kMantissa) <= mant_largest);
                bin[i] = bits == 0 ? nradii
                                   : static_cast<int>(std::clamp<std::int64_t>(radii_within, 0,
                                                                               nradii));
            }
            for (int i = 0; i < len; ++i) ++within[(i & 3) * kBins + bin[i]];
        }
    }
    std::int64_t tail = 0;
    for (int m = nradii - 1; m >= 0; --m) {
        for (int h = 0; h < 4; ++h) tail += within[h * kBins + m + 1];
        counts[m] = tail;
    }
}

void count_pairs_per_radius(const PointSet &points, double largest, int nradii,
                            std::int64_t *counts) {
    const std::vector<double> radii = halving_ladder(largest, nradii);
    for (int m = 0; m < nradii; ++m) {
        std::int64_t count = 0;
        for (int a = 0; a < points.n; a += kReferenceSpacing) {
            for (int b = 0; b < points.n; ++b) {
                double sum = 0.0;
                for (int k = 0; k < points.d; ++k) {
                    const float *c = points.coordinate(k);
                    const double diff = static_cast<double>(c[a]) - c[b];
                    sum += diff * diff;
                }
                if (std::sqrt(sum) <= radii[m]) ++count;
            }
        }
        counts[m] = count;
    }
}

float log_correlation_sum(std::int64_t count, int n) {
    const double pairs = static_cast<double>(n) * n;  // N^2 overflows int beyond 46340 points
    return static_cast<float>(std::log(static_cast<double>(count) / pairs));
}

}  // namespace correlation
