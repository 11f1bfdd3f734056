// run_nullclines WIDTH HEIGHT: the nullclines of two state variables of the model.
//
// The "&pph" record of "system.st" names the horizontal and the vertical variable and the window
// xmin xmax ymin ymax; the third variable keeps its "&var" value.  The window is scanned row by
// row on a 1000 x 1000 grid with the model evaluated at time 1.  Where a derivative is exactly 0
// at a grid point, or changes sign strictly between neighbours of a row (located by linear
// interpolation), the point goes to "x_null.dat" (derivative of the horizontal variable) or
// "y_null.dat" (vertical variable).  Interpolated points are also printed as pixel pairs
// "%i %i  " on one line of standard output for a WIDTH x HEIGHT canvas whose vertical axis runs
// downwards; pairs of the horizontal variable are shifted left by twice the width.
//
// "system.st" is read and checked before the tables are opened, so that a bad input leaves the
// tables of an earlier run as they were.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "batch.hpp"
#include "model.h"

namespace {

constexpr int kGrid = 1000;
constexpr long kMaxCanvas = 1L << 20;  // keeps px - 2 * width inside int

struct Window {
    int h, v;                       // indices of the horizontal and the vertical variable
    double xmin, xmax, ymin, ymax;
};

struct Canvas {
    int width, height;
};

constexpr const char *kProgram = "run_nullclines";

bool parse_size(const char *arg, int &out) {
    errno = 0;
    char *end;
    const long v = std::strtol(arg, &end, 10);
    if (errno != 0 || end == arg || *end != '\0' || v < 1 || v > kMaxCanvas) return false;
    out = static_cast<int>(v);
    return true;
}

// Refuses what would index past the state, scan nothing or feed non-numbers into the pixels.
std::string check_state(const StateFile &st, const Window &w) {
    for (int i = 0; i < kModelDim; ++i)
        if (!std::isfinite(st.var[i].value))
            return "system.st: state variable " + std::to_string(i) + " is not finite";
    for (int i = 0; i < kModelParams; ++i)
        if (!std::isfinite(par[i]))
            return "system.st: parameter " + std::to_string(i) + " is not finite";
    if (w.h < 0 || w.h >= kModelDim || w.v < 0 || w.v >= kModelDim || w.h == w.v)
        return "system.st: the &pph record must name two different variables out of 0, 1, 2 "
               "(got " + std::to_string(w.h) + " and " + std::to_string(w.v) + ")";
    if (!(w.xmin < w.xmax && w.ymin < w.ymax && std::isfinite(w.xmax - w.xmin) &&
          std::isfinite(w.ymax - w.ymin)))
        return "system.st: the &pph window needs finite bounds with xmin < xmax and ymin < ymax";
    return "";
}

int pixel(double fraction, int size) { return static_cast<int>(fraction * size); }

void scan(const Window &w, const Canvas &c, double *y, std::FILE *x_null, std::FILE *y_null) {
    const double dx = (w.xmax - w.xmin) / kGrid;
    const double dy = (w.ymax - w.ymin) / kGrid;
    double f[kModelDim];
    y[w.h] = 0.0;
    y[w.v] = w.ymin;
    while (y[w.v] < w.ymax) {
        const double row = y[w.v];
        const int py = pixel(1.0 - (row - w.ymin) / (w.ymax - w.ymin), c.height);
        double prev_fx = 0.0, prev_fy = 0.0;  // zero: the first point of a row has no partner
        y[w.h] = w.xmin;
        while (y[w.h] < w.xmax) {
            const double x = y[w.h];
            model(1.0, y, f);
            const double fx = f[w.h], fy = f[w.v];
            if (fx == 0.0) std::fprintf(x_null, "%f %f\n", x, row);
            if (fy == 0.0) std::fprintf(y_null, "%f %f\n", x, row);
            if ((fx > 0.0 && prev_fx < 0.0) || (fx < 0.0 && prev_fx > 0.0)) {
                const double xc = x - fx * dx / (fx - prev_fx);
                std::fprintf(x_null, "%f %f\n", xc, row);
                std::printf("%i %i  ",
                            pixel((xc - w.xmin) / (w.xmax - w.xmin), c.width) - 2 * c.width, py);
            }
            if ((fy > 0.0 && prev_fy < 0.0) || (fy < 0.0 && prev_fy > 0.0)) {
                const double xc = x - fy * dx / (fy - prev_fy);
                std::fprintf(y_null, "%f %f\n", xc, row);
                std::printf("%i %i  ", pixel((xc - w.xmin) / (w.xmax - w.xmin), c.width), py);
            }
            prev_fx = fx;
            prev_fy = fy;
            y[w.h] += dx;
        }
        y[w.v] += dy;
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3)
        txprog::fail(kProgram, "usage: run_nullclines WIDTH HEIGHT (canvas size in pixels)");
    Canvas canvas;
    if (!parse_size(argv[1], canvas.width) || !parse_size(argv[2], canvas.height))
        txprog::fail(kProgram,
                     "WIDTH and HEIGHT must be whole numbers from 1 to %ld, not '%s' '%s'",
                     kMaxCanvas, argv[1], argv[2]);

    model_program_start(&kRunNullclines);
    StateFile st;
    read_model_state(&kRunNullclines, &st);

    const Window window{st.pph[1], st.pph[2], st.window[0], st.window[1], st.window[2],
                        st.window[3]};
    const std::string problem = check_state(st, window);
    if (!problem.empty()) txprog::fail(kProgram, "%s", problem.c_str());
    double y[kModelDim];
    for (int i = 0; i < kModelDim; ++i) y[i] = st.var[i].value;
    std::FILE *x_null = txprog::open_output(kProgram, "x_null.dat").stream();
    std::FILE *y_null = txprog::open_output(kProgram, "y_null.dat").stream();
    scan(window, canvas, y, x_null, y_null);
    // The pixel pairs are a result too: losing them is a failure.
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        txprog::fail(kProgram, "standard output: %s", std::strerror(errno));
    txprog::commit_outputs();
    return 0;
}
