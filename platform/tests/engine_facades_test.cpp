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
  TemporaryFolder dir;
  WriteFile(dir / "text.mdb", "This is not a database, only a text file of some length.");
  WriteFile(dir / "empty.mdb", "");
  JetStorageDBEngine engine;
  for (const std::string name : {"text.mdb", "empty.mdb"}) {
    RuntimeError error = Raised([&] { engine.RepairDatabase(dir / name); });
    EXPECT_EQ(error.number(), kErrUnrecognizedFormat) << name;
    EXPECT_EQ(error.description(), "Unrecognized database format '" + (dir / name) + "'.");
  }
  EXPECT_EQ(Raised([&] { engine.RepairDatabase(dir / "missing.mdb"); }).number(), kErrCouldNotFindFile);
}

TEST(DBEngineFacadeTest, Jet4DatabaseGoesToTheCompactionRepair) {
  if (!std::filesystem::exists(CorpusFile("jet4/v2000-test.mdb"))) GTEST_SKIP() << "no sample databases";
  TemporaryFolder dir;
  std::filesystem::copy_file(CorpusFile("jet4/v2000-test.mdb"), dir / "shop.mdb");
  std::string before = ReadFile(dir / "shop.mdb");
  JetStorageDBEngine engine;
  EXPECT_EQ(Raised([&] { engine.RepairDatabase(dir / "shop.mdb"); }).number(), kErrUnrecognizedFormat);
  EXPECT_EQ(ReadFile(dir / "shop.mdb"), before);
}

TEST(DBEngineFacadeTest, OneEngineForTheWholeProcess) {
  EXPECT_EQ(&ProcessDBEngine(), &ProcessDBEngine());
}

TEST(JetEngineFacadeTest, RefusesOtherProvidersAndAnExistingDestination) {
  TemporaryFolder dir;
  WriteFile(dir / "shop.mdb", "x");
  WriteFile(dir / "temp.mdb", "in the way");
  JetStorageJetEngine engine;
  RuntimeError provider = Raised([&] {
    engine.CompactDatabase("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + (dir / "shop.mdb"),
                           MakeConnectionText(dir / "new.mdb"));
  });
  EXPECT_EQ(provider.number(), kErrUnspecifiedFailure);
  RuntimeError existing = Raised(
      [&] { engine.CompactDatabase(MakeConnectionText(dir / "shop.mdb"), MakeConnectionText(dir / "temp.mdb")); });
  EXPECT_EQ(existing.number(), kErrUnspecifiedFailure);
  EXPECT_EQ(ReadFile(dir / "temp.mdb"), "in the way");
  EXPECT_FALSE(PathExists(dir / "new.mdb"));
}

TEST(JetEngineFacadeTest, EngineFailuresCarryTheEnginesDescription) {
  TemporaryFolder dir;
  WriteFile(dir / "text.mdb", "This is not a database, only a text file of some length.");
  JetStorageJetEngine engine;
  RuntimeError error = Raised(
      [&] { engine.CompactDatabase(MakeConnectionText(dir / "text.mdb"), MakeConnectionText(dir / "temp.mdb")); });
  EXPECT_EQ(error.number(), kErrUnspecifiedFailure);
  EXPECT_FALSE(error.description().empty());
  EXPECT_FALSE(PathExists(dir / "temp.mdb"));
}

}  // namespace
}  // namespace dbrepair::testing
