// "system.st" as each program reads it: the four record sets with their formats and name limits,
// the count checks of run_lyapunov and run_sweep, and the refusal of an incomplete model.
#include <unistd.h>

#include <cstring>
#include <initializer_list>

#include "detail/files.hpp"
#include "harness.hpp"

namespace {

const StateFormat *const kFormats[] = {&tx::detail::kSectionState, &tx::detail::kLyapunovState,
                                       &tx::detail::kCycleState, &tx::detail::kNullclinesState};

// The readers open their file by name: the input goes to one scratch file per process.
const char *scratch_path() {
    static char path[512];  // plain storage: the exit handler below may run after destructors
    if (!path[0]) {
        const char *dir = std::getenv("TMPDIR");
        std::snprintf(path, sizeof path, "%s/txfuzz_state_%ld.st", dir && *dir ? dir : "/tmp",
                      static_cast<long>(::getpid()));
        std::atexit([] { std::remove(path); });
    }
    return path;
}

void write_input(const std::uint8_t *data, std::size_t size) {
    std::FILE *f = std::fopen(scratch_path(), "wb");
    TXFUZZ_REQUIRE(f && std::fwrite(data, 1, size, f) == size && std::fclose(f) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    write_input(data, size);
    const char *path = scratch_path();
    for (const StateFormat *fmt : kFormats) {
        StateFile st{}, again{};
        tx::detail::ReadError err{}, err2{};
        bool seed = false;
        const bool ok = tx::detail::read_state(path, *fmt, st, seed, err);
        TXFUZZ_REQUIRE(st.nvar >= 0 && st.npar >= 0 && st.nnum >= 0);
        const std::size_t cap = static_cast<std::size_t>(fmt->name_max);
        for (const StVariable &v : st.var) TXFUZZ_REQUIRE(strnlen(v.name, sizeof v.name) <= cap);
        for (const StParameter &p : st.par) TXFUZZ_REQUIRE(strnlen(p.name, sizeof p.name) <= cap);
        if (ok) {
            // a run starts only from a complete model, and never from an exact zero
            for (int i = 0; i < kModelDim; ++i)
                TXFUZZ_REQUIRE(st.var_read[i] && st.var[i].value != 0.0);
            for (int i = 0; i < kModelParams; ++i) TXFUZZ_REQUIRE(st.par_read[i]);
        } else {
            // a refusal names the file on standard error; the stated message, if any, is one
            TXFUZZ_REQUIRE(strnlen(err.reason, sizeof err.reason) < sizeof err.reason);
            TXFUZZ_REQUIRE(std::strncmp(err.reason, path, std::strlen(path)) == 0);
            TXFUZZ_REQUIRE(err.text[0] == '\0' || std::strncmp(err.text, "ERROR: ", 7) == 0);
        }
        // the same bytes give the same record, bit for bit: nothing unset is read
        TXFUZZ_REQUIRE(tx::detail::read_state(path, *fmt, again, seed, err2) == ok);
        TXFUZZ_REQUIRE(std::memcmp(&st, &again, sizeof st) == 0);
    }
    return 0;
}
