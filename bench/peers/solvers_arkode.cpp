// SUNDIALS ARKODE's explicit stepper with Verner's 6(5) table.
//
// ARKODE 6.4 treats a table whose last node is 1 as first-same-as-last and reuses its last
// stage as the next step's first, which is only right when that stage is taken at the new
// solution.  The stock eight-stage Verner table has c = 1 at its last stage but a different
// last row, so it silently runs at order 3.  Appending a ninth stage whose row is the
// sixth-order weights makes the reuse exact: still eight new evaluations per step.
#include <array>
#include <cstdio>  // the ARKODE headers use FILE without including it

#include <arkode/arkode_butcher_erk.h>
#include <arkode/arkode_erkstep.h>
#include <nvector/nvector_serial.h>
#include <sundials/sundials_context.h>

#include "peers.hpp"
#include "problem_list.hpp"

namespace txpeers {

namespace {

// The stock table, optionally with the ninth stage appended.
ARKodeButcherTable verner_table(bool nine_stages) {
    const ARKodeButcherTable stock = ARKodeButcherTable_LoadERK(ARKODE_VERNER_8_5_6);
    if (!nine_stages) return stock;
    constexpr int s = 9;
    std::array<double, s * s> A{};
    std::array<double, s> c{}, b{}, d{};
    for (int i = 0; i < s - 1; ++i) {
        for (int j = 0; j < s - 1; ++j) A[i * s + j] = stock->A[i][j];
        c[i] = stock->c[i];
        b[i] = stock->b[i];
        d[i] = stock->d[i];
        A[(s - 1) * s + i] = stock->b[i];
    }
    c[s - 1] = 1.0;
    const ARKodeButcherTable table = ARKodeButcherTable_Create(
        s, stock->q, stock->p, c.data(), A.data(), b.data(), d.data());
    ARKodeButcherTable_Free(stock);
    return table;
}

// One ERKStep integrator on a serial vector; the rhs counts into *count.
template <class P>
class Arkode {
public:
    Arkode(bool nine_stages, long *count) : count_(count) {
        SUNContext_Create(nullptr, &context_);
        y_ = N_VNew_Serial(P::n, context_);
        set_start();
        memory_ = ERKStepCreate(rhs, P::t0, y_, context_);
        ERKStepSetUserData(memory_, this);
        table_ = verner_table(nine_stages);
        ERKStepSetTable(memory_, table_);
        ERKStepSetMaxNumSteps(memory_, -1);  // no limit
    }
    ~Arkode() {
        ERKStepFree(&memory_);
        ARKodeButcherTable_Free(table_);
        N_VDestroy(y_);
        SUNContext_Free(&context_);
    }
    void *memory() { return memory_; }

    // From the start to the end, stopping there exactly.
    void run(double *out) {
        set_start();
        ERKStepReInit(memory_, rhs, P::t0, y_);
        ERKStepSetStopTime(memory_, P::t1);
        double t = P::t0;
        ERKStepEvolve(memory_, P::t1, y_, &t, ARK_NORMAL);
        const double *const v = N_VGetArrayPointer(y_);
        std::copy(v, v + P::n, out);
    }

private:
    void set_start() { std::copy(P::y0.begin(), P::y0.end(), N_VGetArrayPointer(y_)); }
    static int rhs(double t, N_Vector y, N_Vector f, void *self) {
        ++*static_cast<Arkode *>(self)->count_;
        P::rhs(t, static_cast<const double *>(N_VGetArrayPointer(y)), N_VGetArrayPointer(f));
        return 0;
    }
    long *count_;
    SUNContext context_;
    N_Vector y_;
    void *memory_;
    ARKodeButcherTable table_;
};

template <class P>
class ArkodeSolver : public Solver {
public:
    ArkodeSolver(double rtol, double atol) : arkode_(true, &evaluations) {
        ERKStepSStolerances(arkode_.memory(), rtol, atol);
        ERKStepSetInitStep(arkode_.memory(), kFirstStep);
    }
    void solve(double *y) override { arkode_.run(y); }

private:
    Arkode<P> arkode_;
};

}  // namespace

template <class P>
std::unique_ptr<Solver> make_arkode_verner(double rtol, double atol) {
    return std::make_unique<ArkodeSolver<P>>(rtol, atol);
}

template <class P>
std::vector<double> arkode_fixed_steps(double h, bool nine_stages) {
    long count = 0;
    Arkode<P> arkode(nine_stages, &count);
    ERKStepSetFixedStep(arkode.memory(), h);
    std::vector<double> y(P::n);
    arkode.run(y.data());
    return y;
}

TXPEERS_FOR_EACH_PROBLEM(make_arkode_verner)
template std::vector<double> arkode_fixed_steps<txbench::VanDerPol>(double, bool);

}  // namespace txpeers
