#include "jet/read/database.h"

#include <gtest/gtest.h>

#include <random>

#include "support/corpus.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

using ByteVector = std::vector<std::uint8_t>;

using testing::corpus_file;

bool have_corpus() { return !testing::corpus_files().empty(); }

// Every row of every table, as canonical text, table by table.
std::vector<std::string> everything(const Database& db) {
  std::vector<std::string> out;
  for (const auto& object : db.tables(true)) {
    Table table = db.table(object);
    table.scan([&](RowPointer, std::vector<Value>& values) {
      std::string line = object.name + ":";
      for (const auto& v : values) line += canonical_text(v) + "|";
      out.push_back(line);
    });
  }
  return out;
}

struct NotJetCase {
  const char* name;
  std::function<void(ByteVector&)> damage;
};

TEST(Database, RefusesWhatIsNoJetDatabase) {
  if (!have_corpus()) GTEST_SKIP() << "sample databases not found at " JET_CORPUS_DIR;
  const NotJetCase cases[] = {
      {"empty file", [](ByteVector& b) { b.clear(); }},
      {"two pages", [](ByteVector& b) { b.resize(2 * 4096); }},
      {"page 2 is a data page", [](ByteVector& b) { b[2 * 4096] = 0x01; }},
      {"ACE version", [](ByteVector& b) { b[0x14] = 2; }},
      {"noise", [](ByteVector& b) {
         std::mt19937 random(7);
         for (auto& x : b) x = static_cast<std::uint8_t>(random());
       }},
  };
  ByteVector original = testing::read_file_bytes(corpus_file("jet4/v2000-test.mdb"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ByteVector bytes = original;
    c.damage(bytes);
    MemoryFile file(bytes);
    try {
      Database db(file);
      FAIL() << "opened";
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::UnrecognisedFormat) << e.what();
    }
  }
}

TEST(Database, MissingFileAndMissingTableAreNotFound) {
  if (!have_corpus()) GTEST_SKIP() << "sample databases not found at " JET_CORPUS_DIR;
  try {
    Database::open(corpus_file("no-such-file.mdb"));
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::NotFound);
  }
  auto db = Database::open(corpus_file("jet3/v1997-test.mdb"));
  try {
    db->table("NoSuchTable");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::NotFound);
  }
  EXPECT_EQ(db->table("table1").name(), "Table1");  // names compare case-insensitively
}

// An encrypted copy (database key set, every page after the header RC4
// encrypted under key XOR page number) reads exactly like the original.
TEST(Database, ReadsEncryptedDatabases) {
  if (!have_corpus()) GTEST_SKIP() << "sample databases not found at " JET_CORPUS_DIR;
  for (const char* name : {"jet3/v1997-test.mdb", "jet4/v2003-with-password.mdb"}) {
    SCOPED_TRACE(name);
    ByteVector bytes = testing::read_file_bytes(corpus_file(name));
    MemoryFile plain_file(bytes);
    Database plain(plain_file);
    Header header = plain.header();
    header.database_key = 0x5A17C0DE;
    write_header(header, bytes);
    std::uint32_t size = page_size(header.version);
    for (std::uint32_t n = 1; n < bytes.size() / size; ++n) {
      crypt_page(header.database_key, n, MutableBytes(bytes.data() + n * size, size));
    }
    MemoryFile encrypted_file(bytes);
    Database encrypted(encrypted_file);
    EXPECT_TRUE(encrypted.header().encrypted());
    EXPECT_EQ(encrypted.header().password, plain.header().password);
    auto expected = everything(plain);
    EXPECT_GT(expected.size(), 10u);
    EXPECT_EQ(everything(encrypted), expected);
  }
}

// Damage never crashes, hangs or reads out of bounds: every truncation at
// and inside each page boundary, and a page of noise in place of each page,
// either reads or fails with an Error.
TEST(Database, DamagedFilesReadOrFailCleanly) {
  if (!have_corpus()) GTEST_SKIP() << "sample databases not found at " JET_CORPUS_DIR;
  for (const char* name : {"jet3/v1997-overflowTest.mdb", "jet4/v2000-overflowTest.mdb"}) {
    SCOPED_TRACE(name);
    ByteVector original = testing::read_file_bytes(corpus_file(name));
    MemoryFile original_file(original);
    std::uint32_t size = Database(original_file).pager().page_size();
    std::size_t pages = original.size() / size;
    std::size_t failures = 0;
    auto attempt = [&](const ByteVector& bytes) {
      MemoryFile file(bytes);
      try {
        Database db(file);
        everything(db);
      } catch (const Error&) {
        ++failures;
      }
    };
    for (std::size_t n = 1; n < pages; ++n) {
      for (std::size_t cut : {n * size, n * size + 100}) attempt(ByteVector(original.begin(), original.begin() + cut));
      ByteVector noisy = original;
      std::mt19937 random(static_cast<unsigned>(n));
      for (std::size_t i = n * size; i < (n + 1) * size; ++i) noisy[i] = static_cast<std::uint8_t>(random());
      attempt(noisy);
    }
    EXPECT_GT(failures, pages);  // most damage is noticed, not read past
  }
}

TEST(Database, ToleratesBlankAndDiscardedPages) {
  if (!have_corpus()) GTEST_SKIP() << "sample databases not found at " JET_CORPUS_DIR;
  ByteVector bytes = testing::read_file_bytes(corpus_file("jet4/v2000-test.mdb"));
  MemoryFile original_file(bytes);
  auto expected = everything(Database(original_file));
  // The kinds of page Access leaves behind: blank, a discarded definition
  // (0x08, keeping the 1625 magic) and a discarded long-value page (0x09).
  for (std::uint8_t kind : {0x00, 0x08, 0x09}) {
    ByteVector page(4096, 0);
    page[0] = kind;
    page[1] = kind == 0 ? 0 : 1;
    if (kind == 0x08) store_u32(page.data() + 12, 1625);
    bytes.insert(bytes.end(), page.begin(), page.end());
  }
  MemoryFile file(bytes);
  Database db(file);
  EXPECT_EQ(db.page_count(), original_file.size() / 4096 + 3);
  EXPECT_EQ(everything(db), expected);
}

}  // namespace
}  // namespace jet
