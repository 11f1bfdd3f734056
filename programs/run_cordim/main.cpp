// run_cordim: correlation dimension of a stored point set.
//
// "par.dat" names the point file and gives N, d, the largest and the smallest radius.  The first
// N points of d coordinates are rescaled to the unit cube; for radii that halve from the largest
// down to the last one above the smallest, "dimout.dat" gets ln r and ln C(r), where C(r) counts
// the ordered pairs (every hundredth point, any point) within r, divided by N^2.  The slope of
// ln C against ln r estimates the dimension.  Bad input ends the run with a message on standard
// error and status 1 before "dimout.dat" is opened; the table replaces the earlier one only
// when it is complete.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "correlation.hpp"
#include "input.hpp"
#include "output.hpp"
#include "progress.hpp"

namespace {

using namespace cordim_input;

constexpr const char *kProgram = "run_cordim";
constexpr const char *kParFile = "par.dat";
constexpr const char *kOutFile = "dimout.dat";

// Opens name for one of the readers; closes it again whatever they found.
template <class Read>
int read_file(const std::string &name, Read &&read) {
    std::FILE *f = std::fopen(name.c_str(), "r");
    if (!f) return fail(name, std::string("cannot open: ") + std::strerror(errno));
    const int ok = read(f);
    std::fclose(f);
    return ok;
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
    if (!read_file(kParFile, [&](std::FILE *f) {
            return read_settings(f, kParFile, point_file, settings);
        }))
        return 1;
    if (!read_file(point_file, [&](std::FILE *f) {
            return load_points(f, point_file, settings, points);
        }))
        return 1;
    txprog::Output &table = txprog::open_output(kProgram, kOutFile);
    cordim(points, settings, sums);
    write_table(table.stream(), settings, sums);
    txprog::commit_outputs();
    return 0;
}
