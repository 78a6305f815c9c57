// Running another program through the shell (mdbtools, node, the jetdb tool)
// and reading what it prints. Windows has no such shell for the tests: there
// every command fails as a missing program would (shell_command_win32.cpp).
#pragma once

#include <string>

namespace jet::testing {

struct ShellResult {
  int status = -1;  // the exit status; -1 when the command could not start or was killed
  std::string out;  // standard output only: a command redirects its errors itself
};

ShellResult run_shell(const std::string& command);

// Whether the shell finds the program.
bool have_program(const std::string& name);

// text in single quotes, any single quote in it kept, for a command line.
std::string shell_quoted(const std::string& text);

}  // namespace jet::testing
