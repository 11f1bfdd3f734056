// One-parameter continuation of periodic orbits against branches and bifurcations known in
// closed form.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cycle_systems.hpp"
#include "memory_stream.hpp"

namespace {

using namespace txtest::cycles;

// The record at each accepted point and each bifurcation, as UserOutput sees it.
struct Point {
    int steps, biftype;
    double lambda, omega, T;
    std::vector<double> y, er, ei;
};
std::vector<Point> *g_points = nullptr;
void log_point(Traxis tx, FILE *) {
    const TraxisBif b = tx->txb;
    const int n = tx->order;
    g_points->push_back({b->steps, b->biftype, b->c[0], b->c[1], b->T, {b->y, b->y + n},
                         {b->er, b->er + n}, {b->ei, b->ei + n}});
}
struct Log {
    std::vector<Point> points;
    Log() { g_points = &points; }
    ~Log() { g_points = nullptr; }
    // A bifurcation is reported with the step number of the point before it.
    int bifurcations() const {
        int count = 0;
        for (std::size_t i = 1; i < points.size(); ++i) count += points[i].steps == points[i - 1].steps;
        return count;
    }
};

// Continues S from its orbit through the separated point (r0, 0, ...) at lambda0, logging each
// point, and with a state stream its marks; nrbif 1 ends the run at the first bifurcation.
template <class S>
int run(Traxis tx, bool autonomous, double r0, double dc, int nrbif, FILE *state = nullptr) {
    double y[4], T = autonomous ? cycle_period() : forcing_period();
    observed_point<S>(0.0, {r0, 0.0}, y);
    const int mode = 1 | 4;  // a null state stream counts as none
    return autonomous ? TXAutoCont(tx, 0.0, y, 1, &T, &g_lambda, &dc, nrbif, mode, state,
                                   log_point, nullptr)
                      : TXNonAutoCont(tx, 0.0, y, T, &g_lambda, &dc, nrbif, mode, state,
                                      log_point, nullptr);
}

struct Case {
    const char *name;
    txtest::OwnedHandle (*open)(double, bool);
    int (*go)(Traxis, bool, double, double, int, FILE *);
    bool autonomous;
    double lambda0, r0, dc;
    int type;
    double at;                                  // the bifurcation value of lambda
    const char *text_top_above, *text_top_below;  // btype when ctop > c* and otherwise
};

template <class S>
Case make(const char *name, bool autonomous, double lambda0, double r0, double dc, int type,
          double at, const char *above, const char *below) {
    return {name, open_cycle<S>, run<S>, autonomous, lambda0, r0, dc, type, at, above, below};
}

// Each type on both kinds of orbit.  Stable counts: the twisted cycle has three non-trivial
// multipliers inside the circle before the doubling and two after, its doubled orbit three;
// the torus pair leaves the radial one; the transcritical and pitchfork direction is stable
// below 0 on the trivial branch and above 0 on the other; at the fold the outer cycle is the
// stable one.  The forced systems lack the radial multiplier.
const std::vector<Case> &cases() {
    static const std::vector<Case> all = {
        make<DoublingCycle>("doubling cycle", true, -0.05, 1.0, 0.02, TX_BIF_PERIOD_DOUBLING, 0.0,
                            " 3 -(- 2", nullptr),
        make<TorusCycle>("torus cycle", true, -0.05, 1.0, 0.02, TX_BIF_TORUS, 0.0, " 3 -oO- 1",
                         " 3 -Oo- 1"),
        make<TranscriticalCycle>("transcritical cycle", true, -0.05, 1.0, 0.02,
                                 TX_BIF_TRANSCRITICAL, 0.0, " -/- (2 1)", " -\\- (2 1)"),
        make<PitchforkCycle>("pitchfork cycle", true, -0.05, 1.0, 0.02, TX_BIF_PITCHFORK, 0.0,
                             " 2 -(- 1", nullptr),
        make<FoldCycle>("fold cycle", true, -0.95, std::sqrt(1.0 + std::sqrt(0.05)), -0.02,
                        TX_BIF_SADDLE_NODE, -1.0, nullptr, nullptr),
        make<DoublingForced>("doubling forced", false, -0.05, 0.0, 0.02, TX_BIF_PERIOD_DOUBLING,
                             0.0, " 2 -(- 1", nullptr),
        make<TorusForced>("torus forced", false, -0.05, 0.0, 0.02, TX_BIF_TORUS, 0.0, " 2 -oO- 0",
                          " 2 -Oo- 0"),
        make<TranscriticalForced>("transcritical forced", false, -0.05, 0.0, 0.02,
                                  TX_BIF_TRANSCRITICAL, 0.0, " -/- (2 1)", " -\\- (2 1)"),
        make<PitchforkForced>("pitchfork forced", false, -0.05, 0.0, 0.02, TX_BIF_PITCHFORK, 0.0,
                              " 2 -(- 1", nullptr),
        make<FoldForced>("fold forced", false, -0.95, std::sqrt(1.0 + std::sqrt(0.05)), -0.02,
                         TX_BIF_SADDLE_NODE, -1.0, nullptr, nullptr),
    };
    return all;
}

TEST(OrbitCont, ReachesEachTypeAsClosedFormsPredict) {
    for (const Case &k : cases()) {
        SCOPED_TRACE(k.name);
        auto tx = k.open(k.lambda0, k.autonomous);
        Log log;
        ASSERT_EQ(k.go(tx.get(), k.autonomous, k.r0, k.dc, 1, nullptr), 1);
        const TraxisBif b = tx->txb;
        EXPECT_EQ(b->cindi[0], 1);
        EXPECT_EQ(b->biftype, k.type);
        ASSERT_EQ(log.points.back().biftype, k.type);

        // Located within what |m - 1| <= LambdaNewtRelTol promises (dm/dlambda >= T), the run
        // stopped there and *c left at it, not at the last point of the branch.
        const double T = k.autonomous ? cycle_period() : forcing_period();
        EXPECT_NEAR(g_lambda, k.at, tx->LambdaNewtRelTol / T);
        EXPECT_EQ(g_lambda, b->c[0]);
        EXPECT_NE(g_lambda, log.points[log.points.size() - 2].lambda);
        int crit = 0;
        EXPECT_NEAR(CRIT(tx.get(), &crit, k.autonomous ? 1 : 0), 1.0, tx->LambdaNewtRelTol);
        if (k.type == TX_BIF_PERIOD_DOUBLING) {
            EXPECT_NEAR(b->er[crit], -1.0, 1e-3);
        }
        if (k.type == TX_BIF_TORUS) {
            // The pair turns by kappa omega T per period.
            const double angle = kKappa * g_omega * T;
            EXPECT_NEAR(b->er[crit], std::cos(angle), 1e-3);
            EXPECT_NEAR(std::fabs(b->ei[crit]), std::fabs(std::sin(angle)), 1e-3);
        }

        const std::string text = b->btype;
        if (k.type == TX_BIF_SADDLE_NODE) {
            // Both neighbours across the critical direction lie where the two cycles exist.
            EXPECT_GT(b->ctop, k.at);
            EXPECT_GT(b->cbot, k.at);
            const int n = tx->order - (k.autonomous ? 1 : 0);
            const std::string outer_first = " " + std::to_string(n) + " ( " + std::to_string(n - 1);
            const std::string inner_first = " " + std::to_string(n - 1) + " ( " + std::to_string(n);
            EXPECT_TRUE(text == outer_first || text == inner_first) << text;
            // The branch came down the outer cycle; no tangent is written.
            EXPECT_EQ(b->indir, text == outer_first ? 1 : 2);
            for (int i = 0; i < tx->order; ++i) EXPECT_EQ(b->tang[i], 0.0);
        } else {
            const bool above = b->ctop > g_lambda;
            EXPECT_EQ(text, above ? k.text_top_above : k.text_top_below);
            EXPECT_EQ(b->indir, 3);  // arrived from below: the left neighbour
        }
    }
}

TEST(OrbitCont, ArrivalFromAboveNamesTheRightNeighbour) {
    for (bool autonomous : {false, true}) {
        Case k = cases()[autonomous ? 2 : 7];  // transcritical
        SCOPED_TRACE(k.name);
        auto tx = k.open(0.05, autonomous);
        Log log;
        ASSERT_EQ(k.go(tx.get(), autonomous, k.r0, -0.02, 1, nullptr), 1);
        EXPECT_EQ(tx->txb->biftype, TX_BIF_TRANSCRITICAL);
        EXPECT_EQ(tx->txb->indir, 4);
    }
}

TEST(OrbitCont, HopfNormalFormAlongItsBranch) {
    // r' = r (mu - r^2), theta' = omega: radius sqrt(mu), period 2 pi / omega, non-trivial
    // multiplier e^(-2 mu T).  The trivial multiplier, near 1 on either side by rounding,
    // must never start a search.  Multipliers to the accuracy of difference Jacobians.
    auto tx = open_cycle<HopfCycle>(0.5, true);
    tx->MaxContSteps = 8;
    Log log;
    txtest::MemoryStream state;
    ASSERT_EQ(run<HopfCycle>(tx.get(), true, std::sqrt(0.5), -0.1, 0, state.get()), 1);
    ASSERT_EQ(log.points.size(), 8u);
    EXPECT_LT(log.points.back().lambda, 0.25);
    for (const Point &p : log.points) {
        const double T = 2.0 * M_PI / g_omega;
        EXPECT_NEAR(p.T, T, 1e-7);
        EXPECT_NEAR(std::hypot(p.y[0], p.y[1]), std::sqrt(p.lambda), tx->NewtRelTol);
        EXPECT_NEAR(p.er[0], std::exp(-2.0 * p.lambda * T), 1e-5);
        EXPECT_NEAR(p.er[1], 1.0, 1e-5);
    }
    EXPECT_EQ(state.text().find("Searching"), std::string::npos);

    // Continued in omega instead, the period follows 2 pi / omega.
    g_lambda = 1.0;
    double y[2] = {1.0, 0.0}, T = 1.0, dc = 0.5;
    tx->MaxContSteps = 4;
    log.points.clear();
    ASSERT_EQ(TXAutoCont(tx.get(), 0.0, y, 1, &T, &g_omega, &dc, 0, 4, log_point, nullptr), 1);
    ASSERT_EQ(log.points.size(), 4u);
    EXPECT_GT(log.points.back().omega, 2.0 * M_PI + 1.0);
    for (const Point &p : log.points) EXPECT_NEAR(p.T, 2.0 * M_PI / p.omega, 1e-7);
}

// r' = r (lambda + 2 r^2 - r^4) in the plane and w' = 3 (lambda - w): through the fold of cycles
// the planar components of the tangent turn while dw/dlambda = 1 keeps its sign.
struct FoldDrift {
    static constexpr int n = 3;
    static void fcn(double, double *y, double *f) {
        planar(y, f, fold_rate(radius(y)));
        f[2] = 3.0 * (g_lambda - y[2]);
    }
    static double cut(double, double *y) { return y[1] - y[0]; }
};

TEST(OrbitCont, AutonomousFoldSeenWithOneTangentComponentKeepingItsSign) {
    auto tx = open_cycle<FoldDrift>(-0.95, true);
    tx->MaxContSteps = 8;
    Log log;
    const double r0 = std::sqrt(1.0 + std::sqrt(0.05));
    double y[3] = {r0 / std::sqrt(2.0), r0 / std::sqrt(2.0), -0.95}, T = cycle_period();
    double dc = -0.05;
    ASSERT_EQ(TXAutoCont(tx.get(), 0.0, y, 1, &T, &g_lambda, &dc, 0, 4, log_point, nullptr), 1);
    EXPECT_GT(dc, 0.0);  // turned at the fold
    EXPECT_EQ(log.bifurcations(), 1);
    EXPECT_EQ(tx->txb->biftype, TX_BIF_SADDLE_NODE);
    // The last points lie on the inner, unstable cycle r^2 = 1 - sqrt(1 + lambda).
    const Point &last = log.points.back();
    const double r2 = last.y[0] * last.y[0] + last.y[1] * last.y[1];
    EXPECT_LT(r2, 1.0);
    EXPECT_NEAR(r2, 1.0 - std::sqrt(1.0 + last.lambda), tx->NewtRelTol);
    EXPECT_NEAR(last.y[2], last.lambda, tx->NewtRelTol);
}

TEST(OrbitCont, LocationsCountWithoutCheckWhenCheckBifsIsZero) {
    auto tx = open_cycle<DoublingForced>(-0.05, false);
    tx->CheckBifs = 0;
    txtest::MemoryStream state;
    Log log;
    ASSERT_EQ(run<DoublingForced>(tx.get(), false, 0.0, 0.02, 1, state.get()), 1);
    EXPECT_EQ(tx->txb->biftype, TX_BIF_NOT_DETERMINED);
    EXPECT_NEAR(g_lambda, 0.0, tx->LambdaNewtRelTol);
    const std::string text = state.text();
    EXPECT_NE(text.find("Searching for bifurcation "), std::string::npos);
    EXPECT_EQ(text.find("Checking"), std::string::npos);
}

double no_section(double, double *) { return 1.0; }

TEST(OrbitCont, Refusals) {
    auto tx = open_cycle<TorusForced>(-0.05, false);
    double y[2] = {0.0, 0.0}, dc = 0.02, foreign = 0.0;
    EXPECT_EQ(TXNonAutoCont(tx.get(), 0.0, y, 1.0, &foreign, &dc, 1, 0), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NPARAM);
    EXPECT_EQ(y[0], 0.0);
    dc = 0.0;
    EXPECT_EQ(TXNonAutoCont(tx.get(), 0.0, y, 1.0, &g_lambda, &dc, 1, 0), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_MIN_STEPSIZE);

    // The autonomous run borders its systems with two rows: a record made before any
    // parameter was registered has room for one.
    auto bare = open_cycle<FoldCycle>(-0.95, true);
    TXVarCloseTraxis(bare.get());
    bare->txb = TXCreateBif(bare.get());
    TXVarOpenTraxis(bare.get(), nullptr, 1e-7, 1, nullptr, 1e-7, &g_lambda);
    double T = 1.0;
    dc = 0.02;
    EXPECT_EQ(TXAutoCont(bare.get(), 0.0, y, 1, &T, &g_lambda, &dc, 1, 0), 0);
    EXPECT_EQ(bare->ErrorCode, TX_ERR_NO_BIF);

    // A section that is never reached: TXAutoOrbit gives up without a reason.
    auto lost = open_cycle<FoldCycle>(-0.95, true);
    y[0] = 1.2;
    TXSetCut(lost.get(), no_section, 1e-9);
    lost->MaxPeriodSteps = 20;
    EXPECT_EQ(TXAutoCont(lost.get(), 0.0, y, 1, &T, &g_lambda, &dc, 1, 0), 0);
    EXPECT_EQ(lost->ErrorCode, TX_ERR_NO_CONVERGENCE);
}

}  // namespace
