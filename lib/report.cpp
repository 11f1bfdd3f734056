// The framed report of a located bifurcation, and a matrix printer for debugging.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "detail/record.hpp"
#include "tx.h"

namespace {

constexpr char kBorder[] =
    "+-------------------------------------------------------------------+\n";
constexpr char kEmpty[] =
    "|                                                                   |\n";
static_assert(sizeof kBorder == 71 && sizeof kEmpty == 71, "frame lines are 69 wide");

// The neighbour columns run Left, Right, Top, Bottom; indir numbers them 3, 4, 1, 2.
char arrival_mark(int indir, int code) { return indir == code ? '*' : ' '; }

void write_neighbours(std::FILE *file, double left, double right, double top, double bot) {
    std::fprintf(file, "|      %- 12.6g   %- 12.6g   %- 12.6g   %- 12.6g    |\n", left, right,
                 top, bot);
}

void write_directions(std::FILE *file, const TraxisBif_t &b, int n, int rows) {
    std::fputs("|                Transversal    Tangent                             |\n", file);
    for (int i = 0; i < rows; ++i) {
        // trans and tang hold n values; further lines stay blank like the state block.
        if (i >= n)
            std::fputs(kEmpty, file);
        else if (b.biftype == TX_BIF_SADDLE_NODE)  // the tangent is the critical direction
            std::fprintf(file, "|                %- 12.6g   %35s |\n", b.trans[i], "");
        else
            std::fprintf(file, "|                %- 12.6g   %- 36.6g|\n", b.trans[i], b.tang[i]);
    }
    std::fputs(kEmpty, file);
    std::fprintf(file,
                 "|      Left %c         Right %c        Top %c          Bottom %c        |\n",
                 arrival_mark(b.indir, 3), arrival_mark(b.indir, 4), arrival_mark(b.indir, 1),
                 arrival_mark(b.indir, 2));
    write_neighbours(file, b.cleft, b.cright, b.ctop, b.cbot);
    std::fputs("|      ............   ............   ............   ............    |\n", file);
    for (int i = 0; i < n; ++i) write_neighbours(file, b.left[i], b.right[i], b.top[i], b.bot[i]);
}

}  // namespace

extern "C" void TXStateBifOutput(Traxis tx, FILE *file) {
    const TraxisBif b = tx::detail::attached_record(tx, __LINE__, "TXStateBifOutput");
    if (!b || !file) return;
    const int type = b->biftype;
    const bool known = type > 0 && type < TX_BIF_COUNT;
    // btype is a public field: it need not be terminated within its 16 characters.
    char title[64];
    if (type == TX_BIF_NOT_DETERMINED)
        std::snprintf(title, sizeof title, "Bifurcation");
    else
        std::snprintf(title, sizeof title, "%s%.*s",
                      TraxisBifName[known ? type : TX_BIF_NOT_DETERMINED],
                      static_cast<int>(strnlen(b->btype, sizeof b->btype)), b->btype);

    std::fputc('\n', file);
    std::fputs(kBorder, file);
    std::fprintf(file, "|                        %-42s |\n", title);
    std::fputs(kEmpty, file);
    if (b->cindi[0] <= 2)  // orbits only: equilibria have no period
        std::fprintf(file, "|                            T=%-36g |\n", b->T);
    std::fputs(kEmpty, file);
    std::fputs("| Parameters     State           Eigenvalue            Modulus      |\n", file);

    const int n = tx::detail::record_order(tx), np = std::max(tx->nparam, 0);
    const int rows = std::max(n, np);
    for (int i = 0; i < rows; ++i) {
        if (i < np)  // the parameter's current value, not the record's copy
            std::fprintf(file, "| %- 12.6g   ", *tx->c[i]);
        else
            std::fputs("|                ", file);
        if (i < n)
            tx::detail::with_eigen_entry(*b, i, [file](auto... v) {
                std::fprintf(file, "%- 12.6g    % 8f%ci%-8f   %-12.6g |\n", v...);
            });
        else
            std::fputs("                                                   |\n", file);
    }
    std::fputs(kEmpty, file);
    if (type != TX_BIF_NOT_DETERMINED) write_directions(file, *b, n, rows);
    std::fputs(kBorder, file);
}

extern "C" void SHOWMAT(int i, int j, double **m) {
    std::putchar('\n');
    for (int r = 0; m && r < i; ++r) {
        std::fputs(r == 0 ? "{{ " : " { ", stdout);
        for (int k = 0; k < j; ++k) std::printf("%15.10g%c", m[r][k], k == j - 1 ? '}' : ',');
        std::fputs(r == i - 1 ? "}\n" : ",\n", stdout);
    }
    std::putchar('\n');
}
