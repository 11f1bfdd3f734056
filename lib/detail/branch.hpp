// What the one-parameter branches of equilibria and of periodic orbits have in common: the point
// (y, *c) and the last accepted one, the tangents, the stability count and the critical value of
// the spectrum, and the secant step along the tangent.  Each branch adds its own residual,
// correction, spectrum and tangent, and the period where it has one.
#pragma once

#include <cmath>

#include "../tx.h"
#include "bif_record.hpp"
#include "continuation.hpp"
#include "newton.hpp"

namespace tx::detail {

class ParameterBranch {
public:
    double fold_measure() const { return tx::detail::fold_measure(tang_, oldtang_, n_, kept_); }
    bool stability_changed() const { return ns_ != oldns_; }
    double eigcrit() const { return eigcrit_; }
    double lasteigcrit() const { return lasteigcrit_; }

protected:
    // kept_allowed: see fold_measure.
    ParameterBranch(Traxis tx, double *y, double *c, int kept_allowed = 0)
        : tx_(tx), n_(tx->order), kept_(kept_allowed), y_(y), c_(c) {}

    // (y, *c) = (oldy, oldc) + dummy (tang, 1), where dummy = dc / ltang: the signed step dc is
    // the length of the move along the tangent.
    void predict_point(double dc) {
        dummy_ = dc / ltang_;
        for (int i = 0; i < n_; ++i) y_[i] = oldy_[i] + dummy_ * tang_[i];
        *c_ = oldc_ + dummy_;
    }

    // The prediction of predict_point, not yet made, to test whether it moves.
    Prediction prediction(double dc) const {
        const double step = dc / ltang_, along = 1.0;
        Prediction p;
        p.add(oldy_, tang_, n_, step).add(&oldc_, &along, 1, step);
        return p;
    }

    // Euclidean distance of (y, *c) from the last accepted point.
    double step_distance() const {
        double sum = (oldc_ - *c_) * (oldc_ - *c_);
        for (int i = 0; i < n_; ++i) sum += (y_[i] - oldy_[i]) * (y_[i] - oldy_[i]);
        return std::sqrt(sum);
    }

    // 1 + oldtang . tang: the scalar product of the extended tangents (tang, 1), (oldtang, 1).
    double extended_product() const {
        double s = 1.0;
        for (int i = 0; i < n_; ++i) s += oldtang_[i] * tang_[i];
        return s;
    }

    // The point becomes the last accepted one and goes into the record with its spectrum.
    void keep(int steps) {
        oldns_ = ns_;
        copy_values(oldtang_, tang_, n_);
        copy_values(oldy_, y_, n_);
        oldc_ = *c_;
        lasteigcrit_ = eigcrit_;
        const TraxisBif b = tx_->txb;
        record_parameters(tx_);
        copy_values(b->y, y_, n_);
        copy_values(b->er, er_, n_);
        copy_values(b->ei, ei_, n_);
        b->steps = steps;
        loldtang_ = ltang_;
    }

    Traxis tx_;
    int n_;
    int kept_;
    double *y_;
    double *c_;
    double *ws_ = nullptr;   // residual, then Newton correction
    double *wsp_ = nullptr;  // solver work
    double *oldy_ = nullptr;
    double *er_ = nullptr;
    double *ei_ = nullptr;
    double *tang_ = nullptr;
    double *oldtang_ = nullptr;
    int ns_ = 0, oldns_ = 0;
    double dummy_ = 0.0, ltang_ = 0.0, loldtang_ = 0.0;
    double oldc_ = 0.0, eigcrit_ = 0.0, lasteigcrit_ = 0.0;
};

}  // namespace tx::detail
