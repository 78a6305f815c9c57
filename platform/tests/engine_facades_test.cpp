// The DAO and compaction facades over our Jet engine.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/connection_text.h"
#include "platform/db_engine.h"
#include "platform/jet_engine.h"
#include "platform/runtime_error.h"
#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

std::string CorpusFile(const std::string& name) { return std::string(JET_CORPUS_DIR) + "/" + name; }

RuntimeError Raised(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const RuntimeError& error) {
    return error;
  }
  return RuntimeError(0, "nothing raised");
}

TEST(DBEngineFacadeTest, AnythingButJet3IsAnUnrecognisedFormat) {
  TempFolder dir;
  WriteFile(dir.file("text.mdb"), "This is not a database, only a text file of some length.");
  WriteFile(dir.file("empty.mdb"), "");
  JetStorageDBEngine engine;
  for (const std::string name : {"text.mdb", "empty.mdb"}) {
    RuntimeError error = Raised([&] { engine.RepairDatabase(dir.file(name)); });
    EXPECT_EQ(error.Number(), kErrUnrecognizedFormat) << name;
    EXPECT_EQ(error.Description(), "Unrecognized database format '" + (dir.file(name)) + "'.");
  }
  EXPECT_EQ(Raised([&] { engine.RepairDatabase(dir.file("missing.mdb")); }).Number(), kErrCouldNotFindFile);
}

TEST(DBEngineFacadeTest, Jet4DatabaseGoesToTheCompactionRepair) {
  if (!std::filesystem::exists(CorpusFile("jet4/v2000-test.mdb"))) GTEST_SKIP() << "no sample databases";
  TempFolder dir;
  std::filesystem::copy_file(CorpusFile("jet4/v2000-test.mdb"), dir.file("shop.mdb"));
  std::string before = ReadFile(dir.file("shop.mdb"));
  JetStorageDBEngine engine;
  EXPECT_EQ(Raised([&] { engine.RepairDatabase(dir.file("shop.mdb")); }).Number(), kErrUnrecognizedFormat);
  EXPECT_EQ(ReadFile(dir.file("shop.mdb")), before);
}

TEST(DBEngineFacadeTest, OneEngineForTheWholeProcess) {
  EXPECT_EQ(&ProcessDBEngine(), &ProcessDBEngine());
}

TEST(JetEngineFacadeTest, RefusesOtherProvidersAndAnExistingDestination) {
  TempFolder dir;
  WriteFile(dir.file("shop.mdb"), "x");
  WriteFile(dir.file("temp.mdb"), "in the way");
  JetStorageJetEngine engine;
  RuntimeError provider = Raised([&] {
    engine.CompactDatabase("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + (dir.file("shop.mdb")),
                           MakeConnectionText(dir.file("new.mdb")));
  });
  EXPECT_EQ(provider.Number(), kErrUnspecifiedFailure);
  RuntimeError existing = Raised(
      [&] { engine.CompactDatabase(MakeConnectionText(dir.file("shop.mdb")), MakeConnectionText(dir.file("temp.mdb"))); });
  EXPECT_EQ(existing.Number(), kErrUnspecifiedFailure);
  EXPECT_EQ(ReadFile(dir.file("temp.mdb")), "in the way");
  EXPECT_FALSE(PathExists(dir.file("new.mdb")));
}

TEST(JetEngineFacadeTest, EngineFailuresCarryTheEnginesDescription) {
  TempFolder dir;
  WriteFile(dir.file("text.mdb"), "This is not a database, only a text file of some length.");
  JetStorageJetEngine engine;
  RuntimeError error = Raised(
      [&] { engine.CompactDatabase(MakeConnectionText(dir.file("text.mdb")), MakeConnectionText(dir.file("temp.mdb"))); });
  EXPECT_EQ(error.Number(), kErrUnspecifiedFailure);
  EXPECT_FALSE(error.Description().empty());
  EXPECT_FALSE(PathExists(dir.file("temp.mdb")));
}

}  // namespace
}  // namespace dbrepair::testing
