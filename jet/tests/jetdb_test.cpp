// The jetdb tool end to end: its output and its exit statuses.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>
#include <memory>
#include <sstream>

#include <unistd.h>

#include "support/corpus.h"
#include "support/temp_folder.h"

namespace {

#ifdef JETDB_PATH
// Per process: the plain and the sanitized test binaries may run at once.
std::string stderr_path() { return "/tmp/jetdb_test_stderr." + std::to_string(getpid()); }

struct ToolRun {
  int status;
  std::string out;
};

// Runs jetdb with the arguments; stderr joins stdout after a marker line.
ToolRun jetdb(const std::string& arguments) {
  std::string command = std::string(JETDB_PATH) + " " + arguments + " 2>" + stderr_path() + "; echo \"#status $?\"";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string out;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) out.append(buffer.data(), n);
  auto at = out.rfind("#status ");
  int status = std::stoi(out.substr(at + 8));
  return ToolRun{status, out.substr(0, at)};
}

std::string stderr_text() {
  auto bytes = jet::testing::read_file_bytes(stderr_path());
  return std::string(bytes.begin(), bytes.end());
}

std::string corpus(const std::string& name) { return std::string(JET_CORPUS_DIR) + "/" + name; }

TEST(Jetdb, DumpsRowsAsJsonLinesWithCanonicalValues) {
  if (jet::testing::corpus_files().empty()) GTEST_SKIP() << "sample databases not found";
  ToolRun run = jetdb("dump " + corpus("jet4/v2000-test.mdb") + " Table1");
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
  ToolRun user = jetdb("dump " + corpus("jet4/v2003-with-password.mdb"));
  ToolRun all = jetdb("dump --system " + corpus("jet4/v2003-with-password.mdb"));
  ASSERT_EQ(user.status, 0);
  ASSERT_EQ(all.status, 0);
  EXPECT_EQ(std::count(user.out.begin(), user.out.end(), '\n'), 3);  // Table1's rows
  EXPECT_GT(std::count(all.out.begin(), all.out.end(), '\n'), 50);
}

TEST(Jetdb, InfoTellsFormatPasswordAndTables) {
  if (jet::testing::corpus_files().empty()) GTEST_SKIP() << "sample databases not found";
  ToolRun run = jetdb("info " + corpus("jet4/v2003-with-password.mdb"));
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
