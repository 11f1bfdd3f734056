// Failure and note lines of the batch programs on standard error.
#pragma once

namespace txprog {

// "<program>: <message>" on standard error, then exit status 1.  Standard output is flushed
// first, so that the two streams keep their order when they share a terminal or a file.
[[noreturn]] void fail(const char *program, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

// The same line without ending the run.
void note(const char *program, const char *format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace txprog
