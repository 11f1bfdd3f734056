// Trajectory output: the table writers and the per-point records of continuation runs.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "detail/enter.hpp"
#include "detail/record.hpp"
#include "tx.h"

using tx::detail::attached_record;
using tx::detail::record_order;

namespace {

int record_params(Traxis tx) { return std::max(tx->nparam, 0); }

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
