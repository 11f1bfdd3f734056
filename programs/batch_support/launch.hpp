// Shell command lines that carry a user-given file name.
#pragma once

#include <string>

namespace txprog {

// The name as one shell word: wrapped in single quotes, each embedded quote written '\''.
std::string shell_quoted(const std::string &name);

// Runs a command line through the shell; its status is ignored.
void run_shell(const std::string &command);

// Runs before + quoted name + after through the shell.
void run_with_file(const char *before, const std::string &name, const char *after);

}  // namespace txprog
