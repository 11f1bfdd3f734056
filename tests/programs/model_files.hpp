// Input files of the batch programs, and the model written out again, independently of the
// model library, to check the programs against.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace batchtest {

struct ModelSetup {
    double y[3] = {0.1f, 0.1f, 0.1f};
    double a = 2.0, b = 0.125, A = 0.0, sigma = 0.0, c = 1.0;
    double t0 = 0.0, dt = 0.01;
    int mode = 1;
    long seed = 4711;
};

// Values are read back in single precision: write every digit a float has.
inline std::string state_file(const ModelSetup &m) {
    char text[1024];
    std::snprintf(text, sizeof text,
                  "test model\n"
                  "&var x %.9g -3 3\n&var v %.9g -3 3\n&var w %.9g 0 3\n"
                  "&par a %.9g 0\n&par b %.9g 0\n&par A %.9g 0\n&par sigma %.9g 0\n"
                  "&par c %.9g 0\n"
                  "&num t_start %.9g\n&num t_end 100\n&num dt %.9g\n&num on 0\n&num off 0\n"
                  "&msc %d 0 %ld\n",
                  m.y[0], m.y[1], m.y[2], m.a, m.b, m.A, m.sigma, m.c, m.t0, m.dt, m.mode,
                  m.seed);
    return text;
}

inline std::string pairs_file(const std::vector<std::pair<std::string, double>> &pairs) {
    std::string text;
    char line[128];
    for (const auto &p : pairs) {
        std::snprintf(line, sizeof line, "%s %.9g\n", p.first.c_str(), p.second);
        text += line;
    }
    return text;
}

// The noise-free model without forcing, for the reference trajectories of the tests.
inline ModelSetup g_reference;
inline void reference_model(double, double *y, double *f) {
    const ModelSetup &m = g_reference;
    const double x = y[0];
    f[0] = m.a * x - x * y[2] + y[1] - ((m.c * x) * x) * x;
    f[1] = -x;
    f[2] = m.b * ((std::fabs(x) + x) * x / 2 - y[2]);
}

}  // namespace batchtest
