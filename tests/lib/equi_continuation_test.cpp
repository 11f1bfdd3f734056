// One-parameter equilibrium continuation against branches and bifurcation points known in
// closed form.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "branches.hpp"
#include "memory_stream.hpp"
#include "owned_handle.hpp"
#include "systems.hpp"
#include "tx.h"

namespace {

using txtest::g_mu;
using txtest::g_rho;
using txtest::OwnedHandle;

// What UserOutput saw: the record at each accepted point and each confirmed bifurcation.  A
// bifurcation report carries the step number of the point before it.
struct Entry {
    int steps;
    int biftype;
    double c;
    std::vector<double> y;
};
thread_local std::vector<Entry> *g_log = nullptr;
void log_entry(Traxis tx, FILE *) {
    const TraxisBif b = tx->txb;
    g_log->push_back({b->steps, b->biftype, b->c[b->cindi[1]], {b->y, b->y + tx->order}});
}
struct Log {
    std::vector<Entry> entries;
    Log() { g_log = &entries; }
    ~Log() { g_log = nullptr; }
    std::vector<Entry> select(bool bifurcations) const {
        std::vector<Entry> out;
        for (std::size_t i = 0; i < entries.size(); ++i)
            if ((i > 0 && entries[i].steps == entries[i - 1].steps) == bifurcations)
                out.push_back(entries[i]);
        return out;
    }
};

int count(const std::string &text, const std::string &what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The standard-output trace of f().
template <class F>
std::string traced(F &&f) {
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

// A handle with the parameter p registered; difference Jacobians when jac is null.
OwnedHandle open_branch(fcn_t f, int n, double *p, jac_t jac, jac_t pjac) {
    OwnedHandle tx = txtest::open_quiet(f, n, 1e-8, 0.01);
    if (jac)
        TXVarOpenTraxis(tx.get(), jac, 1, pjac, p);
    else
        TXVarOpenTraxis(tx.get(), nullptr, 1e-7, 1, nullptr, 1e-7, p);
    return tx;
}
OwnedHandle open_lorenz(bool analytic = true) {
    return open_branch(txtest::lorenz, 3, &g_rho, analytic ? txtest::lorenz_jac : nullptr,
                       txtest::lorenz_rho_jac);
}

// The Lorenz branch from rho0 to its first bifurcation, logged to UserOutput (and to state).
int lorenz_to_hopf(Traxis tx, double rho0, double *dc, FILE *state = nullptr) {
    g_rho = rho0;
    double y[3];
    txtest::lorenz_equilibrium(rho0, y);
    y[0] += 0.01;  // near the equilibrium: the first point is the corrected one
    return state ? TXEquiCont(tx, y, &g_rho, dc, 1, 1 | 4, state, log_entry, nullptr)
                 : TXEquiCont(tx, y, &g_rho, dc, 1, 4, log_entry, nullptr);
}

TEST(EquiCont, LorenzHopfWithinWhatTheTolerancesPromise) {
    // The test function at the located point is within LambdaNewtRelTol, and d Re(lambda)/d rho
    // is 0.0302 at rho_H: default tolerances (RelTol 1e-8) promise rho_H within 0.17, tightened
    // ones within 3.3e-8.  Runs: analytic, differences, tightened, downwards from rho = 30.
    std::vector<Entry> points[4];
    for (int run = 0; run < 4; ++run) {
        OwnedHandle tx = open_lorenz(run != 1);
        if (run == 2) {
            tx->LambdaNewtRelTol = 1e-9;
            tx->NewtRelTol = 1e-14;
        }
        Log log;
        double dc = run == 3 ? -0.5 : 0.5;
        txtest::MemoryStream state;
        int result = 0;
        traced(
            [&] { result = lorenz_to_hopf(tx.get(), run == 3 ? 30.0 : 15.0, &dc, state.get()); });
        ASSERT_EQ(result, 1);
        const TraxisBif b = tx->txb;
        EXPECT_EQ(b->biftype, TX_BIF_HOPF);
        EXPECT_EQ(count(state.text(), "|                        HOPF -Oo- or -oO- "), 1);
        EXPECT_NEAR(b->c[0], txtest::kRhoHopf, tx->LambdaNewtRelTol / 0.0302 + 1e-9) << run;
        EXPECT_EQ(log.select(true).size(), 1u);

        // The first point is the equilibrium at the start value, written before any step; every
        // point is on the branch; the parameter moves one way.
        points[run] = log.select(false);
        ASSERT_GE(points[run].size(), 3u);
        EXPECT_EQ(points[run][0].c, run == 3 ? 30.0 : 15.0);
        EXPECT_LT(state.text().find("Step: 0"), state.text().find("Stepsize"));
        for (std::size_t i = 0; i < points[run].size(); ++i) {
            const Entry &p = points[run][i];
            double eq[3];
            txtest::lorenz_equilibrium(p.c, eq);
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(p.y[k], eq[k], 1e-3 * eq[k]);
            if (i > 0) {
                EXPECT_GT((p.c - points[run][i - 1].c) * dc, 0.0);
            }
        }
        // nrbif 1: *c is back at the point that revealed the bifurcation, not yet written.
        EXPECT_GT((g_rho - txtest::kRhoHopf) * dc, 0.0);
        EXPECT_LT((points[run].back().c - txtest::kRhoHopf) * dc, 0.0);
    }
    // Difference quotients (JacPert 1e-7) change the tangents at that level only.
    ASSERT_EQ(points[0].size(), points[1].size());
    for (std::size_t i = 0; i < points[0].size(); ++i)
        EXPECT_NEAR(points[0][i].c, points[1][i].c, 1e-6);
}

TEST(EquiCont, CubicBranchPassesBothFolds) {
    // mu = x^3 - x folds at x = -+1/sqrt 3; 1 - 3x^2 is steep there and mu flat, so the located
    // mu is within the residual tolerance |x| sqrt(NewtRelTol) = 6e-8.
    OwnedHandle tx = open_branch(txtest::cubic, 2, &g_mu, txtest::cubic_jac, txtest::cubic_mu_jac);
    tx->LambdaNewtRelTol = 1e-10;
    tx->NewtRelTol = 1e-14;
    tx->MaxContSteps = 120;
    g_mu = -1.0;
    double y[2] = {-1.3, 0.1}, dc = 0.1;
    Log log;
    txtest::MemoryStream state;
    traced([&] {
        ASSERT_EQ(TXEquiCont(tx.get(), y, &g_mu, &dc, 0, 5, state.get(), log_entry, nullptr), 1);
    });
    const std::vector<Entry> bifs = log.select(true), points = log.select(false);
    ASSERT_EQ(bifs.size(), 2u);
    for (int f = 0; f < 2; ++f) {
        const double sign = f == 0 ? 1.0 : -1.0;
        EXPECT_EQ(bifs[f].biftype, TX_BIF_SADDLE_NODE);
        EXPECT_NEAR(bifs[f].c, sign * txtest::kMuFold, 6e-8);
        EXPECT_NEAR(bifs[f].y[0], -sign / std::sqrt(3.0), 1e-9);
    }
    EXPECT_EQ(count(state.text(), "|                        SADDLE-NODE ) or ( "), 2);

    // nrbif 0: MaxContSteps passes, all accepted here.  The parameter runs up, back after the
    // first fold and up again after the second; every point lies on mu = x^3 - x.
    EXPECT_EQ(points.size(), 120u);
    int turns = 0;
    for (std::size_t i = 2; i < points.size(); ++i) {
        EXPECT_NEAR(points[i].c, std::pow(points[i].y[0], 3) - points[i].y[0], 1e-13);
        turns += (points[i - 1].c - points[i - 2].c) * (points[i].c - points[i - 1].c) < 0.0;
    }
    EXPECT_EQ(turns, 2);
    EXPECT_GT(dc, 0.0);
    EXPECT_GT(points.back().y[0], 1.0 / std::sqrt(3.0));

    // From one prediction to the next the step is halved or adapted by a factor within
    // [0.7071, 1.4142], and never exceeds its value at entry (printed to 6 digits).
    const std::string text = state.text();
    std::vector<double> sizes;
    for (auto at = text.find("Stepsize: "); at != std::string::npos;
         at = text.find("Stepsize: ", at + 1))
        sizes.push_back(std::fabs(std::stod(text.substr(at + 10))));
    ASSERT_GT(sizes.size(), 100u);
    for (std::size_t i = 1; i < sizes.size(); ++i) {
        const double r = sizes[i] / sizes[i - 1];
        EXPECT_TRUE(std::fabs(r - 0.5) < 1e-5 || (r > 0.7071 - 1e-5 && r < 1.4142 + 1e-5)) << r;
        EXPECT_LE(sizes[i], 0.1);
    }
}

// x' = mu - x, y' = -y: the branch x = mu, with every number of the trace exact.
void line(double, double *y, double *f) {
    ++txtest::g_calls;
    f[0] = g_mu - y[0];
    f[1] = -y[1];
}
void line_jac(double, double *, double **J) {
    J[0][0] = J[1][1] = -1.0;
    J[0][1] = J[1][0] = 0.0;
}
void line_mu_jac(double, double *, double **P) {
    P[0][0] = 1.0;
    P[1][0] = 0.0;
}
OwnedHandle open_line() { return open_branch(line, 2, &g_mu, line_jac, line_mu_jac); }

// Two passes along the line from mu = 0 with the given outputs; the trace.
template <class... Outputs>
std::string line_trace(int mode, Outputs... outputs) {
    OwnedHandle tx = open_line();
    tx->MaxContSteps = 2;
    g_mu = 0.0;
    double y[2] = {0.3, 0.2}, dc = 0.5;
    const std::string trace =
        traced([&] { EXPECT_EQ(TXEquiCont(tx.get(), y, &g_mu, &dc, 0, mode, outputs...), 1); });
    EXPECT_EQ(g_mu, 0.5);
    EXPECT_EQ(dc, 0.5);  // grown by the largest factor, held at its value at entry
    return trace;
}

TEST(EquiCont, TraceOfAShortRunAndOutputsByMode) {
    const std::string expected =
        "\t\tIn TXEquiCont(...) function. Current parameter value is 0.000000\n"
        "\t\t\tMemory is allocated\n"
        "\t\t\tVariables are initialized, the parameter value is 0.000000\n"
        "\t\t\tThe main loop is started\n"
        "\t\tChecking if(!first)...first. Parameter value is 0.000000\n"
        "\t\t\t Calculating eigenvalues... done\n"
        "\t\t\t Calculating tangent (par[0] == 0.000000)... Calling TXLinZero... OK "
        "done(ltang == 1.000000)\n"
        "\t\tSetting first = 0\n"
        "\t\tChecking if(!first)...Not first!\n"
        "\t\tTrying to predict. dummy == 0.000000, *dc == 0.500000, ltang == 1.000000\n"
        "\t\tpar[0](0.500000) = oldc(0.000000) + dummy(0.500000)\n"
        "\t\t\t Calculating eigenvalues... done\n"
        "\t\t\t Calculating tangent (par[0] == 0.500000)... Calling TXLinZero... OK "
        "done(ltang == 1.000000)\n"
        "\t\tIt's !first\n"
        "\t\tTrying to adjust step\n"
        "\t\t\t Step is adjusted\n"
        "\t\tSetting first = 0\n"
        "\t\t\tThe main loop is done with steps == 2, nbifs == 0, nrbif == 0\n";
    EXPECT_EQ(line_trace(0), expected);
    // Null streams and a null callback count as clear bits; unknown bits are ignored.
    EXPECT_EQ(line_trace(7 | 8, nullptr, nullptr, nullptr, nullptr), expected);

    txtest::MemoryStream state, path;
    line_trace(3, state.get(), path.get());
    EXPECT_EQ(path.text(), "0 0 0 \n0.5 0.5 0 \n");
    const std::string text = state.text();
    EXPECT_EQ(text.substr(0, text.find('\n')), "   Step: 0      ");
    EXPECT_EQ(count(text, "   Stepsize: 0.5 .\n   Step: 1      \n"), 1);
}

TEST(EquiCont, RefusalsComeBeforeAnyEvaluationAndOnePassIsAlwaysMade) {
    OwnedHandle tx = open_line();
    double y[2] = {0.5, 0.0}, dc = 0.5, other = 0.0;
    txtest::g_calls = 0;
    traced([&] {
        EXPECT_EQ(TXEquiCont(tx.get(), y, &other, &dc, 0, 0), 0);
        EXPECT_EQ(tx->ErrorCode, TX_ERR_NPARAM);
        for (double bad : {0.0, std::nan(""), HUGE_VAL}) {
            dc = bad;
            EXPECT_EQ(TXEquiCont(tx.get(), y, &g_mu, &dc, 0, 0), 0);
            EXPECT_EQ(tx->ErrorCode, TX_ERR_MIN_STEPSIZE);
        }
        // A record made before the parameter was registered has no room for it.
        OwnedHandle early = txtest::open_quiet(line, 2, 1e-8, 0.01);
        early->txb = TXCreateBif(early.get());
        TXVarOpenTraxis(early.get(), nullptr, 1e-7, 1, nullptr, 1e-7, &g_mu);
        dc = 0.5;
        EXPECT_EQ(TXEquiCont(early.get(), y, &g_mu, &dc, 0, 0), 0);
        EXPECT_EQ(early->ErrorCode, TX_ERR_NO_BIF);
        EXPECT_EQ(early->txb->cindi[0], 0);
    });
    EXPECT_EQ(txtest::g_calls, 0);

    // MaxContSteps <= 0, or nrbif < 0: the start point alone.
    for (int max_steps : {0, -3, 10}) {
        tx->MaxContSteps = max_steps;
        g_mu = 1.0;
        Log log;
        traced([&] {
            EXPECT_EQ(
                TXEquiCont(tx.get(), y, &g_mu, &dc, max_steps > 0 ? -1 : 0, 4, log_entry, nullptr),
                1);
        });
        ASSERT_EQ(log.entries.size(), 1u);
        EXPECT_EQ(log.entries[0].y[0], 1.0);
    }
}

TEST(EquiCont, FailedLocationRejectsThePassAndTheRunGoesOn) {
    // A test-function tolerance of 1e-300 cannot be met: every location fails with code 30.
    auto run = [](Traxis tx, double *dc) {
        *dc = 0.5;
        tx->LambdaNewtRelTol = 1e-300;
        tx->MaxContSteps = 12;
        return lorenz_to_hopf(tx, 23.0, dc);
    };
    OwnedHandle tx = open_lorenz();
    Log log;
    double dc = 0.5;
    const std::string trace = traced([&] { EXPECT_EQ(run(tx.get(), &dc), 1); });
    const int rejected = count(trace, "\t\t\t Warning! TX is not OK!\n");
    EXPECT_GE(rejected, 2);
    EXPECT_EQ(count(trace, "Locating a bifurcation"), rejected);
    EXPECT_EQ(tx->ErrorCode, 0);  // the run succeeded: the failed locations leave no code
    EXPECT_TRUE(log.select(true).empty());
    EXPECT_EQ(log.entries.size() + rejected, 12u);
    EXPECT_LT(log.entries.back().c, txtest::kRhoHopf);
    EXPECT_LT(std::fabs(dc), 0.5 / 4);  // halved at every rejection

    tx->TerminateOnFatalError = 1;
    EXPECT_EXIT(run(tx.get(), &dc), testing::ExitedWithCode(1),
                "'TXLocateEquiBif': No Convergense in Newton iteration");
}

// x' = mu - x up to mu = 1, not a number beyond.
void ends_at_one(double, double *y, double *f) {
    f[0] = g_mu > 1.0 ? std::nan("") : g_mu - y[0];
    f[1] = -y[1];
}

TEST(EquiCont, NoConvergenceOnNaNAndEveryHalvingEnds) {
    // Past mu = 1 every residual is NaN; the step is halved until below the minimum step, or,
    // with NewtRelTol 0 and a minimum step of 1e-300, until it no longer moves mu = 1.
    for (double rel : {1e-4, 0.0}) {
        OwnedHandle tx = open_branch(ends_at_one, 2, &g_mu, line_jac, line_mu_jac);
        tx->NewtRelTol = rel;
        tx->NewtAbsTol = rel == 0.0 ? 1e-300 : 0.0;
        g_mu = 0.0;
        double y[2] = {0.5, 0.5}, dc = 0.5;
        Log log;
        traced(
            [&] { EXPECT_EQ(TXEquiCont(tx.get(), y, &g_mu, &dc, 0, 4, log_entry, nullptr), 0); });
        EXPECT_EQ(tx->ErrorCode, TX_ERR_MIN_STEPSIZE);
        ASSERT_EQ(log.entries.size(), 3u);  // mu = 0, 0.5 and 1
        for (const Entry &p : log.entries) EXPECT_EQ(p.y[0], p.c);
        if (rel == 0.0) {
            EXPECT_EQ(1.0 + dc, 1.0);
            EXPECT_NE(1.0 + 2 * dc, 1.0);
        }
    }
}

TEST(EquiCont, SeparateHandlesInSeparateThreads) {
    auto lorenz_run = [] {
        OwnedHandle tx = open_lorenz();
        Log log;
        double dc = 0.5;
        lorenz_to_hopf(tx.get(), 15.0, &dc);
        return log.entries;
    };
    auto line_run = [] {
        OwnedHandle tx = open_line();
        g_mu = 0.0;
        double y[2] = {0.5, 0.5}, dc = 0.01;
        Log log;
        TXEquiCont(tx.get(), y, &g_mu, &dc, 0, 4, log_entry, nullptr);
        return log.entries;
    };
    std::vector<Entry> alone[2], threaded[2];
    traced([&] {
        alone[0] = lorenz_run();
        alone[1] = line_run();
        std::thread a([&] { threaded[0] = lorenz_run(); });
        std::thread b([&] { threaded[1] = line_run(); });
        a.join();
        b.join();
    });
    for (int r = 0; r < 2; ++r) {
        ASSERT_EQ(alone[r].size(), threaded[r].size());
        for (std::size_t i = 0; i < alone[r].size(); ++i) {
            EXPECT_EQ(alone[r][i].c, threaded[r][i].c);
            EXPECT_EQ(alone[r][i].y, threaded[r][i].y);
        }
    }
}

}  // namespace
