// Correlation dimension of the recorded section points by pair counting over a ladder of radii.
#include "cordim.hpp"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>

namespace txprog {

namespace {

constexpr int kDim = 3;

using Coordinates = std::array<std::vector<float>, kDim>;  // coordinate-major

std::string read_points(const char *path, const char *name, int n, Coordinates &x) {
    std::FILE *f = std::fopen(path, "r");
    if (!f) return std::string(name) + ": " + std::strerror(errno);
    for (auto &c : x) c.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        for (int d = 0; d < kDim; ++d) {
            if (std::fscanf(f, "%f", &x[d][static_cast<std::size_t>(i)]) != 1) {
                std::fclose(f);
                return std::string(name) + " holds fewer than " + std::to_string(n) + " points";
            }
        }
    }
    std::fclose(f);
    return {};
}

std::string rescale(const char *path, Coordinates &x) {
    for (int d = 0; d < kDim; ++d) {
        auto &c = x[d];
        double lo = c[0], hi = c[0];
        for (float v : c) {
            if (v < lo) lo = v;
            if (v > hi) hi = v;
        }
        if (!(hi > lo))
            return "column " + std::to_string(d + 1) + " of " + path +
                   " holds one value only, so it cannot be rescaled";
        for (float &v : c) v = static_cast<float>((v - lo) / (hi - lo));
    }
    return {};
}

// Coordinate differences and their squares in single precision, the sum in double.
long long pairs_within(const Coordinates &x, int n, int spacing, double r) {
    long long count = 0;
    for (int a = 0; a < n; a += spacing) {
        for (int b = 0; b < n; ++b) {
            double sum = 0.0;
            for (int d = 0; d < kDim; ++d) {
                const float diff = x[d][static_cast<std::size_t>(a)] - x[d][static_cast<std::size_t>(b)];
                const float sq = diff * diff;
                sum += sq;
            }
            if (std::sqrt(sum) <= r) ++count;
        }
    }
    return count;
}

}  // namespace

Ladder cordim(const char *path, const LadderSettings &settings, const char *shown_as) {
    const char *name = shown_as ? shown_as : path;
    Ladder ladder;
    const int n = settings.points;
    if (n < 1) {
        ladder.error = "no points for the correlation dimension";
        return ladder;
    }
    try {
        Coordinates x;
        ladder.error = read_points(path, name, n, x);
        if (ladder.error.empty()) ladder.error = rescale(name, x);
        if (!ladder.error.empty()) return ladder;
        const float pairs = static_cast<float>(static_cast<long long>(n) * n);
        for (double r = settings.largest; r > settings.smallest; r *= settings.ratio) {
            const float q = static_cast<float>(pairs_within(x, n, settings.spacing, r)) / pairs;
            ladder.sums.push_back(static_cast<float>(std::log(static_cast<double>(q))));
        }
    } catch (const std::bad_alloc &) {
        ladder.sums.clear();
        ladder.error = "not enough memory for " + std::to_string(n) + " points";
    }
    return ladder;
}

bool write_dimension_table(std::FILE *out, const Ladder &ladder, const LadderSettings &settings) {
    const std::vector<float> &s = ladder.sums;
    const double ratio = settings.ratio;
    double r = settings.largest / ratio;
    for (std::size_t i = 0; i + 1 < s.size(); ++i) {
        r = r * ratio;
        const float rise = s[i] - s[i + 1];
        const float slope = static_cast<float>(rise / (std::log(r) - std::log(ratio * r)));
        if (std::fprintf(out, " %2.15f %2.15f %2.15f \n", std::log(r), s[i], slope) < 0)
            return false;
    }
    return true;
}

}  // namespace txprog
