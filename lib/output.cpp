// Trajectory output: the table writers and the per-point records of continuation runs.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "detail/enter.hpp"
#include "detail/record.hpp"
#include "detail/target.hpp"
#include "detail/work.hpp"
#include "tx.h"

using tx::detail::attached_record;
using tx::detail::record_order;

namespace {

constexpr int kWriteFailed = -1;

// The first order + 1 characters must all be digits: the widths are computed from them, and a
// shorter string would be read past its end.
bool valid_columns(const char *format, int order) {
    if (!format) return false;
    for (int i = 0; i <= order; ++i)  // stops at the terminator, which is no digit
        if (format[i] < '0' || format[i] > '9') return false;
    return true;
}

// Arguments the three writers share, and the work memory of sample_trajectory; the code to
// refuse them with, or 0.
int sampling_refusal(Traxis tx, double t0, double t1, long n, tx::detail::Work &work) {
    if (n < 1 || !tx::detail::target_ahead(t0, t1)) return TX_ERR_NEGATIVE_STEP;
    const double dt = (t1 - t0) / static_cast<double>(n);
    if (!std::isfinite(dt)) return TX_ERR_NEGATIVE_STEP;  // t1 - t0 overflowed
    // Sample times are summed up from t0; where adding dt no longer moves them on, the same row
    // would be written for ever.  The widest spacing of doubles in the range is at one of these.
    for (double x : {t0, t1, t1 + dt})
        if (!(x + dt > x)) return TX_ERR_STEP_TOO_SMALL;
    if (!tx->fcn) return TX_ERR_NO_RHS;
    if (!work.resize(2 * static_cast<std::size_t>(tx->order))) return TX_ERR_NO_MEMORY;
    return 0;
}

// The handle's record of the selection: output[i] is 1 for printed columns, form holds the
// format of column i at 9 * i.
void record_columns(Traxis tx, const char *format) {
    static constexpr char kForms[10][9] = {"%6.0e ",  "%7.1e ",  "%8.2e ",  "%9.3e ",
                                           "%10.4e ", "%11.5e ", "%12.6e ", "%13.7e ",
                                           "%14.8e ", "%15.9e "};
    for (int i = 0; i <= tx->order; ++i) {
        const int d = format[i] - '0';
        tx->output[i] = d != 0;
        std::memcpy(tx->form + 9 * i, kForms[d], 9);
    }
}

// Digit d prints the column as %(d+6).(d)e followed by a blank; 0 leaves it out.
bool write_row(std::FILE *file, const char *format, int order, double t, const double *y) {
    for (int i = 0; i <= order; ++i) {
        const int d = format[i] - '0';
        if (d != 0 && std::fprintf(file, "%*.*e ", d + 6, d, i == 0 ? t : y[i - 1]) < 0)
            return false;
    }
    return std::fputc('\n', file) != EOF;
}

// Integrates from *t and hands emit the start and the samples at *t + dt, *t + 2 dt, ... up to
// t1 (times summed up, dt = (t1 - *t) / n), taken by dense output inside the adaptive steps,
// which run on undisturbed.  Only when done(), the flush or close of the destination, succeeds
// too do *t and y take the last sample; any failure leaves them as they were.  Returns 1,
// kWriteFailed, or the result of a failed step or interpolation.
template <class Emit, class Done>
int sample_trajectory(Traxis tx, double *t, double t1, long n, double *y, tx::detail::Work &work,
                      Emit &&emit, Done &&done) {
    const int order = tx->order;
    double *const state = work.data();
    double *const sample = state + order;
    std::copy_n(y, order, state);
    std::copy_n(y, order, sample);
    const double dt = (t1 - *t) / static_cast<double>(n);
    int status = emit(*t, y) ? 1 : kWriteFailed;
    double tact = *t, tout = *t;
    // Counted rather than run while tout <= t1 + dt/2: where dt is resolved coarsely (a span of
    // a few subnormals, times far from 0) the summed times drift and that test would add a row.
    for (long k = 1; status == 1 && k <= n; ++k) {
        tout += dt;
        while (status == 1 && tout > tact) status = TXStep(tx, &tact, state);
        if (status == 1) status = TXInterpolate(tx, tout, sample);
        if (status == 1 && !emit(tout, sample)) status = kWriteFailed;
    }
    if (!done() && status == 1) status = kWriteFailed;
    if (status != 1) return status;
    *t = tout;
    std::copy_n(sample, order, y);
    return 1;
}

// TXftablef and TXftablea after their stream is open; finish(file) flushes or closes it.
template <class Finish>
int write_table(Traxis tx, const char *name, std::FILE *file, const char *format, double *t,
                double t1, long n, double *y, tx::detail::Work &work, Finish &&finish) {
    record_columns(tx, format);
    const int order = tx->order;
    const int status = sample_trajectory(
        tx, t, t1, n, y, work,
        [&](double s, const double *v) { return write_row(file, format, order, s, v); },
        [&] { return finish(file); });
    return status == kWriteFailed ? TX_FAIL(tx, TX_ERR_WRITE_OUTPUT, name) : status;
}

// Refusals that come before any file is touched; 0 when the table can be written.
int table_refusal(Traxis tx, const char *format, double *t, double t1, long n,
                  tx::detail::Work &work) {
    if (!valid_columns(format, tx->order)) return TX_ERR_COLUMN_FORMAT;
    return sampling_refusal(tx, *t, t1, n, work);
}

// Parameters registered after the record was made have no place in it.
int record_params(Traxis tx) { return std::max(0, std::min(tx->nparam, tx->txb->nparam)); }

// Run kinds 1 to 4 close the state block with a rule of their own character.
void write_rule(std::FILE *file, int kind) {
    constexpr char kRule[] = {'-', '=', '.', ':'};
    if (kind < 1 || kind > 4) return;
    char line[70];
    std::memset(line, kRule[kind - 1], 68);
    line[68] = '\n';
    line[69] = '\0';
    std::fputs(line, file);
}

}  // namespace

extern "C" void TXStateOutput(Traxis tx, FILE *file) {
    const TraxisBif b = attached_record(tx, __LINE__, "TXStateOutput");
    if (!b || !file) return;
    const int kind = b->cindi[0];
    if (kind > 2)  // equilibria have no period
        std::fprintf(file, "   Step: %-6d \n", b->steps);
    else
        std::fprintf(file, "   Step: %-6d   T=%-12.8g \n", b->steps, b->T);
    std::fputs("   Parameters     State           Eigenvalue             Modulus\n", file);
    const int n = record_order(tx), np = record_params(tx);
    for (int i = 0; i < n || i < np; ++i) {
        if (i < np)
            std::fprintf(file, "   %- 12.8g   ", b->c[i]);
        else
            std::fputs("                  ", file);
        if (i < n)
            tx::detail::with_eigen_entry(*b, i, [file](auto... v) {
                std::fprintf(file, "%- 12.8g    % 8f%ci%-8f    %-12.6g", v...);
            });
        std::fputc('\n', file);
    }
    write_rule(file, kind);
}

extern "C" void TXPathOutput(Traxis tx, FILE *file) {
    const TraxisBif b = attached_record(tx, __LINE__, "TXPathOutput");
    if (!b || !file) return;
    const int np = record_params(tx);
    // An index naming no registered parameter keeps its column, as nan, so that the plotted
    // columns stay aligned.
    const auto param = [&](int k) { return k >= 0 && k < np ? b->c[k] : std::nan(""); };
    const int kind = b->cindi[0];
    std::fprintf(file, "%.10g ", param(b->cindi[1]));
    if (kind == 2 || kind == 4) std::fprintf(file, "%.10g ", param(b->cindi[2]));
    const int n = record_order(tx);
    for (int i = 0; i < n; ++i) std::fprintf(file, "%.10g ", b->y[i]);
    std::fputc('\n', file);
}

extern "C" int TXftablef(Traxis tx, const char *filename, const char *format, double *t,
                         double t1, long n, double *y) {
    constexpr const char *kName = "TXftablef";
    TX_ENTER(tx, kName);
    tx::detail::Work work;
    if (const int code = table_refusal(tx, format, t, t1, n, work)) return TX_FAIL(tx, code, kName);
    std::FILE *file = filename ? std::fopen(filename, "w") : nullptr;
    if (!file) return TX_FAIL(tx, TX_ERR_OPEN_FILE, kName);
    return write_table(tx, kName, file, format, t, t1, n, y, work,
                       [](std::FILE *f) { return std::fclose(f) == 0; });
}

extern "C" int TXftablea(Traxis tx, FILE *file, const char *format, double *t, double t1, long n,
                         double *y) {
    constexpr const char *kName = "TXftablea";
    TX_ENTER(tx, kName);
    tx::detail::Work work;
    if (const int code = table_refusal(tx, format, t, t1, n, work)) return TX_FAIL(tx, code, kName);
    if (!file) return TX_FAIL(tx, TX_ERR_OPEN_FILE, kName);
    // Buffered rows fail only when they reach the file: flush to learn whether they did.
    return write_table(tx, kName, file, format, t, t1, n, y, work, [](std::FILE *f) {
        return std::fflush(f) == 0 && !std::ferror(f);
    });
}

extern "C" int TXftableg(Traxis tx, double *t, double t1, long n, double *y, sample_t g) {
    constexpr const char *kName = "TXftableg";
    TX_ENTER(tx, kName);
    tx::detail::Work work;
    if (const int code = sampling_refusal(tx, *t, t1, n, work)) return TX_FAIL(tx, code, kName);
    return sample_trajectory(
        tx, t, t1, n, y, work,
        [g](double s, double *v) {
            if (g) g(s, v);
            return true;
        },
        [] { return true; });
}
