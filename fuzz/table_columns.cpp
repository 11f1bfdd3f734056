// The table writers' column strings (TXftablea; TXftablef shares the parsing), with the order,
// the sample count and the end time taken from the input too.  Layout of an input: byte 0 the
// order (1 to 8), byte 1 the sample count (-2 to 13), bytes 2-9 the end time as raw double bits,
// the rest the column string (up to its first NUL).
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "harness.hpp"
#include "tx.h"

namespace {

int g_order = 1;

void decay(double, double *y, double *f) {
    // Decay, so that any end time is reached in a few hundred growing steps.
    for (int i = 0; i < g_order; ++i) f[i] = -y[i];
}

// Counts the rows and checks every one: as many numbers as nonzero digits, each parsed whole.
long check_rows(const char *text, const std::string &format, int order) {
    int columns = 0;
    for (int i = 0; i <= order; ++i) columns += format[i] != '0';
    long rows = 0;
    for (const char *p = text; *p; ++rows) {
        const char *end = std::strchr(p, '\n');
        TXFUZZ_REQUIRE(end != nullptr);  // every row ends with a line end
        int fields = 0;
        for (char *q = const_cast<char *>(p); q < end; ++fields) {
            char *after;
            std::strtod(q, &after);
            TXFUZZ_REQUIRE(after > q && *after == ' ');
            q = after + 1;
        }
        TXFUZZ_REQUIRE(fields == columns);
        p = end + 1;
    }
    return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 10) return 0;
    const int order = 1 + data[0] % 8;
    const long n = static_cast<long>(data[1] % 16) - 2;
    double t1;
    std::memcpy(&t1, data + 2, sizeof t1);
    // Far end times only make the run long (once the error estimate is exactly 0 the step no
    // longer grows); the decay into subnormals that they once exposed is a stepper test now.
    // NaN and the infinities stay in, to be refused.
    if (std::isfinite(t1) && std::fabs(t1) > 100.0) return 0;
    const std::string format(reinterpret_cast<const char *>(data + 10), size - 10);
    const char *const columns = format.c_str();  // ends at the first NUL, as a C caller's would

    bool valid = true;
    for (int i = 0; i <= order; ++i) valid = valid && columns[i] >= '0' && columns[i] <= '9';

    g_order = order;
    Traxis tx = TXOpenTraxis(decay, order, 1e-8, 0.01);
    tx->TerminateOnFatalError = 0;
    double t = 0.0, y[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    char *text = nullptr;
    std::size_t len = 0;
    std::FILE *out = open_memstream(&text, &len);
    TXFUZZ_REQUIRE(out != nullptr);
    const int ok = TXftablea(tx, out, columns, &t, t1, n, y);
    std::fclose(out);
    if (!valid) {
        TXFUZZ_REQUIRE(ok == 0 && TXErrorTraxis(tx) == TX_ERR_COLUMN_FORMAT && len == 0);
    } else if (ok) {
        TXFUZZ_REQUIRE(check_rows(text, format, order) == n + 1);
        // the sample times are summed up: n roundings of at most an ulp of t1 each
        const double ulp = std::nextafter(std::fabs(t1), INFINITY) - std::fabs(t1);
        TXFUZZ_REQUIRE(std::fabs(t - t1) <= static_cast<double>(n) * ulp);
    } else {
        const int code = TXErrorTraxis(tx);
        TXFUZZ_REQUIRE(code == TX_ERR_NEGATIVE_STEP || code == TX_ERR_STEP_TOO_SMALL);
        TXFUZZ_REQUIRE(len == 0 && t == 0.0);  // refused before anything was written
    }
    std::free(text);
    TXCloseTraxis(tx);
    return 0;
}
