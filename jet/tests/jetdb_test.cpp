// The jetdb tool end to end: its output and its exit statuses.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>

#include "support/corpus.h"
#include "support/shell_command.h"
#include "support/temp_folder.h"

namespace {

#ifdef JETDB_PATH
// A folder of this process's own (the plain and the sanitized test programs
// may run at once), removed when it ends.
std::string stderr_path() {
  static const jet::testing::TempFolder folder;
  return folder.file("jetdb_stderr");
}

using ToolRun = jet::testing::ShellResult;

// Runs jetdb with the arguments; its stderr goes to stderr_path().
ToolRun jetdb(const std::string& arguments) {
  return jet::testing::run_shell(std::string(JETDB_PATH) + " " + arguments + " 2>" + stderr_path());
}

std::string stderr_text() {
  auto bytes = jet::testing::read_file_bytes(stderr_path());
  return std::string(bytes.begin(), bytes.end());
}

using jet::testing::corpus_file;

TEST(Jetdb, DumpsRowsAsJsonLinesWithCanonicalValues) {
  if (jet::testing::corpus_files().empty()) GTEST_SKIP() << "sample databases not found";
  ToolRun run = jetdb("dump " + corpus_file("jet4/v2000-test.mdb") + " Table1");
  ASSERT_EQ(run.status, 0) << stderr_text();
  std::istringstream lines(run.out);
  std::string first;
  std::getline(lines, first);
  auto row = nlohmann::ordered_json::parse(first);
  std::vector<std::string> keys;
  for (auto it = row.begin(); it != row.end(); ++it) keys.push_back(it.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"A", "B", "C", "D", "E", "F", "G", "H", "I"}));
  EXPECT_EQ(row["A"], "abcdefg");
  EXPECT_EQ(row["E"], 333333333);
  EXPECT_EQ(row["G"], "1974-09-21T00:00:00");
  EXPECT_EQ(row["H"], "3.5");  // Currency as exact text
  EXPECT_EQ(row["I"], true);
}

TEST(Jetdb, DumpsUserTablesUnlessAskedForSystemOnes) {
  if (jet::testing::corpus_files().empty()) GTEST_SKIP() << "sample databases not found";
  ToolRun user = jetdb("dump " + corpus_file("jet4/v2003-with-password.mdb"));
  ToolRun all = jetdb("dump --system " + corpus_file("jet4/v2003-with-password.mdb"));
  ASSERT_EQ(user.status, 0);
  ASSERT_EQ(all.status, 0);
  EXPECT_EQ(std::count(user.out.begin(), user.out.end(), '\n'), 3);  // Table1's rows
  EXPECT_GT(std::count(all.out.begin(), all.out.end(), '\n'), 50);
}

TEST(Jetdb, InfoTellsFormatPasswordAndTables) {
  if (jet::testing::corpus_files().empty()) GTEST_SKIP() << "sample databases not found";
  ToolRun run = jetdb("info " + corpus_file("jet4/v2003-with-password.mdb"));
  ASSERT_EQ(run.status, 0);
  for (const char* part : {"format: Jet 4", "page size: 4096", "code page: 1252", "password: set",
                           "encryption: none", "Table1: 3 rows", "MSysObjects (system)"}) {
    EXPECT_NE(run.out.find(part), std::string::npos) << part << " in\n" << run.out;
  }
}

TEST(Jetdb, ExitsWithTwoWhenTheFileIsNoDatabase) {
  jet::testing::TempFolder folder;
  std::string text = folder.file("notes.mdb");
  jet::testing::write_file_bytes(text, std::vector<std::uint8_t>(10000, 'x'));
  for (const std::string& arguments : {"dump " + text, "info " + text, "dump " + folder.file("missing.mdb")}) {
    ToolRun run = jetdb(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(stderr_text().find("jetdb: "), std::string::npos);
  }
}
#endif

}  // namespace
