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
const char *const kReferenceLoop = "reference loop";
const char *const kCallbackLoop = "reference loop, callback";
const char *const kDopri5 = "odeint dopri5";
const char *const kDopri5Callback = "odeint dopri5, callback";
const char *const kArkode = "ARKODE Verner 6(5)";

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

template <class P>
std::vector<Entry> entries() {
    return {{kTx, true, make_tx<P>},
            {kReferenceLoop, false, make_reference_loop<P>},
            {kCallbackLoop, false, make_callback_reference_loop<P>},
            {kDopri5, true, make_odeint_dopri5<P>},
            {kDopri5Callback, false, make_odeint_dopri5_callback<P>},
            {"odeint fehlberg78", true, make_odeint_fehlberg78<P>},
            {"GSL rk8pd", true, make_gsl_rk8pd<P>},
            {"GSL rkf45", true, make_gsl_rkf45<P>},
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

void write_summary(const Options &opt, const std::vector<Row> &rows) {
    std::ofstream md(opt.out + "/summary.md");
    md << "| problem | rtol | TXIntegrate (us) | reference loop (us) | overhead | reference "
          "loop with the right-hand side as a callback: ratio |\n|---|---|---:|---:|---:|---:|\n";
    auto find = [&rows](const char *p, const char *solver, double rtol) -> const Row * {
        for (const Row &r : rows)
            if (r.problem == p && r.solver == solver && r.rtol == rtol) return &r;
        return nullptr;
    };
    for (const char *p : {txbench::Lorenz::name, txbench::VanDerPol::name,
                          txbench::Arenstorf::name, txbench::Neuron::name})
        for (double rtol : {1e-8, 1e-12}) {
            const Row *tx = find(p, kTx, rtol), *ref = find(p, kReferenceLoop, rtol),
                      *cb = find(p, kCallbackLoop, rtol);
            if (!tx || !ref || !cb) continue;
            md << "| " << p << " | " << fmt("%.0e", rtol) << " | " << fmt("%.1f", tx->time_us)
               << " | " << fmt("%.1f", ref->time_us) << " | " << fmt("%.3f", tx->overhead)
               << " | " << fmt("%.3f", cb->overhead) << " |\n";
        }
    md << "\nTime at equal achieved error, interpolated log-linearly along each solver's points "
          "(ratios above 1: the library is faster). The last column gives odeint the "
          "right-hand side through a function pointer, as the library gets it.\n\n"
          "| problem | achieved error | TXIntegrate (us) | odeint dopri5 / TXIntegrate | "
          "ARKODE Verner 6(5) / TXIntegrate | odeint dopri5, callback / TXIntegrate |\n"
          "|---|---|---:|---:|---:|---:|\n";
    auto ratio = [](double a, double b, const char *format) {
        return std::isnan(a) ? std::string("(out of range)") : fmt(format, a / b);
    };
    for (const char *p : {txbench::Lorenz::name, txbench::Arenstorf::name})
        for (double e : kErrorLevels) {
            const double tx = time_at_error(rows, p, kTx, e);
            if (std::isnan(tx)) continue;
            md << "| " << p << " | " << fmt("%.0e", e) << " | " << fmt("%.1f", tx) << " | "
               << ratio(time_at_error(rows, p, kDopri5, e), tx, "%.2f") << " | "
               << ratio(time_at_error(rows, p, kArkode, e), tx, "%.1f") << " | "
               << ratio(time_at_error(rows, p, kDopri5Callback, e), tx, "%.2f") << " |\n";
        }
}

// One line per target: met, or missed and by how much.
void write_verdicts(const Options &opt, const std::vector<Row> &rows) {
    std::ofstream md(opt.out + "/verdicts.md");
    double worst = 0.0;
    std::string where;
    for (const char *p : {txbench::Lorenz::name, txbench::VanDerPol::name, txbench::Neuron::name})
        for (const Row &r : rows)
            if (r.problem == p && r.solver == kTx && (r.rtol == 1e-8 || r.rtol == 1e-12) &&
                r.overhead > worst) {
                worst = r.overhead;
                where = std::string(p) + " at " + fmt("%.0e", r.rtol);
            }
    md << "- Overhead within 1.2: " << (worst <= 1.2 ? "met" : "missed")
       << ", largest ratio " << fmt("%.2f", worst) << " (" << where << ").\n";
    double slowest_dp = INFINITY, slowest_ak = INFINITY;
    std::string dp_at, ak_at;
    for (const char *p : {txbench::Lorenz::name, txbench::Arenstorf::name})
        for (double e : kErrorLevels) {
            const double tx = time_at_error(rows, p, kTx, e);
            if (std::isnan(tx)) continue;
            const double dp = time_at_error(rows, p, kDopri5, e) / tx;
            const double ak = time_at_error(rows, p, kArkode, e) / tx;
            const std::string at = std::string(p) + " at error " + fmt("%.0e", e);
            if (dp < slowest_dp) slowest_dp = dp, dp_at = at;
            if (ak < slowest_ak) slowest_ak = ak, ak_at = at;
        }
    md << "- Faster than odeint dopri5 at equal error on Lorenz and Arenstorf: "
       << (slowest_dp > 1.0 ? "met" : "missed") << ", smallest ratio " << fmt("%.2f", slowest_dp)
       << " (" << dp_at << ").\n";
    md << "- At least 8 times faster than ARKODE with the same table: "
       << (slowest_ak >= 8.0 ? "met" : "missed") << ", smallest ratio "
       << fmt("%.1f", slowest_ak) << " (" << ak_at << ").\n";
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
