// Output tables that a failed run cannot destroy.
#include "output.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "report.hpp"

namespace txprog {

namespace {

// Every output of the run.  Process-wide because the outputs must be dropped from an exit
// inside the library and from a signal handler, neither of which can be handed a list.
std::deque<Output> &outputs() {
    static std::deque<Output> list;
    return list;
}

// The temporary files a signal removes: names owned by the outputs, cleared once renamed.
constexpr int kMaxTemporaries = 64;
const char *volatile g_temporaries[kMaxTemporaries];
volatile std::sig_atomic_t g_ntemporaries = 0;

extern "C" void remove_temporaries_and_reraise(int sig) {
    for (int i = 0; i < g_ntemporaries; ++i)
        if (const char *name = g_temporaries[i]) ::unlink(name);
    std::signal(sig, SIG_DFL);
    std::raise(sig);  // delivered with the default action once this handler returns
}

extern "C" void discard_at_exit() { discard_outputs(); }

// Once, at the first output: signals that the caller left at their default action.
void install_cleanup() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    outputs();  // built before the handler is registered, so that it outlives the handler's run
    std::atexit(discard_at_exit);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction old {};
        if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
        struct sigaction act {};
        act.sa_handler = remove_temporaries_and_reraise;
        sigemptyset(&act.sa_mask);
        ::sigaction(sig, &act, nullptr);
    }
}

ssize_t sink_write(void *cookie, const char *buf, std::size_t size) {
    auto &sink = *static_cast<Output::Sink *>(cookie);
    if (sink.dropped) return static_cast<ssize_t>(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(sink.fd, buf + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (sink.error == 0) sink.error = n < 0 ? errno : EIO;
            return static_cast<ssize_t>(done);  // a short count marks the stream as failed
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(size);
}

int sink_close(void *cookie) {
    auto &sink = *static_cast<Output::Sink *>(cookie);
    // Some file systems report a failed write only here.
    const int status = ::close(sink.fd);
    if (status != 0 && sink.error == 0) sink.error = errno;
    sink.fd = -1;
    return status == 0 ? 0 : EOF;
}

struct Target {
    std::string path;
    bool in_place = false;
    bool exists = false;
    mode_t mode = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

// What a name leads to; 0, or the errno of the failure.
int resolve(const std::string &name, Target &t) {
    t = Target{};
    t.path = name;
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0) return errno == ENOENT && !name.empty() ? 0 : errno;
    t.exists = true;
    if (S_ISLNK(st.st_mode)) {
        struct stat to {};
        if (::stat(name.c_str(), &to) != 0 || !S_ISREG(to.st_mode)) {
            t.in_place = true;
            return 0;
        }
        char *real = ::realpath(name.c_str(), nullptr);
        if (!real) return errno;
        t.path = real;
        std::free(real);
        st = to;
    }
    t.in_place = !S_ISREG(st.st_mode);
    t.mode = st.st_mode & 07777;
    t.device = st.st_dev;
    t.inode = st.st_ino;
    return 0;
}

mode_t new_file_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Appends everything in `from` to the descriptor `to`; 0 or the errno.
int copy_into(const std::string &from, int to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    Output::Sink sink{to, 0};
    char buf[1 << 16];
    int error = 0;
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        if (n <= 0) break;
        if (sink_write(&sink, buf, static_cast<std::size_t>(n)) != n) {
            error = sink.error;
            break;
        }
    }
    ::close(in);
    return error;
}

// The temporary file beside the target, with the permissions the final file is to have.
int make_temporary(const Target &t, std::string &temporary, int &fd) {
    constexpr std::size_t kMaxBase = 200;  // leaves room for ".", ".XXXXXX" within NAME_MAX
    const std::size_t slash = t.path.rfind('/');
    const std::size_t base_at = slash == std::string::npos ? 0 : slash + 1;
    std::string pattern = t.path.substr(0, base_at) + "." +
                          t.path.substr(base_at, kMaxBase) + ".XXXXXX";
    fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    temporary = pattern;
    if (::fchmod(fd, t.exists ? t.mode : new_file_mode()) != 0) return errno;
    return 0;
}

}  // namespace

Output &open_output(const char *program, const std::string &name, OutputMode mode,
                    const char *message) {
    install_cleanup();
    auto refuse = [&](int error) {
        if (message) std::fputs(message, stdout);
        fail(program, "%s: %s", name.c_str(), std::strerror(error));
    };
    Target t;
    if (const int error = resolve(name, t)) refuse(error);
    // Two outputs to /dev/null are fine; two to one table would leave only the last.
    for (const Output &o : outputs()) {
        if (o.committed_ || o.temporary_.empty() || t.in_place) continue;
        if (o.target_ == t.path || (t.exists && o.device_ == t.device && o.inode_ == t.inode))
            fail(program, "%s: the same file as %s, another output of this run", name.c_str(),
                 o.name_.c_str());
    }
    if (g_ntemporaries == kMaxTemporaries) fail(program, "%s: too many output files", name.c_str());

    outputs().emplace_back();
    Output &o = outputs().back();
    o.program_ = program;
    o.name_ = name;
    o.target_ = t.path;
    o.device_ = t.device;
    o.inode_ = t.inode;
    int fd = -1;
    int error = 0;
    if (t.in_place) {
        const int flags = mode == OutputMode::kAppend ? O_APPEND : O_TRUNC;
        fd = ::open(t.path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666);
        if (fd < 0) error = errno;
    } else {
        error = make_temporary(t, o.temporary_, fd);
        if (error == 0) {
            o.slot_ = g_ntemporaries;
            g_temporaries[o.slot_] = o.temporary_.c_str();
            g_ntemporaries = g_ntemporaries + 1;
        }
        if (error == 0 && mode == OutputMode::kAppend && t.exists) error = copy_into(t.path, fd);
    }
    o.sink_.fd = fd;
    if (error == 0) {
        const cookie_io_functions_t io{nullptr, sink_write, nullptr, sink_close};
        o.stream_ = ::fopencookie(&o.sink_, "w", io);
        if (!o.stream_) error = errno;
    }
    if (error != 0) refuse(error);  // the exit drops the temporary file
    return o;
}

int Output::flush_error() {
    errno = 0;
    if (std::fflush(stream_) == 0 && !std::ferror(stream_)) return 0;
    return sink_.error != 0 ? sink_.error : errno != 0 ? errno : EIO;
}

void Output::flush() {
    if (const int error = flush_error()) fail(program_, "%s: %s", name_.c_str(), std::strerror(error));
}

void Output::close() {
    if (!stream_) return;
    int error = flush_error();
    // The data must be on disk before the rename makes it the file.
    if (error == 0 && !temporary_.empty() && ::fsync(sink_.fd) != 0 && errno != EINVAL &&
        errno != ENOTSUP && errno != ENOSYS)
        error = errno;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (error == 0 && !closed) error = sink_.error != 0 ? sink_.error : EIO;
    if (error != 0) fail(program_, "%s: %s", name_.c_str(), std::strerror(error));
}

void Output::publish() {
    if (!temporary_.empty() && std::rename(temporary_.c_str(), target_.c_str()) != 0)
        fail(program_, "%s: %s", name_.c_str(), std::strerror(errno));
    committed_ = true;
    if (slot_ >= 0) g_temporaries[slot_] = nullptr;
}

void Output::commit() {
    if (committed_) return;
    close();
    publish();
}

// Every table is closed, and so checked, before the first one is renamed: a write error in
// any of them leaves all of them as they were.
void commit_outputs() {
    for (Output &o : outputs())
        if (!o.committed_) o.close();
    for (Output &o : outputs())
        if (!o.committed_) o.publish();
}

void Output::discard() {
    if (committed_) return;
    sink_.dropped = true;
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    if (slot_ >= 0) g_temporaries[slot_] = nullptr;
    committed_ = true;  // nothing left to do for it
}

void discard_outputs() {
    for (Output &o : outputs()) o.discard();
}

}  // namespace txprog
