// The readers of run_cycle and the program globals they fill.
#include <cstdio>
#include <cstring>

#include "detail/files.hpp"

extern "C" {

double *systemVariable = nullptr;
char systemVariableName[kModelDim][kCycleNameMax + 1];
char systemParameterName[kModelParams][kCycleNameMax + 1];
int periodNumber;
int max_adjust;
double cycle_eps;

void readStateFile(void) {
    StateFile st{};
    for (int i = 0; i < kModelDim; ++i) {
        if (systemVariable) st.var[i].value = systemVariable[i];
        std::strcpy(st.var[i].name, systemVariableName[i]);
    }
    for (int i = 0; i < kModelParams; ++i) {
        st.par[i].value = par[i];
        std::strcpy(st.par[i].name, systemParameterName[i]);
    }
    bool seed_read = false;
    tx::detail::ReadError err;
    if (!tx::detail::read_state("system.st", tx::detail::kCycleState, st, seed_read, err))
        tx::detail::refuse(err);
    for (int i = 0; i < kModelDim; ++i) {
        if (systemVariable) systemVariable[i] = st.var[i].value;
        std::strcpy(systemVariableName[i], st.var[i].name);
    }
    for (int i = 0; i < kModelParams; ++i) {
        par[i] = st.par[i].value;
        std::strcpy(systemParameterName[i], st.par[i].name);
    }
}

void readParamFile(void) {
    constexpr const char *kPath = "param.slc";
    std::FILE *in = std::fopen(kPath, "r");
    if (!in) tx::detail::refuse_open(kRunCycle.process_open_error, kPath);
    tx::detail::CycleSettings s{periodNumber, max_adjust, cycle_eps};
    tx::detail::ReadError err;
    const bool ok = tx::detail::scan_cycle_settings(in, kPath, s, err, stderr);
    std::fclose(in);
    if (!ok) tx::detail::refuse(err);
    periodNumber = s.period_number;
    max_adjust = s.max_adjust;
    cycle_eps = s.cycle_eps;
}

}
