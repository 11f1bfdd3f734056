// Work-precision comparison: every solver on every problem at relative tolerances 1e-4 ... 1e-12
// (absolute tolerance equal to the relative one), timed side by side in rounds, with the error
// measured against quadruple-precision references.
//
//     work_precision OUTDIR [--quick]
//
// writes OUTDIR/work_precision.tsv, one gnuplot data file per problem, OUTDIR/plot.gp and the
// Markdown fragments that run.sh puts into docs/performance.md.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gsl/gsl_errno.h>

#include "peers.hpp"
#include "problem_list.hpp"
#include "reference.hpp"
#include "tx.h"

namespace txpeers {
namespace {

using Clock = std::chrono::steady_clock;

// Achieved errors at which the solvers are compared, where their points reach.
const std::vector<double> kErrorLevels{1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7,
                                       1e-8, 1e-9, 1e-10, 1e-11, 1e-12};

struct Options {
    std::string out;
    double budget = 0.6;  // seconds of timed rounds per problem and tolerance
    int min_rounds = 7;
    int max_rounds = 2001;
    std::vector<double> tolerances{1e-4, 1e-5, 1e-6, 1e-7, 1e-8, 1e-9, 1e-10, 1e-11, 1e-12};
};

const char *const kTx = "TXIntegrate";
const char *const kTxHigh = "TXIntegrate, high order";
const char *const kHpp = "tx.hpp";
const char *const kHppHigh = "tx.hpp, high order";
const char *const kReferenceLoop = "reference loop";
const char *const kCallbackLoop = "reference loop, callback";
const char *const kDopri5 = "odeint dopri5";
const char *const kDopri5Callback = "odeint dopri5, callback";
const char *const kFehlberg78 = "odeint fehlberg78";
const char *const kFehlberg78Callback = "odeint fehlberg78, callback";
const char *const kRk8pd = "GSL rk8pd";
const char *const kRkf45 = "GSL rkf45";
const char *const kArkode = "ARKODE Verner 6(5)";

// The peers as a C caller gives them the right-hand side (through a function pointer; GSL and
// ARKODE take nothing else), and as a C++ caller can (inlined where the library allows it).
const std::vector<const char *> kCallbackPeers{kDopri5Callback, kFehlberg78Callback, kRk8pd,
                                               kRkf45, kArkode};
const std::vector<const char *> kInlinePeers{kDopri5, kFehlberg78, kRk8pd, kRkf45, kArkode};
// The smooth problems of the high-order targets, at these achieved errors.
const std::vector<const char *> kSmooth{txbench::Lorenz::name, txbench::Arenstorf::name,
                                        txbench::VanDerPol::name};
const std::vector<double> kTightLevels{1e-8, 1e-9, 1e-10, 1e-11, 1e-12};
// The programs' tolerance.
constexpr double kProgramTolerance = 1e-6;

struct Row {
    std::string problem, solver;
    double rtol;
    long evaluations;   // per solve
    double error;       // relative max-norm error of the end state
    double time_us;     // median time per solve
    double overhead;    // median of the paired ratios of this solver's time to the reference loop's
};

struct Entry {
    const char *name;
    bool plotted;
    std::function<std::unique_ptr<Solver>(double, double)> make;
};

// The reference loop must stay second: every solver's time is paired with its time.
template <class P>
std::vector<Entry> entries() {
    return {{kTx, true, make_tx<P>},
            {kReferenceLoop, false, make_reference_loop<P>},
            {kCallbackLoop, false, make_callback_reference_loop<P>},
            {kTxHigh, true, make_tx_high_order<P>},
            {kHpp, false, make_hpp<P>},
            {kHppHigh, true, make_hpp_high_order<P>},
            {kDopri5, true, make_odeint_dopri5<P>},
            {kDopri5Callback, false, make_odeint_dopri5_callback<P>},
            {kFehlberg78, true, make_odeint_fehlberg78<P>},
            {kFehlberg78Callback, false, make_odeint_fehlberg78_callback<P>},
            {kRk8pd, true, make_gsl_rk8pd<P>},
            {kRkf45, true, make_gsl_rkf45<P>},
            {kArkode, true, make_arkode_verner<P>}};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : 0.5 * (v[m - 1] + v[m]);
}

// One problem at one tolerance: a first solve for the result and the count, then rounds in
// which every solver solves once, so that load changes hit all of them alike.
template <class P>
void measure(const Options &opt, const Reference &ref, double rtol, std::vector<Row> &rows) {
    const std::vector<Entry> list = entries<P>();
    std::vector<std::unique_ptr<Solver>> solvers;
    std::vector<Row> local;
    for (const Entry &e : list) {
        solvers.push_back(e.make(rtol, rtol));
        std::vector<double> y(P::n);
        solvers.back()->solve(y.data());
        local.push_back({P::name, e.name, rtol, solvers.back()->evaluations,
                         relative_error(y.data(), ref.y), 0.0, 0.0});
    }
    std::vector<std::vector<double>> times(list.size()), paired(list.size());
    std::vector<double> y(P::n);
    const auto start = Clock::now();
    for (int round = 0; round < opt.max_rounds; ++round) {
        if (round >= opt.min_rounds &&
            std::chrono::duration<double>(Clock::now() - start).count() > opt.budget)
            break;
        for (std::size_t s = 0; s < solvers.size(); ++s) {
            const auto t0 = Clock::now();
            solvers[s]->solve(y.data());
            times[s].push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0)
                                   .count());
        }
        for (std::size_t s = 0; s < solvers.size(); ++s)
            paired[s].push_back(times[s].back() / times[1].back());
    }
    for (std::size_t s = 0; s < solvers.size(); ++s) {
        local[s].time_us = median(times[s]);
        local[s].overhead = median(paired[s]);
    }
    rows.insert(rows.end(), local.begin(), local.end());
    std::fprintf(stderr, "  rtol %.0e: %d rounds\n", rtol, static_cast<int>(times[0].size()));
}

// Time at a given achieved error, interpolated log-linearly along a solver's points taken
// from loose to tight tolerance; NaN when no two neighbouring points bracket the error.
double time_at_error(const std::vector<Row> &rows, const std::string &problem,
                     const std::string &solver, double error) {
    std::vector<const Row *> pts;
    for (const Row &r : rows)
        if (r.problem == problem && r.solver == solver) pts.push_back(&r);
    std::sort(pts.begin(), pts.end(), [](const Row *a, const Row *b) { return a->rtol > b->rtol; });
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        const double e0 = std::log(pts[i]->error), e1 = std::log(pts[i + 1]->error);
        const double e = std::log(error);
        if ((e0 - e) * (e1 - e) <= 0 && e0 != e1) {
            const double w = (e - e0) / (e1 - e0);
            return std::exp((1 - w) * std::log(pts[i]->time_us) +
                            w * std::log(pts[i + 1]->time_us));
        }
    }
    return NAN;
}

std::string fmt(const char *format, double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, x);
    return buf;
}

std::string slug(std::string s) {
    for (char &c : s)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return s;
}

template <class P>
void run_problem(const Options &opt, std::vector<Row> &rows, std::ostringstream &refs) {
    std::fprintf(stderr, "%s: reference solution\n", P::name);
    const auto t0 = Clock::now();
    const Reference ref = reference_solution<P>();
    refs << "| " << P::name << " | " << ref.steps << " | "
         << fmt("%.1e", ref.tolerance_difference) << " | " << fmt("%.1e", ref.method_difference)
         << " | " << fmt("%.0f", std::chrono::duration<double>(Clock::now() - t0).count())
         << " s |";
    for (double x : ref.y) refs << ' ' << fmt("%.17g", x);
    refs << " |\n";
    for (double rtol : opt.tolerances) measure<P>(opt, ref, rtol, rows);
}

void write_tables(const Options &opt, const std::vector<Row> &rows,
                  const std::vector<std::string> &problems) {
    std::ofstream tsv(opt.out + "/work_precision.tsv");
    tsv << "problem\tsolver\trtol\tevaluations\terror\ttime_us\n";
    for (const Row &r : rows)
        tsv << r.problem << '\t' << r.solver << '\t' << r.rtol << '\t' << r.evaluations << '\t'
            << r.error << '\t' << r.time_us << '\n';

    std::ofstream md(opt.out + "/tables.md");
    for (const std::string &p : problems) {
        md << "\n#### " << p
           << "\n\n| solver | rtol | evaluations | error | time per solve (us) |\n"
           << "|---|---|---:|---:|---:|\n";
        for (const Row &r : rows)
            if (r.problem == p)
                md << "| " << r.solver << " | " << fmt("%.0e", r.rtol) << " | " << r.evaluations
                   << " | " << fmt("%.2e", r.error) << " | " << fmt("%.1f", r.time_us) << " |\n";
    }
}

void write_plot(const Options &opt, const std::vector<Row> &rows,
                const std::vector<std::string> &problems) {
    std::vector<std::string> solvers;
    for (const Entry &e : entries<txbench::Lorenz>())
        if (e.plotted) solvers.push_back(e.name);
    std::ofstream gp(opt.out + "/plot.gp");
    gp << "set terminal pngcairo size 1400,1000 font ',10'\nset output 'work_precision.png'\n"
          "set multiplot layout 2,2 title 'Work-precision: achieved error against time per "
          "solve (rtol = atol = 1e-4 ... 1e-12)'\n"
          "set logscale xy\nset format y '1e%T'\nset grid\nset key top right\n"
          "set xlabel 'time per solve (us)'\nset ylabel 'relative error at the end'\n";
    for (const std::string &p : problems) {
        const std::string data = "wp_" + slug(p) + ".dat";
        std::ofstream dat(opt.out + "/" + data);
        for (const std::string &s : solvers) {
            dat << "# " << s << "\n";
            for (const Row &r : rows)
                if (r.problem == p && r.solver == s) dat << r.time_us << ' ' << r.error << '\n';
            dat << "\n\n";
        }
        gp << "set title '" << p << "'\nplot";
        for (std::size_t i = 0; i < solvers.size(); ++i)
            gp << (i ? ", \\\n    " : " ") << "'" << data << "' index " << i
               << " with linespoints lw 2 pt " << (i + 4) << " title '" << solvers[i] << "'";
        gp << "\n";
    }
    gp << "unset multiplot\n";
}

const Row *find_row(const std::vector<Row> &rows, const std::string &problem,
                    const std::string &solver, double rtol) {
    for (const Row &r : rows)
        if (r.problem == problem && r.solver == solver && r.rtol == rtol) return &r;
    return nullptr;
}

std::string ratio_cell(double peer, double ours) {
    return std::isnan(peer) ? std::string("(out of range)") : fmt("%.2f", peer / ours);
}

// The smallest ratio peer time / our time at equal achieved error over problems, levels and
// peers, and where it occurs; levels that one of the two does not reach are counted apart.
struct Slowest {
    double ratio = INFINITY;
    std::string where;
    int compared = 0, out_of_range = 0;
};

Slowest slowest_ratio(const std::vector<Row> &rows, const std::vector<const char *> &problems,
                      const std::vector<double> &levels, const char *ours,
                      const std::vector<const char *> &peers) {
    Slowest s;
    for (const char *p : problems)
        for (double e : levels) {
            const double base = time_at_error(rows, p, ours, e);
            for (const char *peer : peers) {
                const double other = time_at_error(rows, p, peer, e);
                if (std::isnan(base) || std::isnan(other)) {
                    ++s.out_of_range;
                    continue;
                }
                ++s.compared;
                if (other / base < s.ratio) {
                    s.ratio = other / base;
                    s.where = std::string(peer) + ", " + p + " at error " + fmt("%.0e", e);
                }
            }
        }
    return s;
}

// Times at equal achieved error: ours and each peer's divided by ours (above 1: ours faster).
void equal_error_table(std::ostream &md, const std::vector<Row> &rows,
                       const std::vector<const char *> &problems,
                       const std::vector<double> &levels, const char *ours,
                       const std::vector<const char *> &peers) {
    md << "| problem | achieved error | " << ours << " (us) |";
    for (const char *peer : peers) md << ' ' << peer << " |";
    md << "\n|---|---|---:|";
    for (std::size_t i = 0; i < peers.size(); ++i) md << "---:|";
    md << '\n';
    for (const char *p : problems)
        for (double e : levels) {
            const double base = time_at_error(rows, p, ours, e);
            md << "| " << p << " | " << fmt("%.0e", e) << " | "
               << (std::isnan(base) ? std::string("(out of range)") : fmt("%.1f", base)) << " |";
            for (const char *peer : peers)
                md << ' '
                   << (std::isnan(base) ? std::string("") :
                                          ratio_cell(time_at_error(rows, p, peer, e), base))
                   << " |";
            md << '\n';
        }
}

void write_summary(const Options &opt, const std::vector<Row> &rows) {
    std::ofstream md(opt.out + "/summary.md");
    md << "| problem | rtol | TXIntegrate (us) | reference loop (us) | overhead | reference "
          "loop with the right-hand side as a callback: ratio | tx.hpp: ratio |\n"
          "|---|---|---:|---:|---:|---:|---:|\n";
    for (const char *p : {txbench::Lorenz::name, txbench::VanDerPol::name,
                          txbench::Arenstorf::name, txbench::Neuron::name})
        for (double rtol : {1e-8, 1e-12}) {
            const Row *tx = find_row(rows, p, kTx, rtol), *ref = find_row(rows, p, kReferenceLoop, rtol),
                      *cb = find_row(rows, p, kCallbackLoop, rtol), *hpp = find_row(rows, p, kHpp, rtol);
            if (!tx || !ref || !cb || !hpp) continue;
            md << "| " << p << " | " << fmt("%.0e", rtol) << " | " << fmt("%.1f", tx->time_us)
               << " | " << fmt("%.1f", ref->time_us) << " | " << fmt("%.3f", tx->overhead)
               << " | " << fmt("%.3f", cb->overhead) << " | " << fmt("%.3f", hpp->overhead)
               << " |\n";
        }
    md << "\nThe 6(5) pair at equal achieved error, interpolated log-linearly along each "
          "solver's points (ratios above 1: the library is faster). The last column gives "
          "odeint the right-hand side through a function pointer, as the library gets it.\n\n";
    equal_error_table(md, rows, {txbench::Lorenz::name, txbench::Arenstorf::name}, kErrorLevels,
                      kTx, {kDopri5, kArkode, kDopri5Callback});
    md << "\n`tx.hpp` with the 6(5) pair against odeint's dopri5, both with the right-hand "
          "side inlined:\n\n";
    equal_error_table(md, rows, kSmooth, kErrorLevels, kHpp, {kDopri5});
    md << "\n#### The high-order pair against the peers\n\nThrough the C callback, against the "
          "peers given the right-hand side through a function pointer:\n\n";
    equal_error_table(md, rows, kSmooth, kTightLevels, kTxHigh, kCallbackPeers);
    md << "\nThrough `tx.hpp` with the right-hand side inlined, against the peers with it "
          "inlined (odeint) or through their own interface (GSL, ARKODE):\n\n";
    equal_error_table(md, rows, kSmooth, kTightLevels, kHppHigh, kInlinePeers);
    md << "\nThe neuron model at the programs' tolerance " << fmt("%.0e", kProgramTolerance)
       << " (`TXIntegrate`, the 6(5) pair against the high-order pair):\n\n"
          "| pair | evaluations | error | time per solve (us) |\n|---|---:|---:|---:|\n";
    for (const char *solver : {kTx, kTxHigh}) {
        const Row *r = find_row(rows, txbench::Neuron::name, solver, kProgramTolerance);
        if (!r) continue;
        md << "| " << solver << " | " << r->evaluations << " | " << fmt("%.2e", r->error) << " | "
           << fmt("%.1f", r->time_us) << " |\n";
    }
}

// One line per target: met, or missed and by how much.
void write_verdicts(const Options &opt, const std::vector<Row> &rows) {
    std::ofstream md(opt.out + "/verdicts.md");
    auto largest_overhead = [&rows](const char *solver, std::string &where) {
        double worst = 0.0;
        for (const char *p :
             {txbench::Lorenz::name, txbench::VanDerPol::name, txbench::Neuron::name})
            for (const Row &r : rows)
                if (r.problem == p && r.solver == solver && (r.rtol == 1e-8 || r.rtol == 1e-12) &&
                    r.overhead > worst) {
                    worst = r.overhead;
                    where = std::string(p) + " at " + fmt("%.0e", r.rtol);
                }
        return worst;
    };
    std::string where;
    double worst = largest_overhead(kTx, where);
    md << "- Overhead within 1.2: " << (worst <= 1.2 ? "met" : "missed")
       << ", largest ratio " << fmt("%.2f", worst) << " (" << where << ").\n";
    auto verdict = [&md](const std::string &target, const Slowest &s, double bound) {
        md << "- " << target << ": " << (s.compared > 0 && s.ratio > bound ? "met" : "missed")
           << ", smallest ratio " << fmt("%.2f", s.ratio) << " (" << s.where << "); "
           << s.compared << " comparisons";
        if (s.out_of_range) md << ", " << s.out_of_range << " out of range";
        md << ".\n";
    };
    const std::vector<const char *> lorenz_arenstorf{txbench::Lorenz::name,
                                                     txbench::Arenstorf::name};
    verdict("Faster than odeint dopri5 at equal error on Lorenz and Arenstorf",
            slowest_ratio(rows, lorenz_arenstorf, kErrorLevels, kTx, {kDopri5}), 1.0);
    verdict("At least 8 times faster than ARKODE with the same table",
            slowest_ratio(rows, lorenz_arenstorf, kErrorLevels, kTx, {kArkode}), 8.0 - 1e-12);
    verdict("High-order pair through the C callback faster than every peer given a function "
            "pointer, achieved errors 1e-8 to 1e-12 on Lorenz, Arenstorf and Van der Pol",
            slowest_ratio(rows, kSmooth, kTightLevels, kTxHigh, kCallbackPeers), 1.0);
    verdict("High-order pair through tx.hpp faster than every peer with the right-hand side "
            "inlined, same errors and problems",
            slowest_ratio(rows, kSmooth, kTightLevels, kHppHigh, kInlinePeers), 1.0);
    worst = largest_overhead(kHpp, where);
    md << "- tx.hpp with the 6(5) pair within 1.1 of the reference loop: "
       << (worst <= 1.1 ? "met" : "missed") << ", largest ratio " << fmt("%.2f", worst) << " ("
       << where << ").\n";
    verdict("tx.hpp with the 6(5) pair faster than odeint dopri5 (inlined) at equal error on "
            "Lorenz, Arenstorf and Van der Pol",
            slowest_ratio(rows, kSmooth, kErrorLevels, kHpp, {kDopri5}), 1.0);
    const Row *low = find_row(rows, txbench::Neuron::name, kTx, kProgramTolerance);
    const Row *high = find_row(rows, txbench::Neuron::name, kTxHigh, kProgramTolerance);
    if (low && high) {
        const double at_equal = time_at_error(rows, txbench::Neuron::name, kTxHigh, low->error);
        md << "- Neuron model at the programs' tolerance: high-order pair no slower than the "
              "6(5) pair: "
           << (high->time_us <= low->time_us ? "met" : "missed") << ", time ratio "
           << fmt("%.2f", high->time_us / low->time_us) << " at rtol "
           << fmt("%.0e", kProgramTolerance) << " (errors " << fmt("%.1e", high->error) << " and "
           << fmt("%.1e", low->error) << "); at the 6(5) pair's achieved error "
           << (std::isnan(at_equal) ? std::string("(out of range)")
                                     : fmt("%.2f", at_equal / low->time_us))
           << ".\n";
    }
}

// The stock eight-stage table against the nine-stage extension, and the extension against
// TXIntegrate, all with fixed steps 2^-k so that the step times add up exactly.
template <class P>
void order_check(std::ostringstream &md) {
    for (bool nine : {false, true}) {
        constexpr int kFirst = 3, kLast = 7, kCompared = 5;  // steps 2^-k
        std::vector<std::vector<double>> y;
        for (int k = kFirst; k <= kLast; ++k)
            y.push_back(arkode_fixed_steps<P>(std::ldexp(1.0, -k), nine));
        md << "| " << P::name << " | " << (nine ? "9-stage extension" : "stock 8-stage table")
           << " |";
        for (std::size_t i = 0; i + 2 < y.size(); ++i) {
            const double d1 = relative_error(y[i].data(), y[i + 1]);
            const double d2 = relative_error(y[i + 1].data(), y[i + 2]);
            md << ' ' << fmt("%.2f", std::log2(d1 / d2)) << " |";
        }
        if (nine) {
            // The same fixed steps with the library: zero tolerances accept every attempt.
            const double h = std::ldexp(1.0, -kCompared);
            Traxis tx = TXOpenTraxis(txbench::fcn<P>, P::n, 0.0, h);
            auto state = P::y0;
            double t = P::t0;
            TXIntegrate(tx, &t, P::t1, state.data());
            TXCloseTraxis(tx);
            md << ' ' << fmt("%.1e", relative_error(state.data(), y[kCompared - kFirst])) << " |\n";
        } else {
            md << " |\n";
        }
    }
}

}  // namespace
}  // namespace txpeers

int main(int argc, char **argv) {
    using namespace txpeers;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR [--quick]\n", argv[0]);
        return 2;
    }
    Options opt;
    opt.out = argv[1];
    if (argc > 2 && std::strcmp(argv[2], "--quick") == 0) {
        opt.budget = 0.05;
        opt.min_rounds = 3;
    }
    gsl_set_error_handler_off();
    txbench::Neuron::setup();
    if (!txbench::Neuron::formula_is_the_model()) {
        std::fprintf(stderr, "the reference formula of the neuron model no longer matches "
                             "model(): update bench/neuron_problem.hpp\n");
        return 1;
    }

    std::vector<Row> rows;
    std::ostringstream refs, order;
    run_problem<txbench::Lorenz>(opt, rows, refs);
    run_problem<txbench::Arenstorf>(opt, rows, refs);
    run_problem<txbench::VanDerPol>(opt, rows, refs);
    run_problem<txbench::Neuron>(opt, rows, refs);
    const std::vector<std::string> problems{txbench::Lorenz::name, txbench::Arenstorf::name,
                                            txbench::VanDerPol::name, txbench::Neuron::name};
    order_check<txbench::VanDerPol>(order);

    write_tables(opt, rows, problems);
    write_plot(opt, rows, problems);
    write_summary(opt, rows);
    write_verdicts(opt, rows);
    std::ofstream(opt.out + "/references.md") << refs.str();
    std::ofstream(opt.out + "/order.md") << order.str();
    return 0;
}
