#include "support/shell_command.h"

#include <sys/wait.h>

#include <cstdio>

namespace jet::testing {

ShellResult run_shell(const std::string& command) {
  ShellResult result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[65536];
  while (std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) result.out.append(chunk, n);
  const int status = ::pclose(pipe);
  result.status = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace jet::testing
