// The parts of the continuation skeleton that need no knowledge of the branch: arguments and
// outputs, the record, and the step rule of the one-parameter runs.
#include <algorithm>
#include <cmath>

#include "detail/bif_record.hpp"
#include "detail/continuation.hpp"
#include "detail/parameters.hpp"
#include "tx.h"

namespace tx::detail {

namespace {

constexpr int kStateBit = 1, kPathBit = 2, kUserBit = 4;
constexpr double kFactorFloor = 0.7071;

}  // namespace

void Outputs::point(Traxis tx) const {
    if (state) TXStateOutput(tx, state);
    if (path) TXPathOutput(tx, path);
    if (user_output) user_output(tx, user);
}

void Outputs::bifurcation(Traxis tx) const {
    if (state) TXStateBifOutput(tx, state);
    if (path) TXPathOutput(tx, path);
    if (user_output) user_output(tx, user);
}

Outputs take_outputs(int mode, va_list ap) {
    Outputs out;
    if (mode & kStateBit) out.state = va_arg(ap, std::FILE *);
    if (mode & kPathBit) out.path = va_arg(ap, std::FILE *);
    if (mode & kUserBit) {
        out.user_output = va_arg(ap, output_t);
        out.user = va_arg(ap, std::FILE *);
    }
    return out;
}

int begin(Run &run, Traxis tx, const double *dc, const char *name) {
    run.tx = tx;
    run.name = name;
    if (!tx) return TXFatalError(nullptr, __LINE__, TX_ERR_NOT_OPENED, name);
    if (!tx->TX) return run.fail(__LINE__, TX_ERR_NOT_OPENED);
    tx->ErrorCode = 0;
    tx->TX->ErrorCode = 0;
    if (!dc || *dc == 0.0 || !std::isfinite(*dc)) return run.fail(__LINE__, TX_ERR_MIN_STEPSIZE);
    run.maxdc = std::fabs(*dc);
    run.mindc = tx->NewtRelTol * run.maxdc + tx->NewtAbsTol;
    return 1;
}

int attach_record(Run &run, bool create, int extra) {
    Traxis tx = run.tx;
    if (!tx->txb) {
        if (!create) return run.fail(__LINE__, TX_ERR_NO_BIF);
        tx->txb = TXCreateBif(tx);
        if (!tx->txb) return run.fail(__LINE__, TX_ERR_NO_MEMORY);
    }
    if (!record_fits(*tx, *tx->txb, extra)) return run.fail(__LINE__, TX_ERR_NO_BIF);
    return 1;
}

void adapt_step(const Run &run, double *dc, double cosine, double eigcrit, double lasteigcrit,
                double cap) {
    const double angle_term = 0.05 / std::fabs(std::tan(std::acos(cosine)));
    const double change =
        std::fabs(eigcrit - lasteigcrit) / (std::fabs(1.0 - (eigcrit + lasteigcrit) / 2.0) + 1.0);
    double factor = std::fmin(angle_term, 0.05 / change);
    if (factor >= cap) factor = cap;
    // Written so that a factor that is not a number (both terms NaN) takes the safe bound.
    if (!(factor > kFactorFloor)) factor = kFactorFloor;
    *dc *= factor;
    const double sign = *dc < 0.0 ? -1.0 : 1.0;
    const double magnitude = std::min(std::max(std::fabs(*dc), run.mindc), run.maxdc);
    *dc = sign * magnitude;
}

void grow_step(const Run &run, double *dc) {
    *dc = 1.25 * *dc;
    if (std::fabs(*dc) > run.maxdc) *dc = std::copysign(run.maxdc, *dc);
}

int mark_parameter_pair(const Run &run, const double *c1, const double *c2, int index[2]) {
    const double *const wanted[2] = {c1, c2};
    const int matches = mark_parameters(run.tx, wanted, 2, index);
    // Two matches alone would also pass a parameter registered twice beside one not registered.
    if (matches != 2 || c1 == c2 || index[0] < 0 || index[1] < 0)
        return run.fail(__LINE__, TX_ERR_NPARAM);
    return 1;
}

double fold_measure(const double *tang, const double *oldtang, int n, int kept_allowed) {
    int changed = 0, kept = 0;
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        const double product = tang[i] * oldtang[i];
        if (product < 0.0) {
            ++changed;
            sum += std::fabs(tang[i] - oldtang[i]);
        } else if (product > 0.0) {
            ++kept;
        }
    }
    return changed > 0 && kept <= kept_allowed ? sum / (2 * n) : 0.0;
}

}  // namespace tx::detail
