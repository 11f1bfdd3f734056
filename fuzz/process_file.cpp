// The process parameter files: the fixed lists of "param.pnc" (14 pairs), "param.lce" (10),
// "param.isi" (9) and "param.udf" (8), and "param.slc", read by key.
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "detail/files.hpp"
#include "harness.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    for (int n : {14, 10, 9, 8}) {
        char names[14][kProcNameMax + 1];
        std::memset(names, 0x55, sizeof names);  // no terminator unless the reader writes one
        double values[14];
        tx::detail::ReadError err{};
        txfuzz::InputFile in(data, size);
        if (tx::detail::scan_pairs(in.get(), "param", n, names, values, nullptr, err)) {
            for (int i = 0; i < n; ++i) {
                TXFUZZ_REQUIRE(strnlen(names[i], sizeof names[i]) <= std::size_t(kProcNameMax));
                // a value came from a single-precision number
                TXFUZZ_REQUIRE(std::isnan(values[i]) ||
                               static_cast<double>(static_cast<float>(values[i])) == values[i]);
            }
        } else {
            TXFUZZ_REQUIRE(std::strncmp(err.text, "ERROR: ", 7) == 0);
            TXFUZZ_REQUIRE(std::strncmp(err.reason, "param: ", 7) == 0);  // names the file
        }
    }
    tx::detail::CycleSettings s{1, 2, 3.0};
    tx::detail::ReadError err{};
    txfuzz::InputFile in(data, size);
    static std::FILE *const notes = std::fopen("/dev/null", "w");  // the notes' code runs too
    if (!tx::detail::scan_cycle_settings(in.get(), "param.slc", s, err, notes))
        TXFUZZ_REQUIRE(std::strncmp(err.text, "ERROR: ", 7) == 0);
    return 0;
}
