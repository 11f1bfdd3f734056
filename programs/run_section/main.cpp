// run_section outfile: the points where the model crosses the section x = 0 (optionally only
// those near a second plane), written to outfile and "pnc_tmp.out", and an estimate of their
// correlation dimension in "dimout.dat"; then the viewer and Grace on the tables.
//
// Bounds against runs that cannot finish: a crossing must come within kMaxStepsPerCrossing
// steps, the state must stay finite, and with the second section on, a point must be recorded
// within kMaxMisses crossings in a row.  Otherwise the exit status is 1 and, as after every
// failure, the three tables are left as they were.
#include <cmath>
#include <cstdio>
#include <string>

#include "batch.hpp"
#include "cordim.hpp"
#include "launch.hpp"
#include "model.h"
#include "progress.hpp"
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

// Points the loop records: the whole numbers from 0 up to below value 4.
int points_to_record(const double *v) {
    return v[kPoints] > 0 ? static_cast<int>(std::ceil(v[kPoints])) : 0;
}

// The dimension step reads one point fewer than were recorded; every spacing-th is a reference.
double reference_spacing(const double *v) {
    return std::rint((points_to_record(v) - 1) * v[kSpacing]);
}

void check_settings(const double *v) {
    if (!(v[kTolerance] > 0))
        fail(kProgram, "param.pnc: the section tolerance (value 3) must be positive, not %g",
             v[kTolerance]);
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
        // An infinite first radius never shrinks below the smallest one.
        if (!std::isfinite(v[kLargest]))
            fail(kProgram, "param.pnc: the largest radius (value 11) must be finite");
        if (!(v[kLargest] > v[kSmallest]))
            fail(kProgram, "param.pnc: the largest radius (value 11, %g) must exceed the smallest "
                 "(value 10, %g), or no radius is counted", v[kLargest], v[kSmallest]);
        if (!(v[kSpacing] > 0))
            fail(kProgram, "param.pnc: the reference spacing (value 14) must be positive");
        const int n = points_to_record(v) - 1;
        if (n < 1)
            fail(kProgram, "param.pnc: the correlation dimension needs at least two recorded "
                 "points (value 4)");
        if (reference_spacing(v) < 1)
            fail(kProgram, "param.pnc: the reference spacing (value 14 times %d points) rounds to 0",
                 n);
        // Crossings lie within the tolerance of x = 0, and the third column of the point file
        // holds x with six decimals: below this every value prints as 0 and cannot be rescaled.
        constexpr double kPrintedZero = 5e-7;
        if (v[kTolerance] < kPrintedZero)
            fail(kProgram, "param.pnc: with a section tolerance (value 3) of %g below %g, x at "
                 "the crossings, column 3 of pnc_tmp.out, prints as 0 every time and the "
                 "correlation dimension cannot be computed", v[kTolerance], kPrintedZero);
    }
}

struct Crossings {
    int mode;
    Traxis tx;
    double tolerance;
    double t;
    double y[kModelDim];
    float point[kModelDim];
    txprog::Progress *progress;

    // Moves on to the next crossing of x = 0, in either direction.
    void next() {
        progress->poll();
        if (mode == kModeAdaptive) {
            long steps = 0;
            while (TXPoincareStep(tx, &t, y) == 0) {
                progress->poll();
                if (++steps == kMaxStepsPerCrossing)
                    fail(kProgram, "no crossing of x = 0 within %ld steps", kMaxStepsPerCrossing);
            }
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

// Runs on the point file as written so far; check_settings made sure that n and the spacing
// are at least 1.
void write_dimension(const double *v, int recorded, txprog::Output &points,
                     txprog::Output &table) {
    const int n = recorded - 1;  // the last recorded point is not used
    const double spacing = reference_spacing(v);
    txprog::LadderSettings ladder_settings;
    ladder_settings.points = n;
    ladder_settings.spacing = spacing < n ? static_cast<int>(spacing) : n;
    ladder_settings.largest = v[kLargest];
    ladder_settings.smallest = v[kSmallest];
    ladder_settings.ratio = v[kRatio];
    points.flush();
    const txprog::Ladder ladder =
        txprog::cordim(points.written_path().c_str(), ladder_settings, kPointFile);
    if (!ladder.error.empty()) fail(kProgram, "%s", ladder.error.c_str());
    txprog::write_dimension_table(table.stream(), ladder, ladder_settings);
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

    Crossings c{in.mode, nullptr, v[kTolerance], num[0], {in.y[0], in.y[1], in.y[2]}, {}, nullptr};
    c.tx = TXOpenTraxis(model, kModelDim, 1e-6, 0.001);
    TXSetCut(c.tx, cutfun, v[kTolerance]);

    txprog::Output &out = txprog::open_outfile(kProgram, outname);
    txprog::Output &points = txprog::open_output(kProgram, kPointFile);
    txprog::Output *dimension =
        v[kDimensionOn] > 0 ? &txprog::open_output(kProgram, kDimensionFile) : nullptr;
    // Reading a FIFO back could wait for ever; a device gives back nothing.
    if (dimension && points.in_place())
        fail(kProgram, "%s: the correlation dimension reads it back, so it must be a regular "
             "file", kPointFile);
    write_header(out.stream(), in.names, v, in.st);

    int recorded = 0;
    long misses = 0;
    txprog::Progress progress(kProgram, [&] {
        char text[160];
        std::snprintf(text, sizeof text, "%d of %d points recorded, t = %g", recorded,
                      points_to_record(v), c.t);
        return std::string(text);
    });
    c.progress = &progress;
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
            std::fprintf(points.stream(), "%f %f %f \n", p[cx], p[cy], p[0]);
            std::fprintf(out.stream(), " %f %f %f \n", p[cx], p[cy], c.t);
            ++recorded;
            misses = 0;
        } else if (++misses == kMaxMisses) {
            fail(kProgram, "no crossing within the second section in %ld crossings in a row",
                 kMaxMisses);
        }
    }
    if (dimension) write_dimension(v, recorded, points, *dimension);
    TXCloseTraxis(c.tx);
    txprog::commit_outputs();
    txprog::run_with_file(" ./bv_viewer.tcl ", outname, " d &\n");
    txprog::run_shell(" xmgrace dimout.dat\n ");
    return 0;
}
