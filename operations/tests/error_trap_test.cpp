// The error trap: report, resume, special number and quit actions.
#include "operations/error_trap.h"

#include <gtest/gtest.h>

#include "platform/runtime_error.h"
#include "scripted_user_interface.h"

namespace dbrepair::testing {
namespace {

TEST(ErrorTrapTest, NegativeNumbersAndForeignExceptionsAreReported) {
  ScriptedUserInterface ui;
  ui.answers = {kAnswerYes, kAnswerYes};
  ErrorTrap trap(ui, " Location: Here", QuitAction::UnloadWindow);
  EXPECT_FALSE(trap.Run([] { throw RuntimeError(-2147467259, "Unspecified error"); }));
  EXPECT_FALSE(trap.Run([] { throw std::length_error("too long"); }));
  EXPECT_TRUE(trap.Run([] {}));
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_NE(ui.boxes[0].text.find("\r\n Error: -2147467259\r\n Text: Unspecified error\r\n"), std::string::npos);
  EXPECT_NE(ui.boxes[1].text.find(" Error: 51\r\n Text: too long"), std::string::npos);
}

TEST(ErrorTrapTest, FailedConditionCountsAsHeld) {
  ScriptedUserInterface ui;
  ui.answers = {kAnswerYes};
  ErrorTrap trap(ui, " Location: Here", QuitAction::UnloadWindow);
  EXPECT_TRUE(trap.Condition([]() -> bool { throw RuntimeError(5, "Invalid procedure call"); }));
  EXPECT_FALSE(trap.Condition([] { return false; }));
}

TEST(ErrorTrapTest, QuitActionsUnloadOrEnd) {
  ScriptedUserInterface unload_ui;
  unload_ui.answers = {kAnswerNo};
  ErrorTrap unload(unload_ui, " Location: Here", QuitAction::UnloadWindow);
  EXPECT_THROW(unload.Run([] { throw RuntimeError(1, "x"); }), LeaveHandler);
  EXPECT_EQ(unload_ui.log, (std::vector<std::string>{"box Error Handler", "unload"}));

  ScriptedUserInterface end_ui;
  end_ui.answers = {kAnswerNo};
  ErrorTrap end(end_ui, " Location: Here", QuitAction::EndProgram);
  EXPECT_THROW(end.Run([] { throw RuntimeError(1, "x"); }), EndProgram);
}

TEST(ErrorTrapTest, SpecialNumberRunsItsActionInsteadOfTheReport) {
  for (bool carry_on : {true, false}) {
    ScriptedUserInterface ui;
    int actions = 0;
    ErrorTrap trap(ui, " Location: Here", QuitAction::UnloadWindow, 3343, [&] {
      ++actions;
      return carry_on;
    });
    if (carry_on) {
      EXPECT_FALSE(trap.Run([] { throw RuntimeError(3343, "Unrecognized database format"); }));
    } else {
      EXPECT_THROW(trap.Run([] { throw RuntimeError(3343, "Unrecognized database format"); }), LeaveHandler);
    }
    EXPECT_EQ(actions, 1);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(ui.unloaded);
  }
}

}  // namespace
}  // namespace dbrepair::testing
