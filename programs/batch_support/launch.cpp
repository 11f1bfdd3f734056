// Shell command lines that carry a user-given file name.
#include "launch.hpp"

#include <cstdio>
#include <cstdlib>

namespace txprog {

std::string shell_quoted(const std::string &name) {
    std::string quoted = "'";
    for (char c : name) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

void run_shell(const std::string &command) {
    // Output written so far must reach its files before a child can read them.
    std::fflush(nullptr);
    const int status = std::system(command.c_str());
    (void)status;
}

void run_with_file(const char *before, const std::string &name, const char *after) {
    run_shell(before + shell_quoted(name) + after);
}

}  // namespace txprog
