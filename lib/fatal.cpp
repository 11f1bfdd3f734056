// The fatal-error routine and the maths-error hook: the only code that prints or exits.
#define TX_MATHERR  // this file defines the hook
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "detail/error_stream.hpp"
#include "tx.h"

namespace {

constexpr const char *kModule = "tx";
constexpr const char *kBuildDate = __DATE__;  // "Mmm dd yyyy", day padded with a space

std::atomic<std::FILE *> g_error_stream{nullptr};  // nullptr: stderr

const char *message(int msgno) {
    if (msgno < 0 || msgno >= TX_ERR_COUNT) return "Unknown error code";
    return TraxisFatalError[msgno];
}

constexpr int kUnderflow = 4;

}  // namespace

namespace tx::detail {

std::FILE *error_stream() noexcept {
    std::FILE *f = g_error_stream.load(std::memory_order_relaxed);
    return f ? f : stderr;
}

void set_error_stream(std::FILE *where) noexcept {
    g_error_stream.store(where, std::memory_order_relaxed);
}

}  // namespace tx::detail

extern "C" int TXFatalError(Traxis tx, int lineno, int msgno, const char *where) {
    const int saved_errno = errno;  // the writes below may change it
    if (!where) where = "";
    if (tx && !tx->TerminateOnFatalError) {
        tx->ErrorCode = msgno;
        return 0;
    }
    std::FILE *out = tx::detail::error_stream();
    if (tx) {
        std::fprintf(out, "Error in %s (%s) line %d\n", kModule, kBuildDate, lineno);
        std::fprintf(out, "'%s': %s", where, message(msgno));
        if (saved_errno != 0) std::fprintf(out, " (%s)", std::strerror(saved_errno));
        std::fprintf(out, "\nTraxis Closed\n");
    } else {
        std::fprintf(out, "ERROR in %s (%s) line %d\n", kModule, kBuildDate, lineno);
        std::fprintf(out, "'%s': %s\n", where, message(msgno));
    }
    std::fflush(out);
    std::exit(1);
}

extern "C" int matherr(struct exception *x) {
    if (x && x->type == kUnderflow) return 0;
    const int saved_errno = errno;
    std::FILE *out = tx::detail::error_stream();
    std::fprintf(out, "\nFatal Error in %s (%s)\n", kModule, kBuildDate);
    std::fprintf(out, "'%s': %s\n", (x && x->name) ? x->name : "", std::strerror(saved_errno));
    std::fprintf(out, "Aaaarrrrrggg!! Traxis Closed\n");
    std::fflush(out);
    std::exit(1);
}
