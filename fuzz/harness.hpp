// What the fuzz harnesses share: the input as a read-only stream, and checks that stop the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace txfuzz {

// The input bytes as a stream, as the readers get their files.  fmemopen refuses an empty
// buffer; a lone blank reads as nothing to every reader.
class InputFile {
public:
    InputFile(const std::uint8_t *data, std::size_t size) {
        static char blank[] = " ";
        f_ = size ? fmemopen(const_cast<std::uint8_t *>(data), size, "r") : fmemopen(blank, 1, "r");
        if (!f_) std::abort();
    }
    ~InputFile() { std::fclose(f_); }
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;
    std::FILE *get() const { return f_; }

private:
    std::FILE *f_;
};

// A broken promise of the code under test is a finding: report it and abort, so that libFuzzer
// keeps the input and the replay test fails on it.
#define TXFUZZ_REQUIRE(cond)                                                              \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #cond);       \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

}  // namespace txfuzz
