#include "support/shell_command.h"

namespace jet::testing {

bool have_program(const std::string& name) {
  return run_shell("command -v " + shell_quoted(name) + " >/dev/null 2>&1").status == 0;
}

std::string shell_quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace jet::testing
