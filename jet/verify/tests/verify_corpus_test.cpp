// Every sample database written by Access verifies clean: nothing above
// info. A finding here is either a fault of the verifier (it misreads
// something Access does routinely) or of a reader it builds on.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "jet/verify/verify.h"

namespace jet {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> corpus_files() {
  std::vector<std::string> files;
  std::error_code ignored;
  if (!fs::is_directory(JET_CORPUS_DIR, ignored)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(JET_CORPUS_DIR)) {
    if (entry.path().extension() == ".mdb") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(VerifyCorpus, EveryAccessFileChecksClean) {
  auto files = corpus_files();
  if (files.empty()) GTEST_SKIP() << "the sample databases are absent (" << JET_CORPUS_DIR << ")";
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    FindingList findings = verify(path);
    EXPECT_TRUE(findings.clean()) << format_report(findings);
  }
}

}  // namespace
}  // namespace jet
