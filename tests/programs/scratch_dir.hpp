// Runs a program in a fresh directory that holds only the files a test wrote there.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace progtest {

struct Result {
    int status;  // exit status, or -1 when the program did not exit normally
    std::string out, err;
};

class ScratchDir {
  public:
    ScratchDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "txprog.XXXXXX").string();
        if (mkdtemp(templ.data())) dir_ = templ;
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    std::string path(const std::string &name) const { return (dir_ / name).string(); }
    bool exists(const std::string &name) const { return std::filesystem::exists(dir_ / name); }

    void write(const std::string &name, const std::string &content) const {
        std::ofstream(dir_ / name, std::ios::binary) << content;
    }
    std::string read(const std::string &name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // program and arguments as one shell word list; standard streams are captured
    Result run(const std::string &command) const {
        const std::string line = "cd '" + dir_.string() + "' && " + command +
                                 " >.stdout 2>.stderr </dev/null";
        const int raw = std::system(line.c_str());
        Result r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read(".stdout"), read(".stderr")};
        std::filesystem::remove(dir_ / ".stdout");
        std::filesystem::remove(dir_ / ".stderr");
        return r;
    }

  private:
    std::filesystem::path dir_;
};

}  // namespace progtest
