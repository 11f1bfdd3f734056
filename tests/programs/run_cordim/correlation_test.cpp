// Pair counting: the once-per-pair count against the plain per-radius definition, the ladder and
// the rescaling.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "correlation.hpp"

namespace {

using correlation::PointSet;

PointSet random_points(int n, int d, std::uint32_t seed) {
    std::mt19937 gen(seed);
    PointSet p{n, d, std::vector<float>(static_cast<std::size_t>(n) * d)};
    for (float &v : p.x) v = static_cast<float>(gen() >> 8) * 0x1p-24f;
    return p;
}

std::vector<std::int64_t> counts_once(const PointSet &p, double largest, int nradii) {
    std::vector<std::int64_t> c(nradii);
    correlation::count_pairs_once(p, largest, nradii, c.data());
    return c;
}

std::vector<std::int64_t> counts_per_radius(const PointSet &p, double largest, int nradii) {
    std::vector<std::int64_t> c(nradii);
    correlation::count_pairs_per_radius(p, largest, nradii, c.data());
    return c;
}

TEST(PairCount, OnceEqualsPerRadiusOnRandomDataInOneToFiveDimensions) {
    // 1237 points: a partial block of partners and a partial hundred of reference points; a few
    // repeated points give distances of exactly 0 between different points.
    for (int d = 1; d <= 5; ++d) {
        PointSet p = random_points(1237, d, 17u + d);
        for (int k = 0; k < d; ++k) p.coordinate(k)[700] = p.coordinate(k)[100];
        ASSERT_EQ(correlation::rescale_to_unit(p), -1);
        for (const double largest : {1.5, double{0.3f}, 4.0}) {
            const int m = correlation::ladder_length(largest, 1e-6);
            EXPECT_EQ(counts_once(p, largest, m), counts_per_radius(p, largest, m))
                << d << " dimensions, largest radius " << largest;
        }
    }
}

TEST(PairCount, DistancesExactlyOnARadiusCountForItAndEveryLargerOne) {
    // A lattice of eighths in two dimensions: many distances equal a radius of the ladder exactly.
    PointSet p{0, 2, {}};
    std::vector<float> xs, ys;
    for (int i = 0; i <= 8; ++i)
        for (int j = 0; j <= 8; ++j) xs.push_back(i / 8.0f), ys.push_back(j / 8.0f);
    p.n = static_cast<int>(xs.size());
    p.x = xs;
    p.x.insert(p.x.end(), ys.begin(), ys.end());
    const auto once = counts_once(p, 1.0, 5);
    EXPECT_EQ(once, counts_per_radius(p, 1.0, 5));
    // Reference point 0 is the origin: within 1/8 lie it and its two lattice neighbours.
    EXPECT_EQ(once[3], 3);
}

TEST(PairCount, RadiusOfAtLeastRootDCountsEveryPairOfAReferencePoint) {
    PointSet p = random_points(250, 3, 5);
    ASSERT_EQ(correlation::rescale_to_unit(p), -1);
    const auto once = counts_once(p, std::sqrt(3.0), 40);
    EXPECT_EQ(once[0], 3 * 250);  // reference points 0, 100, 200
    EXPECT_EQ(once[39], 3);       // each with itself only
    EXPECT_FLOAT_EQ(correlation::log_correlation_sum(once[0], 250), std::log(3.0 / 250));
}

TEST(PairCount, LogSumDoesNotOverflowForManyPoints) {
    EXPECT_EQ(correlation::log_correlation_sum(100000, 100000),
              static_cast<float>(std::log(1e5 / 1e10)));
}

TEST(Ladder, HalvesDownToTheLastRadiusAboveTheSmallest) {
    EXPECT_EQ(correlation::ladder_length(1.0, 0.1), 4);
    EXPECT_EQ(correlation::halving_ladder(1.0, 4), (std::vector<double>{1, 0.5, 0.25, 0.125}));
    EXPECT_EQ(correlation::ladder_length(1.0, 0.125), 3);  // not greater: stops
    EXPECT_EQ(correlation::ladder_length(0.5, 2.0), 1);    // always one radius
    EXPECT_EQ(correlation::ladder_length(1.0, std::ldexp(1.0, -100)), 100);
    EXPECT_EQ(correlation::ladder_length(1.0, std::ldexp(1.0, -101)), 101);  // too many
    EXPECT_EQ(correlation::ladder_length(1.0, 1e-300), 101);
}

TEST(Rescale, MapsEachCoordinateOntoTheUnitIntervalAndNamesAFlatOne) {
    PointSet p{3, 2, {2, 4, 3, 7, 7, 7}};
    EXPECT_EQ(correlation::rescale_to_unit(p), 1);
    EXPECT_EQ(p.x, (std::vector<float>{0, 1, 0.5f, 7, 7, 7}));
}

}  // namespace
