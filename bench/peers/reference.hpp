// End states of the test problems in quadruple precision, each computed twice with different
// methods so that its accuracy is measured rather than assumed.
#pragma once

#include <vector>

namespace txpeers {

struct Reference {
    std::vector<double> y;        // the end state, rounded to double
    double method_difference;     // Fehlberg 7(8) against Bulirsch-Stoer, relative max norm
    double tolerance_difference;  // Fehlberg 7(8) at tolerance 1e-24 against 1e-28
    long steps;                   // accepted steps of the Fehlberg solution
};

template <class P>
Reference reference_solution();

// Relative max-norm distance: max |a_i - b_i| / max |b_i|.
double relative_error(const double *a, const std::vector<double> &b);

}  // namespace txpeers
