// Failure and note lines of the batch programs on standard error.
#include "report.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace txprog {

namespace {

void line(const char *program, const char *format, va_list args) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: ", program);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
}

}  // namespace

void fail(const char *program, const char *format, ...) {
    va_list args;
    va_start(args, format);
    line(program, format, args);
    va_end(args);
    std::exit(1);
}

void note(const char *program, const char *format, ...) {
    va_list args;
    va_start(args, format);
    line(program, format, args);
    va_end(args);
}

}  // namespace txprog
