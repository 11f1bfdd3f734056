// The shared readers of run_lyapunov and run_sweep.
#include <cstdio>

#include "detail/files.hpp"

extern "C" {

StVariable vars[kModelDim];
StParameter params[kModelParams];

void Read_St_File(const char *path) {
    StateFile st{};
    for (int i = 0; i < kModelDim; ++i) st.var[i] = vars[i];
    for (int i = 0; i < kModelParams; ++i) st.par[i] = params[i];
    for (int i = 0; i < kModelSettings; ++i) st.num[i] = num[i];
    bool seed_read = false;
    tx::detail::ReadError err;
    if (!tx::detail::read_state(path, tx::detail::kLyapunovState, st, seed_read, err))
        tx::detail::refuse(err);
    for (int i = 0; i < kModelDim; ++i) vars[i] = st.var[i];
    for (int i = 0; i < kModelParams; ++i) params[i] = st.par[i];
    for (int i = 0; i < kModelSettings; ++i) num[i] = st.num[i];
}

void Load_Proc_Pars(const char *path, int n, char names[][kProcNameMax + 1], double *values) {
    std::FILE *in = std::fopen(path, "r");
    if (!in) tx::detail::refuse_open(kRunLyapunov.process_open_error, path);
    tx::detail::ReadError err;
    const bool ok = tx::detail::scan_pairs(in, path, n, names, values, stdout, err);
    std::fclose(in);
    if (!ok) tx::detail::refuse(err);
}

}
