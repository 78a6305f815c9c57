#include "app/window/event_dispatch.h"

#include <gtest/gtest.h>
#include <stdexcept>

#include "platform/runtime_error.h"
#include "platform/user_interface.h"

namespace dbrepair {
namespace {

struct DispatchRow {
  const char* name;
  std::function<void()> handler;
  HandlerOutcome outcome;
  int reports;
  const char* description;  // of the reported error, when one is reported
};

class RunEventHandlerTest : public ::testing::TestWithParam<DispatchRow> {};

TEST_P(RunEventHandlerTest, SortsWhatEscapesTheHandler) {
  int reports = 0;
  std::string reportedHandler;
  std::string reportedDescription;
  const auto outcome = RunEventHandler("cmdDelete_Click", GetParam().handler,
                                       [&](const std::string& handler, std::exception_ptr error) {
                                         ++reports;
                                         reportedHandler = handler;
                                         try {
                                           std::rethrow_exception(error);
                                         } catch (const std::exception& raised) {
                                           reportedDescription = raised.what();
                                         } catch (...) {
                                           reportedDescription = "(not an exception class)";
                                         }
                                       });
  EXPECT_EQ(outcome, GetParam().outcome);
  EXPECT_EQ(reports, GetParam().reports);
  if (GetParam().reports) {
    EXPECT_EQ(reportedHandler, "cmdDelete_Click");
    EXPECT_EQ(reportedDescription, GetParam().description);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RunEventHandlerTest,
    ::testing::Values(
        DispatchRow{"Returns", [] {}, HandlerOutcome::Finished, 0, ""},
        DispatchRow{"EndsTheProgram", [] { throw EndProgram{}; }, HandlerOutcome::EndedProgram, 0, ""},
        DispatchRow{"RaisesARuntimeError", [] { throw RuntimeError(70, "Permission denied"); },
                    HandlerOutcome::Failed, 1, "Permission denied"},
        DispatchRow{"ThrowsAStandardException", [] { throw std::length_error("too long"); },
                    HandlerOutcome::Failed, 1, "too long"},
        DispatchRow{"ThrowsSomethingElse", [] { throw 42; }, HandlerOutcome::Failed, 1,
                    "(not an exception class)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunEventHandler, AReporterThatFailsDoesNotLetTheErrorEscape) {
  const auto outcome = RunEventHandler(
      "Form_Load", [] { throw RuntimeError(53, "File not found"); },
      [](const std::string&, std::exception_ptr) { throw std::runtime_error("no screen"); });
  EXPECT_EQ(outcome, HandlerOutcome::Failed);
}

TEST(RunEventHandler, AReporterThatEndsTheProgramEndsIt) {
  const auto outcome = RunEventHandler(
      "Form_Load", [] { throw RuntimeError(53, "File not found"); },
      [](const std::string&, std::exception_ptr) { throw EndProgram{}; });
  EXPECT_EQ(outcome, HandlerOutcome::EndedProgram);
}

}  // namespace
}  // namespace dbrepair
