// run_cordim's inputs: "par.dat" up to the first NUL byte of the input, the point file after it.
// Accepted inputs go on through the rescaling and both pair counts, which must agree.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "correlation.hpp"
#include "harness.hpp"
#include "input.hpp"

using namespace cordim_input;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto *nul = static_cast<const std::uint8_t *>(std::memchr(data, 0, size));
    const std::size_t par_size = nul ? static_cast<std::size_t>(nul - data) : size;
    const std::size_t rest = nul ? size - par_size - 1 : 0;

    double settings[kSettingCount] = {};
    std::string point_file;
    {
        txfuzz::InputFile par(data, par_size);
        if (!read_settings(par.get(), "par.dat", point_file, settings)) return 0;
    }
    correlation::PointSet points;
    {
        txfuzz::InputFile pts(nul ? nul + 1 : data, rest);
        if (!load_points(pts.get(), point_file, settings, points)) return 0;
    }
    TXFUZZ_REQUIRE(points.x.size() == static_cast<std::size_t>(points.n) * points.d);
    for (float v : points.x) TXFUZZ_REQUIRE(v >= 0.0f && v <= 1.0f);  // the unit cube

    const double largest = settings[kLargest];
    const int m = correlation::ladder_length(largest, settings[kSmallest]);
    TXFUZZ_REQUIRE(m >= 1 && m <= correlation::kMaxRadii);
    std::int64_t once[correlation::kMaxRadii], plain[correlation::kMaxRadii];
    correlation::count_pairs_once(points, largest, m, once);
    correlation::count_pairs_per_radius(points, largest, m, plain);
    const std::int64_t refs = (points.n + correlation::kReferenceSpacing - 1) /
                              correlation::kReferenceSpacing;
    for (int i = 0; i < m; ++i) {
        TXFUZZ_REQUIRE(once[i] == plain[i]);  // the fast count is the plain definition
        TXFUZZ_REQUIRE(once[i] >= refs && once[i] <= refs * points.n);  // each point with itself
        if (i > 0) TXFUZZ_REQUIRE(once[i] <= once[i - 1]);
        const float sum = correlation::log_correlation_sum(once[i], points.n);
        TXFUZZ_REQUIRE(std::isfinite(sum) && sum <= 0.0f);
    }
    // a radius reaching across the unit cube counts every pair of a reference point
    if (largest >= std::sqrt(static_cast<double>(points.d))) TXFUZZ_REQUIRE(once[0] == refs * points.n);
    return 0;
}
