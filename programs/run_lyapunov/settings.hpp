// The ten values of "param.lce", checked before anything is computed or written.
#pragma once

namespace txlyap {

constexpr int kProcessValues = 10;

struct Settings {
    double eps;          // distance of the neighbouring trajectories
    double lyap_dt;      // renormalisation interval
    long trans_steps;    // discarded intervals
    long lyap_steps;     // counted intervals
    int written;         // exponents written
    int computed;        // exponents computed: 3 when the dimension is asked for
    int parameter;       // model parameter reported or swept
    double sweep_end;    // inclusive
    double increment;    // checked only by the sweep, which needs it
    bool with_dimension;
    double threshold;    // exponents of smaller magnitude count as 0 in the dimension
};

// Ends the program with a message naming the value and status 1 on a value that cannot work.
Settings checked_settings(const double *values);

// Ends the program unless a sweep from start can reach its end: a finite end, and an increment
// that moves every value up to it.
void check_sweep(const Settings &s, double start);

constexpr const char *kProgram = "run_lyapunov";

}  // namespace txlyap
