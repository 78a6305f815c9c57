// The tests hand file names to mdbtools, node and jetdb through the shell:
// a name must reach the program as it is, whatever it holds.
#include "support/shell_command.h"

#include <gtest/gtest.h>

namespace jet::testing {
namespace {

TEST(ShellCommand, QuotedTextReachesTheProgramUnchangedAndTheStatusComesBack) {
  if (!have_program("printf")) GTEST_SKIP() << "no POSIX shell here";
  for (const std::string text : {"plain", "two words", "it's", "''", "$HOME `id` \\n *", "-n"}) {
    const ShellResult echoed = run_shell("printf '%s' " + shell_quoted(text));
    EXPECT_EQ(echoed.status, 0) << text;
    EXPECT_EQ(echoed.out, text);
  }
  EXPECT_EQ(run_shell("exit 3").status, 3);
  EXPECT_EQ(run_shell("kill -9 $$").status, -1);
}

}  // namespace
}  // namespace jet::testing
