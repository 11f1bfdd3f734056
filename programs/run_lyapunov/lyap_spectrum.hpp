// The sorted spectrum, its Lyapunov (Kaplan-Yorke) dimension and the lines run_lyapunov writes.
#pragma once

#include <cstdio>

namespace txlyap {

// Descending, by bubble sort: n passes, each swapping neighbours whose right one is greater.
void sort_descending(double *exponents, int n);

// j + S / |lambda_j| for the first j at which the running sum S + lambda_j turns negative, with
// exponents of magnitude below threshold counted as 0.  When the sum never turns negative the
// attractor fills every direction computed: the dimension is n.
double lyap_dim(const double *sorted, int n, double threshold);

// What one computation gives: the sorted exponents, how many of them are written, and the
// dimension when it was asked for.
struct Spectrum {
    const double *sorted;
    int written;
    bool with_dimension;
    double dimension;
};

// " name=value\n LCEs=  e0  e1 ... [ \n D_lyap=D ]\n"
bool write_single(std::FILE *out, const char *name, double value, const Spectrum &s);
// "value     e0  e1 ... [ D ]\n"
bool write_sweep_line(std::FILE *out, double value, const Spectrum &s);

}  // namespace txlyap
