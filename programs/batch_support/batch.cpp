// Start-up checks and file handling shared by the batch programs.
#include "batch.hpp"

#include <cstdlib>

namespace txprog {

const char *output_argument(int argc, char **argv, const char *program) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s outfile\n", program);
        std::exit(1);
    }
    return argv[1];
}

void read_inputs(const char *program, const ModelProgram *prog, BatchInputs &in) {
    static_assert(sizeof in.names[0] == kProcNameMax + 1, "rows as read_process_pairs writes them");
    if (prog->process_pairs > kMaxProcessPairs) fail(program, "too many process settings");
    model_program_start(prog);
    read_model_state(prog, &in.st);
    read_process_pairs(prog, in.names, in.values);
    in.mode = in.st.msc[0];
    if (in.mode != kModeEuler && in.mode != kModeAdaptive && in.mode != kModeNoisyRk4)
        fail(program, "system.st: run mode %d (first number of &msc) is not 0, 1 or 2", in.mode);
    for (int i = 0; i < kModelDim; ++i) in.y[i] = in.st.var[i].value;
    force_on = num[3];
    force_off = num[4];
}

Output &open_outfile(const char *program, const char *name) {
    return open_output(program, name, OutputMode::kReplace, "ERROR: could not open outfile..");
}

std::vector<Named> model_parameters(const StateFile &st) {
    std::vector<Named> out;
    for (int i = 0; i < kModelParams; ++i) out.push_back({st.par[i].name, par[i]});
    return out;
}

bool write_named_lines(std::FILE *out, const std::vector<Named> &items, const char *format) {
    bool ok = true;
    for (const Named &item : items) ok &= std::fprintf(out, format, item.name.c_str(), item.value) >= 0;
    return ok;
}

std::vector<Named> process_pairs(const char (*names)[kProcNameMax + 1], const double *values,
                                 int n) {
    std::vector<Named> out;
    for (int i = 0; i < n; ++i) out.push_back({names[i], values[i]});
    return out;
}

}  // namespace txprog
