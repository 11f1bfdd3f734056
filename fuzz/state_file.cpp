// "system.st" as each program reads it: the four record sets with their formats and name limits.
#include <cstring>
#include <initializer_list>

#include "detail/files.hpp"
#include "harness.hpp"

namespace {

const StateFormat *const kFormats[] = {&tx::detail::kSectionState, &tx::detail::kLyapunovState,
                                       &tx::detail::kCycleState, &tx::detail::kNullclinesState};

bool scan(const std::uint8_t *data, std::size_t size, const StateFormat &fmt, StateFile &st,
          tx::detail::ReadError &err) {
    txfuzz::InputFile in(data, size);
    bool seed_read = false;
    return tx::detail::scan_state(in.get(), "system.st", fmt, st, seed_read, err);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    for (const StateFormat *fmt : kFormats) {
        StateFile st{}, again{};
        tx::detail::ReadError err{};
        const bool ok = scan(data, size, *fmt, st, err);
        TXFUZZ_REQUIRE(st.nvar >= 0 && st.npar >= 0 && st.nnum >= 0);
        const std::size_t cap = static_cast<std::size_t>(fmt->name_max);
        for (const StVariable &v : st.var) TXFUZZ_REQUIRE(strnlen(v.name, sizeof v.name) <= cap);
        for (const StParameter &p : st.par) TXFUZZ_REQUIRE(strnlen(p.name, sizeof p.name) <= cap);
        if (ok) {
            // a stored state component is never exactly zero
            for (int i = 0; i < st.nvar && i < kModelDim; ++i) TXFUZZ_REQUIRE(st.var[i].value != 0.0);
        } else {
            TXFUZZ_REQUIRE(strnlen(err.text, sizeof err.text) < sizeof err.text);
            TXFUZZ_REQUIRE(std::strncmp(err.text, "ERROR: ", 7) == 0);
        }
        // the same bytes give the same record, bit for bit: nothing unset is read
        tx::detail::ReadError err2{};
        TXFUZZ_REQUIRE(scan(data, size, *fmt, again, err2) == ok);
        TXFUZZ_REQUIRE(std::memcmp(&st, &again, sizeof st) == 0);
    }
    return 0;
}
