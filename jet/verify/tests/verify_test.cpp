// The verifier names what a specific damage breaks: each row damages one
// structure of a sample database and expects a finding of at least the given
// severity whose text names the broken thing.
#include "jet/verify/verify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "jet/read/database.h"
#include "support/corpus.h"
#include "support/damage.h"

namespace jet {
namespace {

using testing::Image;

struct Sample {
  Image image;
  Version version;
  std::uint32_t data_page;  // a data page of a user table with rows
  TableDef def;             // that table's definition
  bool jet3() const { return version == Version::Jet3; }
  std::size_t page_size() const { return jet::page_size(version); }
  std::size_t at(std::uint32_t page) const { return page * page_size(); }
  std::size_t row_count_offset() const { return jet3() ? 8 : 12; }
};

std::optional<Sample> load_sample(const std::string& name) {
  std::string path = testing::corpus_file(name);
  if (!std::filesystem::exists(path)) return std::nullopt;
  Sample sample;
  sample.image = testing::load_image(path);
  sample.version = sample.image[0x14] == 0 ? Version::Jet3 : Version::Jet4;
  // The first data page, with rows, of a user table with an index.
  MemoryFile file(sample.image);
  Database db(file);
  for (const CatalogObject& object : db.tables(false)) {
    Table table = db.table(object);
    if (table.def().real_indexes.empty()) continue;
    for (std::uint32_t page : table.data_pages()) {
      if (load_u16(sample.image.data() + sample.at(page) + sample.row_count_offset()) == 0) continue;
      sample.data_page = page;
      sample.def = table.def();
      return sample;
    }
  }
  return std::nullopt;
}

// Sets the bit of `page` in the inline usage map held by row `map` (the
// global free-page map and the samples' table maps are all inline).
Image with_page_in_map(const Sample& s, RowPointer map, std::uint32_t page) {
  Image image = s.image;
  std::size_t slot = s.at(map.page) + s.row_count_offset() + 2 + 2 * map.row;
  std::size_t row = s.at(map.page) + (load_u16(image.data() + slot) & 0x1FFF);
  std::uint32_t first = load_u32(image.data() + row + 1);
  std::size_t bit = page - first;
  image.at(row + 5 + bit / 8) |= static_cast<std::uint8_t>(1u << (bit % 8));
  return image;
}

struct Case {
  const char* name;
  std::function<Image(const Sample&)> damage;
  Severity severity;
  const char* names;  // text the finding must contain
  bool of_table;      // the finding names the damaged table's definition page
};

const Case kCases[] = {
    {"row offset past the page",
     [](const Sample& s) { return testing::with_u16(s.image, s.at(s.data_page) + s.row_count_offset() + 2, 0x1FFF); },
     Severity::Error, "row 0", true},
    {"data page names another table",
     [](const Sample& s) { return testing::with_u32(s.image, s.at(s.data_page) + 4, 2); },
     Severity::Error, "owner", true},
    {"row deleted under its index entries",
     [](const Sample& s) {
       std::size_t slot = s.at(s.data_page) + s.row_count_offset() + 2;
       return testing::with_u16(s.image, slot, load_u16(s.image.data() + slot) | 0x8000);
     },
     Severity::Error, "is deleted", true},
    {"row moved to itself",
     [](const Sample& s) {
       const std::size_t slot = s.at(s.data_page) + s.row_count_offset() + 2;
       const std::uint16_t offset = load_u16(s.image.data() + slot);
       Image image = testing::with_u16(s.image, slot, offset | 0x4000);
       return testing::with_u32(image, s.at(s.data_page) + (offset & 0x1FFF), RowPointer{s.data_page, 0}.to_u32());
     },
     Severity::Error, "a loop", true},
    {"rows cut from a page under their index entries",
     [](const Sample& s) { return testing::with_u16(s.image, s.at(s.data_page) + s.row_count_offset(), 0); },
     Severity::Error, "does not hold", true},
    {"index map lists a page outside the tree",
     [](const Sample& s) { return with_page_in_map(s, s.def.real_indexes.at(0).usage_map, s.data_page); },
     Severity::Warning, "not part of its tree", true},
    {"variable column count too small",
     [](const Sample& s) { return testing::with_u16(s.image, s.at(s.def.page) + (s.jet3() ? 23 : 43), 0); },
     Severity::Error, "variable", true},
    {"used page marked free", [](const Sample& s) { return with_page_in_map(s, RowPointer{1, 0}, s.data_page); },
     Severity::Error, "marked free", true},
    {"table map lists an index page",
     [](const Sample& s) { return with_page_in_map(s, s.def.owned_pages, s.def.real_indexes.at(0).first_page); },
     Severity::Error, "lists an index", true},
    {"last page cut short",
     [](const Sample& s) { return testing::truncated(s.image, s.image.size() - s.page_size() / 2); },
     Severity::Error, "incomplete", false},
    {"header constant changed", [](const Sample& s) { return testing::with_byte(s.image, 0x18, s.image[0x18] ^ 1); },
     Severity::Warning, "constants", false},
    {"index root links to itself",
     [](const Sample& s) {
       std::uint32_t root = s.def.real_indexes.at(0).first_page;
       return testing::with_index_next(s.image, root, root);
     },
     Severity::Error, "index", true},
    {"row count disagrees",
     [](const Sample& s) { return testing::with_u32(s.image, s.at(s.def.page) + (s.jet3() ? 12 : 16), s.def.row_count + 1); },
     Severity::Warning, "row count", true},
};

bool names(const Finding& finding, const std::string& text) {
  return (finding.structure + " " + finding.field + " " + finding.message).find(text) != std::string::npos;
}

class VerifyDamage : public ::testing::TestWithParam<const char*> {};

TEST_P(VerifyDamage, NamesWhatEachDamageBreaks) {
  std::optional<Sample> sample = load_sample(GetParam());
  if (!sample) GTEST_SKIP() << "sample database " << GetParam() << " is absent or has no indexed user table";
  ASSERT_TRUE(verify(MemoryFile(sample->image)).clean());
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    FindingList findings = verify(MemoryFile(c.damage(*sample)));
    bool found = false;
    for (const Finding& finding : findings.items()) {
      bool of_table = !c.of_table || finding.table == sample->def.page;
      if (finding.severity >= c.severity && names(finding, c.names) && of_table) found = true;
    }
    EXPECT_TRUE(found) << "no " << to_string(c.severity) << " naming \"" << c.names << "\""
                       << (c.of_table ? " of the table on page " + std::to_string(sample->def.page) : "")
                       << " in:\n" << format_report(findings);
  }
}

// The global free-page map rewritten as Access keeps it once a file outgrows
// an inline map: a reference row whose slot 0 names a bitmap page (added at
// the end of the file, marking what the inline map marked) and whose last
// slot, whose range lies far past the file, holds `junk`.
Image with_reference_free_map(const Sample& s, std::uint32_t junk) {
  Image image = s.image;
  const std::size_t row = s.at(1) + (load_u16(image.data() + s.at(1) + s.row_count_offset() + 2) & 0x1FFF);
  const std::size_t row_size = s.at(2) - row;  // row 0 ends the page
  const auto bitmap_page = static_cast<std::uint32_t>(testing::page_count(image));
  image.resize(image.size() + s.page_size(), 0);
  const std::size_t bitmap = s.at(bitmap_page);
  image[bitmap] = 0x05;
  image[bitmap + 1] = 0x01;
  std::copy(image.begin() + static_cast<std::ptrdiff_t>(row + 5),
            image.begin() + static_cast<std::ptrdiff_t>(row + row_size), image.begin() + static_cast<std::ptrdiff_t>(bitmap + 4));
  image[bitmap + 4 + bitmap_page / 8] &= static_cast<std::uint8_t>(~(1u << (bitmap_page % 8)));  // now in use
  std::fill(image.begin() + static_cast<std::ptrdiff_t>(row), image.begin() + static_cast<std::ptrdiff_t>(row + row_size), 0);
  image[row] = 0x01;
  store_u32(&image[row + 1], bitmap_page);
  store_u32(&image[row + row_size - 4], junk);
  return image;
}

TEST_P(VerifyDamage, AFreePageMapSlotPastTheFileIsOnlyNoted) {
  std::optional<Sample> sample = load_sample(GetParam());
  if (!sample) GTEST_SKIP() << "sample database " << GetParam() << " is absent or has no indexed user table";
  // As seen in a file Access wrote; and a page of the file, which the slot
  // cannot mean either.
  for (const std::uint32_t junk : {0xFFFFFF80u, 2u}) {
    SCOPED_TRACE(junk);
    const FindingList findings = verify(MemoryFile(with_reference_free_map(*sample, junk)));
    EXPECT_TRUE(findings.clean()) << format_report(findings);
    EXPECT_TRUE(std::any_of(findings.items().begin(), findings.items().end(), [](const Finding& f) {
      return f.severity == Severity::Info && names(f, "global free-page map") && names(f, "past the end of the file");
    })) << format_report(findings);
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, VerifyDamage,
                         ::testing::Values("jet3/v1997-indexTest.mdb", "jet4/v2000-indexTest.mdb"),
                         [](const auto& info) { return std::string(info.param).substr(0, 4); });

TEST(Verify, RefusesWhatIsNoJetDatabase) {
  struct Row {
    const char* name;
    Image bytes;
  };
  Image jet4_start(3 * 4096, 0);
  const char signature[] = "\x00\x01\x00\x00Standard Jet DB";
  std::copy(signature, signature + 19, jet4_start.begin());
  jet4_start[0x14] = 1;
  const Row rows[] = {
      {"empty", {}},
      {"text", Image(5000, 'x')},
      {"ACE version", testing::with_byte(jet4_start, 0x14, 3)},
      {"two pages", testing::truncated(jet4_start, 2 * 4096)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    try {
      verify(MemoryFile(row.bytes));
      ADD_FAILURE() << "accepted";
    } catch (const Error& error) {
      EXPECT_EQ(error.code(), ErrorCode::UnrecognisedFormat) << error.what();
    }
  }
}

}  // namespace
}  // namespace jet
