// Location and classification of bifurcations of periodic orbits.
//
// Location is Newton's method on the start point, the continuation parameter and (autonomous
// orbits) the period, with the modulus of the critical Floquet multiplier driven to 1; the
// derivatives of that modulus are difference quotients over whole periods.  Classification
// converges four neighbouring orbits, two off the orbit along the critical direction with the
// parameter free and two at the parameter moved down and up, and compares their stability.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "detail/bif_record.hpp"
#include "detail/enter.hpp"
#include "detail/multipliers.hpp"
#include "detail/newton.hpp"
#include "detail/parameters.hpp"
#include "detail/work.hpp"
#include "tx.h"

using tx::detail::Block;
using tx::detail::copy_values;
using tx::detail::modulus;
using tx::detail::nearest_to_unit_circle;
using tx::detail::stable_count;
using tx::detail::start_matrix;

namespace {

constexpr const char *kLocate = "TXLocateBif";
constexpr const char *kCheck = "TXCheckBif";

void progress(FILE *state, const char *mark) {
    if (state) std::fputs(mark, state);
}

bool usable_period(double T) { return T > 0.0 && !std::isinf(T); }

// nparam as the caller left it, whatever the operation switched in between.
class KeepParameterCount {
public:
    explicit KeepParameterCount(Traxis tx) : tx_(tx), saved_(tx->nparam) {}
    ~KeepParameterCount() { tx_->nparam = saved_; }
    KeepParameterCount(const KeepParameterCount &) = delete;
    KeepParameterCount &operator=(const KeepParameterCount &) = delete;
    int value() const { return saved_; }

private:
    Traxis tx_;
    int saved_;
};

// ---- location ----

// Up to MaxPeriodSteps variational section steps until one crosses; false if none or on error.
bool next_crossing(Traxis tx, double *t, double *y, double **Phi) {
    for (int calls = 0; calls < tx->MaxPeriodSteps; ++calls) {
        const int crossed = TXVarPoincareStep(tx, t, y, Phi);
        if (tx->ErrorCode != 0) return false;
        if (crossed) return true;
    }
    return false;
}

// Half a period of an autonomous orbit with an even number of half-period crossings is counted
// in crossings; otherwise (also when halving has left no crossing to count) it is timed.
bool half_period(Traxis tx, int crossings, double &t, double T, double *y, double **Phi) {
    if (crossings > 0 && crossings % 2 == 0) {
        for (int j = 0; j < crossings; ++j)
            if (!next_crossing(tx, &t, y, Phi)) return false;
        return true;
    }
    return TXVarIntegrate(tx, &t, t + T / 2, y, Phi) == 1;
}

struct Locate {
    Traxis tx;
    TraxisBif txb;
    double *c;
    int n;
    int a;  // 1 for autonomous orbits: the trivial multiplier is left out, the period is free
    double **saved = nullptr;  // n rows of n + 1: monodromy matrix and parameter column
    double *y0 = nullptr;      // current estimate of the start point
    double *rhs = nullptr;     // n + 2
    double *work = nullptr;    // 2 (n + 2): TXLinZero, TXEigenVector

    // Modulus of the critical multiplier of the period map from y (destroyed) over T.
    bool critical_modulus(double &t, double T, double *y, double &g) {
        double **const Phi = txb->Phi;
        start_matrix(Phi, n, n);
        if (TXVarIntegrate(tx, &t, t + T, y, Phi) != 1) return false;
        if (TXEigen(tx, n, Phi, txb->er, txb->ei) != 1) return false;
        if (a) SORTEIG(txb->er, txb->ei, n);
        g = modulus(txb->er, txb->ei, nearest_to_unit_circle(txb->er, txb->ei, n - a));
        return true;
    }

    // One Newton correction of (y0, *c, T) on the residual rhs and the critical modulus mu.
    bool correct(double &t, double &T, double mu) {
        const double pert = tx->LambdaPert;
        double **const J = tx->TX->j;
        double *const y = txb->y;
        tx->nparam = 0;  // difference quotients need no parameter columns
        for (int i = 0; i <= n; ++i) {
            copy_values(y, y0, n);
            double g;
            if (i < n) {
                y[i] += pert;
                if (!critical_modulus(t, T, y, g)) return false;
            } else {
                const double c_value = *c;
                *c = c_value + pert;
                const bool ok = critical_modulus(t, T, y, g);
                *c = c_value;
                if (!ok) return false;
            }
            J[n][i] = (g - mu) / pert;  // the variational integration leaves row n alone
        }
        for (int i = 0; i < n; ++i) {
            copy_values(J[i], saved[i], n + 1);
            J[i][i] -= 1.0;
        }
        rhs[n] = 1.0 - mu;
        if (a) {
            // Period column and phase condition: the flow at the end of the last integration.
            tx->fcn(t, y, work);
            for (int i = 0; i < n; ++i) {
                J[i][n + 1] = work[i];
                J[n + 1][i] = work[i];
            }
            J[n][n + 1] = J[n + 1][n] = J[n + 1][n + 1] = 0.0;
            rhs[n + 1] = 0.0;
        }
        if (TXLinZero(tx, n + 1 + a, J, rhs, work) != 1) return false;
        for (int i = 0; i < n; ++i) y0[i] += rhs[i];
        *c += rhs[n];
        if (a) {
            T += rhs[n + 1];
            if (!CLOSESTCUT(tx, &t, y0)) return false;
        }
        return true;
    }
};

// ---- classification ----

enum class Try { converged, failed, abandoned };

struct Neighbour {
    double *x;
    double *c;
    int *count;
    double *T;
};

struct Check {
    Traxis tx;
    TraxisBif txb;
    double *c;
    int n;
    int a;
    double **A = nullptr;  // (n + 2) x (n + 2): monodromy matrix, then the bordered Newton matrix
    double *v = nullptr;   // critical direction
    double *work = nullptr;  // 2 (n + 2)
    double *x = nullptr;   // current guess
    double *rhs = nullptr;  // n + 2: image of x, then residual and correction
    double *er = nullptr;  // multipliers of a converged neighbour
    double *ei = nullptr;

    // Newton's method on x (and *c along v when the parameter is free, and Ts for autonomous
    // orbits) for a fixed point of the map over Ts.
    Try converge(double &Ts, bool parameter_free) {
        const int border = n + (parameter_free ? 1 : 0);  // row and column of the phase condition
        const int size = border + a;
        int count = 0;
        double previous = 0.0;
        for (;;) {
            double t = txb->t;
            start_matrix(A, n, n + 1);
            copy_values(rhs, x, n);
            if (TXVarIntegrate(tx, &t, t + Ts, rhs, A) != 1) return Try::abandoned;
            for (int i = 0; i < n; ++i) rhs[i] = x[i] - rhs[i];
            const double dist =
                tx::detail::weighted_distance(rhs, x, n, tx->NewtRelTol, tx->NewtAbsTol);
            if (!std::isfinite(dist) || count > tx->MaxNewtSteps ||
                (previous != 0.0 && dist > 2.0 * previous))
                return Try::failed;
            ++count;
            previous = dist;
            if (dist <= 1.0) return Try::converged;
            for (int i = 0; i < n; ++i) A[i][i] -= 1.0;
            if (parameter_free) {
                // The correction keeps the displacement along v fixed.
                copy_values(A[n], v, n);
                A[n][n] = 0.0;
                rhs[n] = 0.0;
            }
            if (a) {
                tx->fcn(txb->t, x, work);
                for (int i = 0; i < n; ++i) {
                    A[i][border] = work[i];
                    A[border][i] = work[i];
                }
                for (int k = n; k <= border; ++k) A[border][k] = A[k][border] = 0.0;
                rhs[border] = 0.0;
            }
            if (TXLinZero(tx, size, A, rhs, work) != 1) return Try::failed;
            for (int i = 0; i < n; ++i) x[i] += rhs[i];
            if (parameter_free) *c += rhs[n];
            if (a) {
                Ts += rhs[border];
                if (!CLOSESTCUT(tx, &t, x)) return Try::abandoned;
            }
        }
    }

    // A critical multiplier at +1 shares its eigenvalue with the trivial one of an autonomous
    // orbit, so the computed eigenvector is any mix of the two, often the flow itself, along
    // which no neighbour can be found (the displacement row would repeat the phase condition).
    // Only the part across the flow says where the neighbours lie.
    void leave_flow_out(double *w) {
        double *const f = work;
        tx->fcn(txb->t, txb->y, f);
        double ff = 0.0, wf = 0.0;
        for (int i = 0; i < n; ++i) {
            ff += f[i] * f[i];
            wf += w[i] * f[i];
        }
        if (!(ff > 0.0)) return;
        double across = 0.0;
        for (int i = 0; i < n; ++i) across += (w[i] - wf / ff * f[i]) * (w[i] - wf / ff * f[i]);
        across = std::sqrt(across);
        if (!(across > 0.0) || !std::isfinite(across)) return;
        for (int i = 0; i < n; ++i) w[i] = (w[i] - wf / ff * f[i]) / across;
    }

    // Stable multipliers of the orbit just converged, whose monodromy matrix is in A.
    bool stable_multipliers(int &count) {
        if (TXEigen(tx, n, A, er, ei) != 1) return false;
        if (a) SORTEIG(er, ei, n);
        count = stable_count(er, ei, n - a);
        return true;
    }

    bool keep(const Neighbour &to, double Ts) {
        int count;
        if (!stable_multipliers(count)) return false;
        copy_values(to.x, x, n);
        *to.c = *c;
        *to.count = count;
        *to.T = Ts;
        return true;
    }

    // The neighbour at displacement h along v with the parameter free; a try that falls back
    // onto the branch it came from (the parameter hardly moved) is repeated further out.
    bool off_orbit(double &h, const Neighbour &to, FILE *state) {
        for (int failures = 0;;) {
            tx::detail::restore_parameters(tx);
            const double c0 = *c;
            for (int i = 0; i < n; ++i) x[i] = txb->y[i] + h * v[i];
            double Ts = txb->T;
            const Try result = converge(Ts, true);
            if (result == Try::abandoned) return false;
            if (result == Try::converged) {
                if (!(std::fabs(*c - c0) < std::fabs(tx->NewtAbsTol + std::fabs(*c * tx->NewtRelTol))))
                    return keep(to, Ts);
                h = 2.0 * h;
                progress(state, "^");
            } else {
                h = h / 2.0;
                progress(state, "v");
            }
            if (++failures > tx->MaxNewtSteps) return false;
        }
    }

    // The neighbour on the branch at the parameter fixed at c_side(h).
    template <class Side>
    bool on_branch(double &h, Side c_side, const Neighbour &to, FILE *state) {
        for (int failures = 0;;) {
            tx::detail::restore_parameters(tx);
            *c = c_side(h);
            copy_values(x, txb->y, n);
            double Ts = txb->T;
            const Try result = converge(Ts, false);
            if (result == Try::abandoned) return false;
            if (result == Try::converged) return keep(to, Ts);
            h = h / 2.0;
            progress(state, "<");
            if (++failures > tx->MaxNewtSteps) return false;
        }
    }
};

// Bounded: with large counts the text would not fit the 16 characters of the record.
__attribute__((format(printf, 2, 3))) void write_btype(TraxisBif txb, const char *format, ...) {
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(txb->btype, sizeof txb->btype, format, ap);
    va_end(ap);
}

double sigma(int p, int q) { return p < q ? 1.0 : -1.0; }

// Cosine between the offset (c_N - c*, N - y) of a neighbour and the direction of arrival
// (n state components, then the parameter component); 0 when either has no length.
double arrival_cosine(const TraxisBif txb, int n, const double *N, double cN, double cstar) {
    double dot = (cN - cstar) * txb->intang[n];
    double offset = (cN - cstar) * (cN - cstar);
    double arrival = txb->intang[n] * txb->intang[n];
    for (int i = 0; i < n; ++i) {
        const double d = N[i] - txb->y[i];
        dot += d * txb->intang[i];
        offset += d * d;
        arrival += txb->intang[i] * txb->intang[i];
    }
    const double norms = std::sqrt(offset) * std::sqrt(arrival);
    return norms > 0.0 ? dot / norms : 0.0;
}

}  // namespace

extern "C" int TXLocateBif(Traxis tx, TraxisBif txb, double *c, int mode, FILE *state) {
    TX_ENTER(tx, kLocate);
    if (!tx->TX) return TX_FAIL(tx, TX_ERR_NOT_OPENED, kLocate);
    if (tx::detail::mark_parameter(tx, c) < 0) return 0;
    if (!tx::detail::attached_and_fits(tx, txb, 1)) return TX_FAIL(tx, TX_ERR_NO_BIF, kLocate);
    double T = txb->T;
    if (!usable_period(T)) return 0;
    const int n = tx->order;
    const std::size_t un = static_cast<std::size_t>(n);
    Block block;
    if (!block.take(un, (un + 1) * (un + 4) + 3)) return TX_FAIL(tx, TX_ERR_NO_MEMORY, kLocate);
    Locate L{tx, txb, c, n, mode > 0 ? 1 : 0};
    L.saved = block.matrix(un, un + 1);
    L.y0 = block.vector(un + 1);
    L.rhs = block.vector(un + 2);
    L.work = block.vector(2 * (un + 2));

    const KeepParameterCount nparam(tx);
    double *const y = txb->y;
    double **const Phi = txb->Phi;
    double *const er = txb->er;
    double *const ei = txb->ei;
    const int a = L.a;
    int crossings = mode;  // section crossings in half a period
    double t = txb->t;
    copy_values(L.y0, y, n);
    int count = 0;
    double previous = 0.0, d = 0.0;
    bool halve = false;
    do {
        if (halve) {
            // The orbit was its own double: go on with the half period.
            T /= 2;
            crossings /= 2;
            halve = false;
            previous = 0.0;
        }
        tx->nparam = nparam.value();
        copy_values(y, L.y0, n);
        start_matrix(Phi, n, n + 1);
        if (!half_period(tx, a ? crossings : 0, t, T, y, Phi)) return 0;

        // Half-period map: a multiplier near -1 whose eigenvector is the displacement itself
        // means the estimate sits on an orbit of half the period.
        for (int i = 0; i < n; ++i) copy_values(L.saved[i], Phi[i], n);
        if (TXEigen(tx, n, L.saved, er, ei) != 1) return 0;
        if (a) SORTEIG(er, ei, n);
        const int half_k = nearest_to_unit_circle(er, ei, n - a);
        const double half_re = er[half_k], half_im = ei[half_k];
        double cosine = 0.0;
        if (half_im == 0.0 && half_re < -0.75) {
            for (int i = 0; i < n; ++i) copy_values(L.saved[i], Phi[i], n);
            TXEigenVector(tx, n, L.saved, half_re, er, L.work);
            double dot = 0.0, shift = 0.0, length = 0.0;
            for (int i = 0; i < n; ++i) {
                const double di = y[i] - L.y0[i];
                dot += er[i] * di;
                shift += di * di;
                length += er[i] * er[i];
            }
            if (shift > 0.0 && length > 0.0) cosine = dot / (std::sqrt(shift) * std::sqrt(length));
        }

        if (!half_period(tx, a ? crossings : 0, t, T, y, Phi)) return 0;
        for (int i = 0; i < n; ++i) copy_values(L.saved[i], Phi[i], n + 1);
        if (TXEigen(tx, n, Phi, er, ei) != 1) return 0;
        if (a) SORTEIG(er, ei, n);
        const int k = nearest_to_unit_circle(er, ei, n - a);
        const double mu = modulus(er, ei, k);

        for (int i = 0; i < n; ++i) L.rhs[i] = L.y0[i] - y[i];
        d = tx::detail::location_distance(tx, mu - 1.0, L.rhs, L.y0, n);

        if (ei[k] == 0.0 && er[k] > 0.9 && half_im == 0.0 && half_re < -0.75 &&
            std::fabs(cosine) > 0.95) {
            halve = true;
            progress(state, "%");
        }
        if (!std::isfinite(d) || count > tx->MaxNewtSteps || (previous != 0.0 && d > 2.0 * previous))
            return 0;
        ++count;
        progress(state, previous == 0.0 || d < previous ? "." : "!");
        previous = d;
        if ((d > 1.0 || halve) && !L.correct(t, T, mu)) return 0;
    } while (d > 1.0 || halve);

    tx->nparam = nparam.value();
    copy_values(y, L.y0, n);
    for (int i = 0; i < n; ++i) copy_values(Phi[i], L.saved[i], n + 1);
    tx::detail::record_parameters(tx);
    txb->T = T;
    txb->indir = 0;
    txb->biftype = TX_BIF_NOT_DETERMINED;
    return 1;
}

extern "C" int TXCheckBif(Traxis tx, TraxisBif txb, double *c, double thedc, int mode, FILE *state) {
    TX_ENTER(tx, kCheck);
    if (!tx->TX) return TX_FAIL(tx, TX_ERR_NOT_OPENED, kCheck);
    if (tx::detail::mark_parameter(tx, c) < 0) return 0;
    if (!tx::detail::attached_and_fits(tx, txb, 1)) return TX_FAIL(tx, TX_ERR_NO_BIF, kCheck);
    if (!usable_period(txb->T)) return 0;
    const int n = tx->order;
    const std::size_t un = static_cast<std::size_t>(n);
    Block block;
    if (!block.take(un + 2, 4 * un + (un + 5) * (un + 2)))
        return TX_FAIL(tx, TX_ERR_NO_MEMORY, kCheck);
    // A mode above 1 would border the system with rows that nothing fills.
    Check C{tx, txb, c, n, mode > 0 ? 1 : 0};
    C.A = block.matrix(un + 2, un + 2);
    C.v = block.vector(un);
    C.work = block.vector(2 * (un + 2));
    C.x = block.vector(un);
    C.rhs = block.vector(un + 2);
    C.er = block.vector(un);
    C.ei = block.vector(un);

    // The parameters and the record's period are back as the record holds them on every return.
    struct Restore {
        Check &C;
        double T;
        ~Restore() {
            tx::detail::restore_parameters(C.tx);
            C.txb->T = T;
        }
    } restore{C, txb->T};

    const int a = C.a;
    const int k = nearest_to_unit_circle(txb->er, txb->ei, n - a);
    const double crit_re = txb->er[k], crit_im = txb->ei[k];
    for (int i = 0; i < n; ++i) copy_values(C.A[i], txb->Phi[i], n);
    TXEigenVector(tx, n, C.A, crit_re, C.v, C.work);
    if (C.a && crit_im == 0.0 && crit_re > 0.0) C.leave_flow_out(C.v);

    // Near a period doubling the neighbours along v lie on the orbit of twice the period.
    if (crit_re < 0.0 && std::fabs(crit_im) < 1e-10) txb->T *= 2.0;
    double h = thedc;
    int top_count = 0, bot_count = 0, left_count = 0, right_count = 0;
    const Neighbour top{txb->top, &txb->ctop, &top_count, &txb->Ttop};
    const Neighbour bot{txb->bot, &txb->cbot, &bot_count, &txb->Tbot};
    for (const Neighbour *side : {&top, &bot}) {
        if (!C.off_orbit(h, *side, state)) return 0;
        for (int i = 0; i < n; ++i) C.v[i] = -C.v[i];
    }
    txb->T = restore.T;
    tx::detail::restore_parameters(tx);
    const double cstar = *c;

    int type;
    if (crit_im != 0.0)
        type = TX_BIF_TORUS;
    else if (crit_re < 0.0)
        type = TX_BIF_PERIOD_DOUBLING;
    else if (top_count == bot_count)
        type = TX_BIF_PITCHFORK;
    else if ((cstar - txb->ctop) * (cstar - txb->cbot) < 0.0)
        type = TX_BIF_TRANSCRITICAL;
    else
        type = TX_BIF_SADDLE_NODE;

    if (type != TX_BIF_SADDLE_NODE) {
        h = thedc;
        const Neighbour left{txb->left, &txb->cleft, &left_count, &txb->Tleft};
        const Neighbour right{txb->right, &txb->cright, &right_count, &txb->Tright};
        if (!C.on_branch(h, [&](double s) { return cstar - std::fabs(s); }, left, state)) return 0;
        if (!C.on_branch(h, [&](double s) { return cstar + std::fabs(s); }, right, state)) return 0;
    }
    tx::detail::restore_parameters(tx);

    // Directions and report text.
    const bool top_above = txb->ctop > cstar;
    auto branch_tangent = [&] {
        const double s = sigma(left_count, right_count);
        for (int i = 0; i < n; ++i)
            txb->tang[i] = (txb->right[i] - txb->left[i]) / (txb->cright - txb->cleft) * s;
    };
    if (type == TX_BIF_TRANSCRITICAL) {
        const double s = sigma(bot_count, top_count);
        for (int i = 0; i < n; ++i)
            txb->trans[i] = (txb->top[i] - txb->bot[i]) / (txb->ctop - txb->cbot) * s;
        branch_tangent();
        if (top_above)
            write_btype(txb, " %s (%d %d)", TraxisBifIconLeft[type], top_count, bot_count);
        else
            write_btype(txb, " %s (%d %d)", TraxisBifIconRight[type], left_count,
                          right_count);
    } else if (type == TX_BIF_SADDLE_NODE) {
        const double s = sigma(bot_count, top_count);
        for (int i = 0; i < n; ++i) txb->trans[i] = C.v[i] * s;
        write_btype(txb, " %d %c %d", top_count, top_above ? '(' : ')', bot_count);
    } else {
        copy_values(txb->trans, C.v, n);
        branch_tangent();
        write_btype(txb, " %d %s %d", left_count,
                      top_above ? TraxisBifIconLeft[type] : TraxisBifIconRight[type], right_count);
    }

    // The side the continuation came from: the neighbour most nearly opposite to the direction
    // of arrival.
    double cosines[4] = {0.0, 0.0, 0.0, 0.0};
    if (type != TX_BIF_TORUS) {
        cosines[0] = arrival_cosine(txb, n, txb->top, txb->ctop, cstar);
        cosines[1] = arrival_cosine(txb, n, txb->bot, txb->cbot, cstar);
    }
    if (type != TX_BIF_SADDLE_NODE) {
        cosines[2] = arrival_cosine(txb, n, txb->left, txb->cleft, cstar);
        cosines[3] = arrival_cosine(txb, n, txb->right, txb->cright, cstar);
    }
    int side = 0;
    for (int i = 1; i < 4; ++i)
        if (cosines[i] < cosines[side]) side = i;
    txb->indir = side + 1;
    txb->biftype = type;
    return 1;
}
