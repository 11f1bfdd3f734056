// Running a batch program in a fresh directory of its own, with the files a test writes.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace batchtest {

struct Result {
    int status = -1;  // exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

class Workdir {
public:
    Workdir() {
        std::string pattern = std::string(P_tmpdir) + "/txbatchXXXXXX";
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~Workdir() { remove_tree(path_); }
    Workdir(const Workdir &) = delete;
    Workdir &operator=(const Workdir &) = delete;

    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }
    void write(const std::string &name, const std::string &text, bool executable = false) const {
        std::ofstream(file(name)) << text;
        if (executable) chmod(file(name).c_str(), 0755);
    }
    std::string read(const std::string &name) const {
        std::ifstream in(file(name));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool exists(const std::string &name) const { return access(file(name).c_str(), F_OK) == 0; }

    // Every name in the directory but "." and "..".
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        if (DIR *d = opendir(path_.c_str())) {
            while (dirent *e = readdir(d)) {
                const std::string name = e->d_name;
                if (name != "." && name != "..") names.push_back(name);
            }
            closedir(d);
        }
        return names;
    }

    // Runs exe with args in this directory, under PATH /usr/bin:/bin (no Grace there) and a
    // time limit, capturing both output streams; env holds "NAME=value" settings.
    Result run(const char *exe, const std::vector<std::string> &args,
               const std::vector<std::string> &env = {}) const {
        const std::string out_file = path_ + ".stdout", err_file = path_ + ".stderr";
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(path_.c_str()) != 0) _exit(127);
            const int o = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (o < 0 || e < 0) _exit(127);
            dup2(o, 1);
            dup2(e, 2);
            setenv("PATH", "/usr/bin:/bin", 1);
            for (const std::string &e : env) putenv(const_cast<char *>(e.c_str()));
            std::vector<char *> argv{const_cast<char *>(exe)};
            for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            alarm(120);
            execv(exe, argv.data());
            _exit(127);
        }
        Result r;
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            r.status = WEXITSTATUS(status);
        r.out = slurp(out_file);
        r.err = slurp(err_file);
        std::remove(out_file.c_str());
        std::remove(err_file.c_str());
        return r;
    }

private:
    static std::string slurp(const std::string &path) {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void remove_tree(const std::string &path) {
        if (path.empty()) return;
        if (DIR *d = opendir(path.c_str())) {
            while (dirent *e = readdir(d)) {
                const std::string name = e->d_name;
                if (name != "." && name != "..") std::remove((path + "/" + name).c_str());
            }
            closedir(d);
        }
        rmdir(path.c_str());
    }
    std::string path_;
};

// Outputs of an earlier run, planted before a run that fails and found byte for byte after it.
class Earlier {
public:
    Earlier(const Workdir &dir, const std::vector<std::string> &names) : dir_(dir) {
        for (const std::string &name : names) {
            const std::string text = "earlier " + name + "\n1 2 3\n";
            dir.write(name, text);
            files_.emplace_back(name, text);
        }
    }
    // Names the first file that changed, "" when none did; a temporary file (".name.XXXXXX")
    // left behind counts.
    std::string changed() const {
        for (const auto &[name, text] : files_)
            if (dir_.read(name) != text) return name;
        for (const std::string &name : dir_.entries())
            if (name[0] == '.') return name;
        return "";
    }

private:
    const Workdir &dir_;
    std::vector<std::pair<std::string, std::string>> files_;
};

// A failure says so in one line on standard error, after the program's name.
inline bool one_line_from(const std::string &program, const std::string &err) {
    return err.rfind(program + ": ", 0) == 0 && err.find('\n') == err.size() - 1;
}

// Lines of a text, without their line ends.
inline std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

}  // namespace batchtest
