// The library's integrator written out by hand for one fixed dimension with the right-hand side
// inlined: the yardstick for the library's own overhead.  Same tableau (Verner's 6(5) pair),
// same controller, same continuous extension and the same order of every floating-point
// operation, hence the same steps and bit-identical results as TXIntegrate.
#pragma once

#include <array>
#include <cfloat>
#include <cmath>

namespace txbench {

template <int N, class Rhs>
class ReferenceRk65 {
public:
    using State = std::array<double, N>;

    ReferenceRk65(Rhs rhs, double rtol, double atol, double h)
        : rhs_(rhs), rtol_(rtol), atol_(atol), h_(h) {}

    // Advances (t, y) to t1 > t and lands on t1 by dense output.  False when the step size
    // can no longer move t forward.
    bool integrate(double &t, double t1, State &y) {
        if (t1 == t) return true;
        double h = h_;
        if (hmax_ > 0.0 && h >= hmax_) h = hmax_;
        if (h > DBL_MAX) h = DBL_MAX;
        double tc = t;
        y6_ = y;
        do {
            tfirst_ = tc;
            y0_ = y6_;
            for (;;) {
                if (!(tc + h > tc)) return false;
                const double err = attempt(tc, h);
                const double used = h;
                h = next_step(h, err);
                if (err <= 1.0) {
                    tlast_ = tc + used;
                    ++steps_;
                    break;
                }
            }
            tc = tlast_;
        } while (tc < t1);
        h_ = h;
        ylast_ = y6_;
        yfirst_ = y0_;
        y = ylast_;
        if (tc > t1) interpolate(t1, y);
        t = t1;
        return true;
    }

    void set_max_step(double hmax) { hmax_ = hmax; }
    long evaluations() const { return evaluations_; }
    long steps() const { return steps_; }  // accepted ones
    double step_proposal() const { return h_; }
    double tfirst() const { return tfirst_; }
    double tlast() const { return tlast_; }

private:
    // One attempt from (t, y0_) with step h: stages, both solutions, the error norm.
    double attempt(double t, double h) {
        auto &k = k_;
        // h * 0 and 0 * h are +0 for every step that passes the guard: a -0.0 in y0 or t
        // turns into +0.0 exactly as in the general formula.
        for (int i = 0; i < N; ++i) yw_[i] = y0_[i] + 0.0;
        eval(t + 0.0, yw_, k[0]);
        for (int i = 0; i < N; ++i) yw_[i] = y0_[i] + h * (0.0 + (1.0 / 6) * k[0][i]);
        eval(t + (1.0 / 6) * h, yw_, k[1]);
        for (int i = 0; i < N; ++i)
            yw_[i] = y0_[i] + h * (0.0 + (4.0 / 75) * k[0][i] + (16.0 / 75) * k[1][i]);
        eval(t + (4.0 / 15) * h, yw_, k[2]);
        for (int i = 0; i < N; ++i)
            yw_[i] = y0_[i] + h * (0.0 + (5.0 / 6) * k[0][i] + (-8.0 / 3) * k[1][i] +
                                   (5.0 / 2) * k[2][i]);
        eval(t + (2.0 / 3) * h, yw_, k[3]);
        for (int i = 0; i < N; ++i)
            yw_[i] = y0_[i] + h * (0.0 + (-165.0 / 64) * k[0][i] + (55.0 / 6) * k[1][i] +
                                   (-425.0 / 64) * k[2][i] + (85.0 / 96) * k[3][i]);
        eval(t + (5.0 / 6) * h, yw_, k[4]);
        for (int i = 0; i < N; ++i)
            yw_[i] = y0_[i] + h * (0.0 + (12.0 / 5) * k[0][i] + (-8.0) * k[1][i] +
                                   (4015.0 / 612) * k[2][i] + (-11.0 / 36) * k[3][i] +
                                   (88.0 / 255) * k[4][i]);
        eval(t + 1.0 * h, yw_, k[5]);
        for (int i = 0; i < N; ++i)
            yw_[i] = y0_[i] + h * (0.0 + (-8263.0 / 15000) * k[0][i] + (124.0 / 75) * k[1][i] +
                                   (-643.0 / 680) * k[2][i] + (-81.0 / 250) * k[3][i] +
                                   (2484.0 / 10625) * k[4][i]);
        eval(t + (1.0 / 15) * h, yw_, k[6]);
        for (int i = 0; i < N; ++i)
            yw_[i] = y0_[i] + h * (0.0 + (3501.0 / 1720) * k[0][i] + (-300.0 / 43) * k[1][i] +
                                   (297275.0 / 52632) * k[2][i] + (-319.0 / 2322) * k[3][i] +
                                   (24068.0 / 84065) * k[4][i] + (3850.0 / 26703) * k[6][i]);
        eval(t + 1.0 * h, yw_, k[7]);

        for (int i = 0; i < N; ++i) {
            y5_[i] = y0_[i] + h * (0.0 + (13.0 / 160) * k[0][i] + (2375.0 / 5984) * k[2][i] +
                                   (5.0 / 16) * k[3][i] + (12.0 / 85) * k[4][i] +
                                   (3.0 / 44) * k[5][i]);
            y6_[i] = y0_[i] + h * (0.0 + (3.0 / 40) * k[0][i] + (875.0 / 2244) * k[2][i] +
                                   (23.0 / 72) * k[3][i] + (264.0 / 1955) * k[4][i] +
                                   (125.0 / 11592) * k[6][i] + (43.0 / 616) * k[7][i]);
        }
        if (atol_ == 0.0 && rtol_ == 0.0) return 0.0;
        double sum = 0.0;
        for (int i = 0; i < N; ++i) {
            const double scale = std::fabs(y6_[i]) * rtol_ + atol_;
            const double e = std::fabs(y6_[i] - y5_[i]);
            if (scale == 0.0) {
                if (e == 0.0) continue;
                return INFINITY;
            }
            const double r = e / scale;
            sum += r * r;
        }
        return std::sqrt(sum);
    }

    double next_step(double h, double err) const {
        double factor;
        if (err == 0.0)
            factor = 1.0;
        else if (!std::isfinite(err))
            factor = 0.2;
        else
            factor = 0.2 + 0.625 / std::sqrt(std::sqrt(err));
        double next = h * factor;
        if (hmax_ > 0.0 && next > hmax_) next = hmax_;
        if (next > DBL_MAX) next = DBL_MAX;
        return next;
    }

    // Continuous extension on [tfirst_, tlast_] from four more evaluations.
    void interpolate(double t, State &y) {
        auto &k = k_;
        const double h = tlast_ - tfirst_;
        const double tau = (t - tfirst_) / h;
        const double tau2 = tau * tau, tau3 = tau2 * tau, tau4 = tau3 * tau;
        const double taum1 = tau - 1.0, taum1p2 = taum1 * taum1;
        y0_ = yfirst_;
        y6_ = ylast_;
        eval(tlast_, y6_, k[11]);
        for (int i = 0; i < N; ++i)
            ym_[i] = y0_[i] + h * (0.0 + (121.0 / 1536) * k[0][i] + (317125.0 / 861696) * k[2][i] +
                                   (397.0 / 6912) * k[3][i] + (-1.0 / 68) * k[4][i] +
                                   (17.0 / 704) * k[5][i] + (125.0 / 12096) * k[6][i] +
                                   (-817.0 / 14784) * k[7][i] + (1.0 / 32) * k[11][i]);
        eval(tfirst_ + 0.5 * h, ym_, k[8]);
        for (int i = 0; i < N; ++i)
            yw_[i] = (128.0 / 3125) * y0_[i] + (2592.0 / 3125) * y6_[i] + (81.0 / 625) * ym_[i] +
                     h * ((18.0 / 3125) * k[0][i] + (-162.0 / 3125) * k[11][i] +
                          (162.0 / 3125) * k[8][i]);
        eval(tfirst_ + 0.9 * h, yw_, k[9]);
        for (int i = 0; i < N; ++i)
            yw_[i] = (5427.0 / 400000) * y0_[i] + (380133.0 / 400000) * y6_[i] +
                     (361.0 / 10000) * ym_[i] +
                     h * ((1539.0 / 800000) * k[0][i] + (-29241.0 / 800000) * k[11][i] +
                          (3249.0 / 200000) * k[8][i]);
        eval(tfirst_ + 0.95 * h, yw_, k[10]);
        const double d0 = (400 * tau4 - 808 * tau3 + 462 * tau2 - 34 * tau - 17) * taum1p2 / (-17);
        const double d1 =
            (30200 * tau3 - 65084 * tau2 + 43806 * tau - 8721) * (-tau * taum1p2 / 8721);
        const double d2 = (400 * tau4 - 1608 * tau3 + 2478 * tau2 - 1766 * tau + 513) * tau2 / 17;
        const double d3 = (3800 * tau3 - 7396 * tau2 + 4160 * tau - 513) * taum1 * tau2 / 51;
        const double d4 = (18400 * tau2 - 33088 * tau + 14877) * (-tau2 * taum1p2 / 918);
        const double d5 = (100000 * tau2 - 100000 * tau + 7125) * tau2 * taum1p2 / 918;
        const double d6 = (-1600000 * tau2 + 1600000 * tau - 216000) * tau2 * taum1p2 / 8721;
        for (int i = 0; i < N; ++i)
            y[i] = d0 * y0_[i] + d2 * y6_[i] +
                   h * (d1 * k[0][i] + d3 * k[11][i] + d4 * k[8][i] + d5 * k[9][i] +
                        d6 * k[10][i]);
    }

    void eval(double t, State &y, State &f) {
        ++evaluations_;
        rhs_(t, y.data(), f.data());
    }

    Rhs rhs_;
    double rtol_, atol_, hmax_ = 0.0, h_;
    double tfirst_ = 0.0, tlast_ = 0.0;
    State y0_{}, yw_{}, y5_{}, y6_{}, ym_{}, yfirst_{}, ylast_{};
    std::array<State, 12> k_{};
    long evaluations_ = 0, steps_ = 0;
};

}  // namespace txbench
