// run_cordim's readers of "par.dat" and of the point file.
#include "input.hpp"

#include <cctype>
#include <cmath>
#include <new>
#include <vector>

namespace cordim_input {
namespace {

constexpr int kMaxName = 4095;

std::string text(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// N and d are truncated to int, so they must lie in its range before the cast.
bool whole_count(double v) { return v >= 1.0 && v < 2147483648.0; }

}  // namespace

int fail(const std::string &subject, const std::string &message) {
    std::fprintf(stderr, "run_cordim: %s: %s\n", subject.c_str(), message.c_str());
    return 0;
}

int read_settings(std::FILE *f, const char *name, std::string &point_file,
                  double *settings) {
    char point[kMaxName + 1];
    const bool named = std::fscanf(f, "%4095s", point) == 1;
    const int after = std::fgetc(f);
    const bool name_fits = after == EOF || std::isspace(after);
    static const char *const kWhat[] = {"number of points", "number of coordinates",
                                        "largest radius", "smallest radius"};
    int read = 0;
    for (float v; named && name_fits && read < kRadii; ++read) {
        if (std::fscanf(f, "%f", &v) != 1) break;
        settings[read] = v;
    }
    if (!named) return fail(name, "holds no point-file name");
    if (!name_fits) return fail(name, "the point-file name is longer than 4095 characters");
    if (read < kRadii)
        return fail(name, std::string("the ") + kWhat[read] + " is missing or not a number");
    point_file = point;

    const double n = settings[kPoints], d = settings[kDims];
    const double largest = settings[kLargest], smallest = settings[kSmallest];
    if (!whole_count(n))
        return fail(name, "the number of points must be at least 1, not " + text(n));
    if (!whole_count(d))
        return fail(name, "the number of coordinates must be at least 1, not " + text(d));
    if (!(largest > 0.0 && std::isfinite(largest)))
        return fail(name,
                    "the largest radius must be positive and finite, not " + text(largest));
    if (!(smallest > 0.0))
        return fail(name, "the smallest radius must be positive, not " + text(smallest));
    if (correlation::ladder_length(largest, smallest) > correlation::kMaxRadii)
        return fail(name, "more than 100 radii lie between the largest and the smallest");
    return 1;
}

namespace {

// The first n points of d coordinates, point after point; any further numbers are not read.
// The buffer grows with what the file holds, so a huge N with a short file costs no memory.
int read_points(std::FILE *f, const std::string &file, correlation::PointSet &points) {
    const long long needed = static_cast<long long>(points.n) * points.d;
    std::vector<float> values;
    bool finite = true;
    try {
        for (float v; static_cast<long long>(values.size()) < needed && finite;) {
            if (std::fscanf(f, "%f", &v) != 1) break;
            finite = std::isfinite(v);
            values.push_back(v);
        }
    } catch (const std::bad_alloc &) {
        return fail(file, "not enough memory for " + std::to_string(needed) + " numbers");
    }
    const long long got = static_cast<long long>(values.size());
    if (!finite) return fail(file, "number " + std::to_string(got) + " is not finite");
    if (got < needed)
        return fail(file, "holds only " + std::to_string(got) + " readable numbers where " +
                              std::to_string(points.n) + " points of " +
                              std::to_string(points.d) + " coordinates need " +
                              std::to_string(needed));
    try {
        points.x.resize(values.size());
    } catch (const std::bad_alloc &) {
        return fail(file, "not enough memory for " + std::to_string(needed) + " numbers");
    }
    for (int i = 0; i < points.n; ++i)
        for (int k = 0; k < points.d; ++k)
            points.coordinate(k)[i] = values[static_cast<std::size_t>(i) * points.d + k];
    return 1;
}

}  // namespace

int load_points(std::FILE *f, const std::string &file, const double *settings,
                correlation::PointSet &points) {
    points.n = static_cast<int>(settings[kPoints]);
    points.d = static_cast<int>(settings[kDims]);
    if (!read_points(f, file, points)) return 0;
    const int flat = correlation::rescale_to_unit(points);
    if (flat >= 0)
        return fail(file, "coordinate " + std::to_string(flat) +
                              " has the same value in every point and cannot be rescaled");
    return 1;
}

}  // namespace cordim_input
