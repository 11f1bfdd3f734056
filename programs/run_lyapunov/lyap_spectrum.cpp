#include "lyap_spectrum.hpp"

#include <cmath>
#include <utility>

namespace txlyap {

void sort_descending(double *exponents, int n) {
    for (int pass = 0; pass < n; ++pass)
        for (int i = 0; i + 1 < n; ++i)
            if (exponents[i + 1] > exponents[i]) std::swap(exponents[i], exponents[i + 1]);
}

double lyap_dim(const double *sorted, int n, double threshold) {
    double sum = 0.0;
    for (int j = 0; j < n; ++j) {
        const double lambda = std::fabs(sorted[j]) < threshold ? 0.0 : sorted[j];
        const double before = sum;
        sum += lambda;
        if (!(sum >= 0.0)) return j + before / std::fabs(lambda);
    }
    return n;
}

namespace {

bool write_exponents(std::FILE *out, const Spectrum &s) {
    for (int i = 0; i < s.written; ++i)
        if (std::fprintf(out, "  %f", s.sorted[i]) < 0) return false;
    return true;
}

}  // namespace

bool write_single(std::FILE *out, const char *name, double value, const Spectrum &s) {
    bool ok = std::fprintf(out, " %s=%f\n LCEs=", name, value) >= 0 && write_exponents(out, s);
    if (ok && s.with_dimension) ok = std::fprintf(out, " \n D_lyap=%f ", s.dimension) >= 0;
    return ok && std::fprintf(out, "\n") >= 0;
}

bool write_sweep_line(std::FILE *out, double value, const Spectrum &s) {
    bool ok = std::fprintf(out, "%f   ", value) >= 0 && write_exponents(out, s);
    if (ok && s.with_dimension) ok = std::fprintf(out, " %f ", s.dimension) >= 0;
    return ok && std::fprintf(out, "\n") >= 0;
}

}  // namespace txlyap
