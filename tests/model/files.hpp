// Helpers for the reader tests: a scratch directory as the current one, files written into it,
// and runs of a reader in a child process whose standard output and exit status are kept.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace txtest {

class ScratchDir {
public:
    ScratchDir() {
        char pattern[] = "/tmp/txmodel.XXXXXX";
        const char *dir = ::mkdtemp(pattern);
        if (dir) path_ = dir;
        old_ = ::getcwd(nullptr, 0);
        if (dir && ::chdir(dir) != 0) path_.clear();
    }
    ~ScratchDir() {
        if (old_ && ::chdir(old_) == 0 && !path_.empty())
            std::system(("rm -rf '" + path_ + "'").c_str());
        std::free(old_);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    bool ok() const { return !path_.empty(); }

private:
    std::string path_;
    char *old_ = nullptr;
};

inline void write_file(const char *name, const std::string &text) {
    std::ofstream(name, std::ios::binary) << text;
}

inline std::string read_file(const char *name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct ChildRun {
    int status;       // exit status, or -1 when the child did not exit normally
    std::string out;  // what it wrote to standard output
    std::string err;  // and to standard error
};

// Runs f in a child with both output streams sent to files; a child that returns from f
// exits 0.
template <class F>
ChildRun run_child(F &&f) {
    std::fflush(stdout);
    std::fflush(stderr);
    char out_name[] = "/tmp/txmodel-out.XXXXXX";
    char err_name[] = "/tmp/txmodel-err.XXXXXX";
    const int out_fd = ::mkstemp(out_name);
    const int err_fd = ::mkstemp(err_name);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out_fd, 1);
        ::dup2(err_fd, 2);
        f();
        std::fflush(stdout);
        ::_exit(0);
    }
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    ::close(out_fd);
    ::close(err_fd);
    ChildRun run{WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1, read_file(out_name),
                 read_file(err_name)};
    ::unlink(out_name);
    ::unlink(err_name);
    return run;
}

}  // namespace txtest
