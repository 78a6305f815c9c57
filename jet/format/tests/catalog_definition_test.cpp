#include "jet/format/catalog_definition.h"

#include <gtest/gtest.h>

#include "jet/format/header.h"
#include "jet/read/pager.h"
#include "support/corpus.h"

namespace jet {
namespace {

// The parts of a column that decide how a catalog row decodes.
auto shape(const ColumnDef& c) {
  return std::make_tuple(c.name, c.type, c.number, c.is_fixed_length(),
                         c.is_fixed_length() ? c.fixed_offset : c.variable_index, c.length, c.flags);
}

TEST(CatalogDefinition, IsTheShapeAccessWritesInEveryCorpusFile) {
  auto files = testing::corpus_files();
  if (files.empty()) GTEST_SKIP() << "the sample databases are not here";
  for (const auto& path : files) {
    SCOPED_TRACE(path);
    auto file = PosixFile::open(path, PosixFile::Mode::ReadOnly);
    std::vector<std::uint8_t> head(kHeaderBytes);
    file->read_at(0, head);
    Header header = decode_header(head);
    Pager pager(*file, header.version, header.database_key);
    TableDef stored = read_table_def(header.version, kCatalogPage, pager.page_count(),
                                     [&](std::uint32_t n) { return *pager.page(n); });
    TableDef rebuilt = catalog_table_def(header.version, header.code_page, header.sort_order);

    EXPECT_TRUE(has_catalog_shape(stored));
    ASSERT_EQ(rebuilt.columns.size(), stored.columns.size());
    for (std::size_t i = 0; i < stored.columns.size(); ++i) {
      EXPECT_EQ(shape(rebuilt.columns[i]), shape(stored.columns[i])) << stored.columns[i].name;
    }
    ASSERT_EQ(rebuilt.real_indexes.size(), stored.real_indexes.size());
    for (std::size_t i = 0; i < stored.real_indexes.size(); ++i) {
      EXPECT_EQ(rebuilt.real_indexes[i].columns, stored.real_indexes[i].columns) << i;
      EXPECT_EQ(rebuilt.real_indexes[i].is_unique(), stored.real_indexes[i].is_unique()) << i;
    }
    ASSERT_EQ(rebuilt.logical_indexes.size(), stored.logical_indexes.size());
    for (std::size_t i = 0; i < stored.logical_indexes.size(); ++i) {
      EXPECT_EQ(rebuilt.logical_indexes[i].name, stored.logical_indexes[i].name);
      EXPECT_EQ(rebuilt.logical_indexes[i].real_index, stored.logical_indexes[i].real_index);
      EXPECT_EQ(rebuilt.logical_indexes[i].type, stored.logical_indexes[i].type);
    }
    // Encodes, and decodes back to itself.
    std::vector<std::uint8_t> encoded = encode_table_def(rebuilt);
    TableDef again = decode_table_def(header.version, kCatalogPage, encoded);
    EXPECT_EQ(again.columns, rebuilt.columns);
  }
}

TEST(CatalogDefinition, RejectsADefinitionOfAnotherShape) {
  TableDef other = catalog_table_def(Version::Jet4, 1252, 0x409);
  EXPECT_TRUE(has_catalog_shape(other));
  for (auto& column : other.columns) {
    if (column.name == "Type") column.fixed_offset = 12;
  }
  EXPECT_FALSE(has_catalog_shape(other));
  other.columns.pop_back();
  EXPECT_FALSE(has_catalog_shape(other));
}

}  // namespace
}  // namespace jet
