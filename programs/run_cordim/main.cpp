// run_cordim: correlation dimension of a stored point set.
//
// "par.dat" names the point file and gives N, d, the largest and the smallest radius.  The first
// N points of d coordinates are rescaled to the unit cube; for radii that halve from the largest
// down to the last one above the smallest, "dimout.dat" gets ln r and ln C(r), where C(r) counts
// the ordered pairs (every hundredth point, any point) within r, divided by N^2.  The slope of
// ln C against ln r estimates the dimension.  Bad input ends the run with a message on standard
// error and status 1 before "dimout.dat" is opened; the table replaces the earlier one only
// when it is complete.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "correlation.hpp"
#include "output.hpp"
#include "progress.hpp"

namespace {

constexpr const char *kProgram = "run_cordim";
constexpr const char *kParFile = "par.dat";
constexpr const char *kOutFile = "dimout.dat";
constexpr int kMaxName = 4095;

// Settings array: N, d, largest radius, smallest radius, and the number of radii produced.
enum Setting { kPoints, kDims, kLargest, kSmallest, kRadii, kSettingCount };

int fail(const std::string &subject, const std::string &message) {
    std::fprintf(stderr, "run_cordim: %s: %s\n", subject.c_str(), message.c_str());
    return 0;
}

std::string text(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// N and d are truncated to int, so they must lie in its range before the cast.
bool whole_count(double v) { return v >= 1.0 && v < 2147483648.0; }

int read_settings(std::string &point_file, double *settings) {
    std::FILE *f = std::fopen(kParFile, "r");
    if (!f) return fail(kParFile, std::string("cannot open: ") + std::strerror(errno));
    char name[kMaxName + 1];
    const bool named = std::fscanf(f, "%4095s", name) == 1;
    const int after = std::fgetc(f);
    const bool name_fits = after == EOF || std::isspace(after);
    static const char *const kWhat[] = {"number of points", "number of coordinates",
                                        "largest radius", "smallest radius"};
    int read = 0;
    for (float v; named && name_fits && read < kRadii; ++read) {
        if (std::fscanf(f, "%f", &v) != 1) break;
        settings[read] = v;
    }
    std::fclose(f);
    if (!named) return fail(kParFile, "holds no point-file name");
    if (!name_fits) return fail(kParFile, "the point-file name is longer than 4095 characters");
    if (read < kRadii)
        return fail(kParFile, std::string("the ") + kWhat[read] + " is missing or not a number");
    point_file = name;

    const double n = settings[kPoints], d = settings[kDims];
    const double largest = settings[kLargest], smallest = settings[kSmallest];
    if (!whole_count(n))
        return fail(kParFile, "the number of points must be at least 1, not " + text(n));
    if (!whole_count(d))
        return fail(kParFile, "the number of coordinates must be at least 1, not " + text(d));
    if (!(largest > 0.0 && std::isfinite(largest)))
        return fail(kParFile,
                    "the largest radius must be positive and finite, not " + text(largest));
    if (!(smallest > 0.0))
        return fail(kParFile, "the smallest radius must be positive, not " + text(smallest));
    if (correlation::ladder_length(largest, smallest) > correlation::kMaxRadii)
        return fail(kParFile, "more than 100 radii lie between the largest and the smallest");
    return 1;
}

// The first n points of d coordinates, point after point; any further numbers are not read.
// The buffer grows with what the file holds, so a huge N with a short file costs no memory.
int read_points(const std::string &file, correlation::PointSet &points) {
    std::FILE *f = std::fopen(file.c_str(), "r");
    if (!f) return fail(file, std::string("cannot open: ") + std::strerror(errno));
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
        std::fclose(f);
        return fail(file, "not enough memory for " + std::to_string(needed) + " numbers");
    }
    std::fclose(f);
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

// The first N points of the file, each coordinate rescaled to [0, 1].
int load_points(const std::string &file, const double *settings, correlation::PointSet &points) {
    points.n = static_cast<int>(settings[kPoints]);
    points.d = static_cast<int>(settings[kDims]);
    if (!read_points(file, points)) return 0;
    const int flat = correlation::rescale_to_unit(points);
    if (flat >= 0)
        return fail(file, "coordinate " + std::to_string(flat) +
                              " has the same value in every point and cannot be rescaled");
    return 1;
}

// Fills sums[0 ... m-1] and settings[kRadii] = m.
void cordim(const correlation::PointSet &points, double *settings, float *sums) {
    int reference = 0;
    txprog::Progress progress(kProgram, [&] {
        return "counting the pairs of point " + std::to_string(reference + 1) +
               " of " + std::to_string(points.n);
    });
    const int m = correlation::ladder_length(settings[kLargest], settings[kSmallest]);
    std::int64_t counts[correlation::kMaxRadii];
    correlation::count_pairs_once(points, settings[kLargest], m, counts, [&](int a) {
        reference = a;
        progress.poll();
    });
    for (int i = 0; i < m; ++i) sums[i] = correlation::log_correlation_sum(counts[i], points.n);
    settings[kRadii] = m;
}

// The radius written is single precision, halved from the largest one line by line.
void write_table(std::FILE *f, const double *settings, const float *sums) {
    float r = static_cast<float>(settings[kLargest]);
    for (int i = 0; i < static_cast<int>(settings[kRadii]); ++i, r /= 2)
        std::fprintf(f, " %2.15f %2.15f \n", std::log(static_cast<double>(r)),
                     static_cast<double>(sums[i]));
}

}  // namespace

int main() {
    double settings[kSettingCount] = {};
    float sums[correlation::kMaxRadii] = {};
    std::string point_file;
    correlation::PointSet points;
    if (!read_settings(point_file, settings) || !load_points(point_file, settings, points))
        return 1;
    txprog::Output &table = txprog::open_output(kProgram, kOutFile);
    cordim(points, settings, sums);
    write_table(table.stream(), settings, sums);
    txprog::commit_outputs();
    return 0;
}
