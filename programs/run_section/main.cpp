// run_section outfile: the points where the model crosses the section x = 0 (optionally only
// those near a second plane), written to outfile and "pnc_tmp.out", and an estimate of their
// correlation dimension in "dimout.dat"; then the viewer and Grace on the tables.
//
// Bounds against runs that cannot finish: a crossing must come within kMaxStepsPerCrossing
// steps, the state must stay finite, and with the second section on, a point must be recorded
// within kMaxMisses crossings in a row.  Otherwise the tables keep the points recorded so far
// and the exit status is 1.
#include <cmath>

#include "batch.hpp"
#include "cordim.hpp"
#include "launch.hpp"
#include "model.h"
#include "tx.h"

namespace {

using txprog::fail;

constexpr const char *kProgram = "run_section";
constexpr const char *kPointFile = "pnc_tmp.out";
constexpr const char *kDimensionFile = "dimout.dat";
constexpr int kSettings = 14;
constexpr int kHeaderSettings = 13;  // the last setting is not written to the table
constexpr long kMaxStepsPerCrossing = kFixedPoincareMaxSteps;  // adaptive steps
constexpr long kMaxMisses = 1000000;
constexpr double kMaxPoints = 1e9;

// Positions in "param.pnc".
enum {
    kColumnX, kColumnY, kTolerance, kPoints, kSecondOn, kSecondComponent, kSecondValue,
    kSecondWidth, kDimensionOn, kSmallest, kLargest, kSelection, kRatio, kSpacing
};

// A truncated component index, or exit.
int component(const double *v, int position) {
    const double k = std::trunc(v[position]);
    if (!(k >= 0 && k < kModelDim))
        fail(kProgram, "param.pnc: value %d must be a component index 0, 1 or 2, not %g",
             position + 1, v[position]);
    return static_cast<int>(k);
}

void check_settings(const double *v) {
    // Counts are ints; far more points than any run records.
    if (!(v[kPoints] <= kMaxPoints))
        fail(kProgram, "param.pnc: the number of points (value 4) must not exceed %g", kMaxPoints);
    if (!(v[kSecondOn] >= 0))
        fail(kProgram, "param.pnc: the second-section switch (value 5) must not be negative");
    if (v[kSecondOn] > 0 && !(v[kSecondWidth] > 0))
        fail(kProgram, "param.pnc: the width of the second section (value 8) must be positive");
    if (v[kDimensionOn] > 0) {
        if (!(v[kRatio] > 0 && v[kRatio] < 1))
            fail(kProgram, "param.pnc: the radius ratio (value 13) must lie between 0 and 1");
        if (!(v[kSmallest] > 0))
            fail(kProgram, "param.pnc: the smallest radius (value 10) must be positive");
        if (!(v[kSpacing] > 0))
            fail(kProgram, "param.pnc: the reference spacing (value 14) must be positive");
    }
}

struct Crossings {
    int mode;
    Traxis tx;
    double tolerance;
    double t;
    double y[kModelDim];
    float point[kModelDim];

    // Moves on to the next crossing of x = 0, in either direction.
    void next() {
        if (mode == kModeAdaptive) {
            long steps = 0;
            while (TXPoincareStep(tx, &t, y) == 0)
                if (++steps == kMaxStepsPerCrossing)
                    fail(kProgram, "no crossing of x = 0 within %ld steps", kMaxStepsPerCrossing);
            for (int i = 0; i < kModelDim; ++i) point[i] = static_cast<float>(y[i]);
        } else {
            t = Fixed_PoincareStep(tx, tolerance, mode, t, y, point);
            // Besides a missing crossing: the noisy four-stage steps never get shorter than
            // the library's noise step, so a tolerance below what x moves in one of them
            // cannot be met.
            if (std::isnan(t))
                fail(kProgram,
                     "no crossing of x = 0 located within %g in %ld fixed steps; in run mode 2 "
                     "the tolerance (value 3) must exceed the change of x in one step of 0.001",
                     tolerance, static_cast<long>(kFixedPoincareMaxSteps));
        }
        // A diverged state would go on "crossing" at once and fill the tables with NaN.
        for (double yi : y)
            if (!std::isfinite(yi)) fail(kProgram, "the state is no longer finite at t = %g", t);
    }

};

bool write_header(std::FILE *out, const char (*names)[kProcNameMax + 1], const double *v,
                  const StateFile &st) {
    bool ok = txprog::write_named_lines(out, txprog::process_pairs(names, v, kHeaderSettings),
                                        "# %s=%f \n");
    ok &= txprog::write_named_lines(out, txprog::model_parameters(st), "# %s =%f \n");
    ok &= std::fprintf(out, "#  x_title X_Poincare_var \n") >= 0;
    ok &= std::fprintf(out, "#  y_title y_Poincare_var \n") >= 0;
    return ok;
}

void write_dimension(const double *v, int recorded) {
    const int n = recorded - 1;  // the last recorded point is not used
    if (n < 1) fail(kProgram, "the correlation dimension needs at least two recorded points");
    const double spacing = std::rint(n * v[kSpacing]);
    if (spacing < 1)
        fail(kProgram, "the reference spacing (value 14 times %d points) rounds to 0", n);
    txprog::LadderSettings ladder_settings;
    ladder_settings.points = n;
    ladder_settings.spacing = spacing < n ? static_cast<int>(spacing) : n;
    ladder_settings.largest = v[kLargest];
    ladder_settings.smallest = v[kSmallest];
    ladder_settings.ratio = v[kRatio];
    const txprog::Ladder ladder = txprog::cordim(kPointFile, ladder_settings);
    if (!ladder.error.empty()) fail(kProgram, "%s", ladder.error.c_str());
    std::FILE *out = std::fopen(kDimensionFile, "w");
    if (!out) fail(kProgram, "could not open %s for writing", kDimensionFile);
    const bool written = txprog::write_dimension_table(out, ladder, ladder_settings);
    txprog::close_written(kProgram, out, kDimensionFile, written);
}

}  // namespace

int main(int argc, char **argv) {
    const char *outname = txprog::output_argument(argc, argv, kProgram);
    txprog::BatchInputs in;
    txprog::read_inputs(kProgram, &kRunSection, in);
    const double *v = in.values;
    const int cx = component(v, kColumnX), cy = component(v, kColumnY);
    const int second = v[kSecondOn] > 0 ? component(v, kSecondComponent) : 0;
    check_settings(v);

    Crossings c{in.mode, nullptr, v[kTolerance], num[0], {in.y[0], in.y[1], in.y[2]}, {}};
    c.tx = TXOpenTraxis(model, kModelDim, 1e-6, 0.001);
    TXSetCut(c.tx, cutfun, v[kTolerance]);

    std::FILE *out = txprog::open_outfile(outname);
    std::FILE *points = std::fopen(kPointFile, "w");
    if (!points) fail(kProgram, "could not open %s for writing", kPointFile);
    bool out_ok = write_header(out, in.names, v, in.st), points_ok = true;

    int recorded = 0;
    long misses = 0;
    if (v[kSelection] == 0) c.next();  // drop the first crossing
    while (recorded < v[kPoints]) {
        c.next();
        if (v[kSelection] < 2) c.next();  // one direction only
        float d = static_cast<float>(10 * v[kSecondWidth]);
        if (v[kSecondOn] > 0) {
            d = static_cast<float>(std::fabs(c.y[second] - v[kSecondValue]));
            std::printf(" Diuble section: %i points \n ", recorded);
        }
        if (v[kSecondOn] == 0 || 0.5 * v[kSecondWidth] > d) {
            const float *p = c.point;
            // The third column is the section variable itself.
            points_ok &= std::fprintf(points, "%f %f %f \n", p[cx], p[cy], p[0]) >= 0;
            out_ok &= std::fprintf(out, " %f %f %f \n", p[cx], p[cy], c.t) >= 0;
            ++recorded;
            misses = 0;
        } else if (++misses == kMaxMisses) {
            fail(kProgram, "no crossing within the second section in %ld crossings in a row",
                 kMaxMisses);
        }
    }
    txprog::close_written(kProgram, out, outname, out_ok);
    txprog::close_written(kProgram, points, kPointFile, points_ok);
    if (v[kDimensionOn] > 0) write_dimension(v, recorded);

    TXCloseTraxis(c.tx);
    txprog::run_with_file(" ./bv_viewer.tcl ", outname, " d &\n");
    txprog::run_shell(" xmgrace dimout.dat\n ");
    return 0;
}
