// What UserOutput sees of a two-parameter run: the record at each point written, with the step
// the run was taking.
#pragma once

#include <string>
#include <vector>

#include "tx.h"

namespace txtest {

struct CurvePoint {
    int steps;
    double c1, c2;  // the run's c1 and c2, whatever their registration order
    double T;
    double dc;  // *dc when the point was written
    std::vector<double> y;
};

inline thread_local std::vector<CurvePoint> *g_curve = nullptr;
inline thread_local const double *g_curve_step = nullptr;

inline void log_curve_point(Traxis tx, FILE *) {
    const TraxisBif b = tx->txb;
    g_curve->push_back({b->steps, b->c[b->cindi[1]], b->c[b->cindi[2]], b->T,
                        g_curve_step ? *g_curve_step : 0.0, {b->y, b->y + tx->order}});
}

// Logs the points of the runs made while it lives; dc: the step variable the runs are given.
struct CurveLog {
    std::vector<CurvePoint> points;
    explicit CurveLog(const double *dc = nullptr) {
        g_curve = &points;
        g_curve_step = dc;
    }
    ~CurveLog() {
        g_curve = nullptr;
        g_curve_step = nullptr;
    }
};

inline int occurrences(const std::string &text, const std::string &what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace txtest
