// Proof of the key encoders against Access: every entry of every index in
// the sample databases must be the key our encoder makes from the values of
// the row it points at.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "jet/base/error.h"
#include "jet/format/data_page.h"
#include "jet/format/header.h"
#include "jet/format/index_row_key.h"
#include "jet/format/row.h"
#include "jet/format/table_def.h"
#include "jet/format/value.h"
#include "jet/read/index_walk.h"
#include "support/corpus_files.h"

namespace jet {
namespace {

// The first page of every table definition in the file.
std::vector<std::uint32_t> table_def_pages(const testing::CorpusFile& file) {
  std::set<std::uint32_t> continuations;
  std::vector<std::uint32_t> candidates;
  for (std::uint32_t n = 1; n < file.page_count(); ++n) {
    Bytes p = file.page(n);
    if (p[0] != 0x02) continue;
    candidates.push_back(n);
    continuations.insert(load_u32(&p[4]));
  }
  std::vector<std::uint32_t> first;
  for (std::uint32_t n : candidates) {
    if (!continuations.count(n)) first.push_back(n);
  }
  return first;
}

// The row an index entry points at, following an overflow slot.
Bytes row_at(const testing::CorpusFile& file, RowPointer pointer, std::uint32_t& page_number) {
  const auto slot_at = [&file](RowPointer at) {
    Bytes page = file.page(at.page);
    return slot_row(page, decode_data_page(page, file.version, at.page), at.row, file.version, at.page);
  };
  const SlotRow row = slot_at(pointer);
  page_number = pointer.page;
  if (!row.overflow) return row.bytes;
  const MovedRow moved = follow_overflow_row(pointer, row.bytes, slot_at);
  page_number = moved.at.page;
  return moved.bytes;
}

struct Tally {
  std::size_t entries = 0;
  std::size_t matched = 0;
  std::size_t refused = 0;  // text the encoder does not know
  std::set<std::string> kinds;  // column type and direction seen in a matched key
  // Matched keys of text beyond ASCII, by format: where the sort codes
  // past the plain letters are proved.
  std::map<std::string, std::size_t> beyond_ascii;
};

// Whether any text value of the row's key has a character beyond ASCII.
bool has_text_beyond_ascii(const TableDef& table, const RealIndexDef& index, const ColumnValueSource& value_of) {
  for (const IndexColumn& c : index.columns) {
    const auto column = std::find_if(table.columns.begin(), table.columns.end(),
                                     [&](const ColumnDef& def) { return def.number == c.column_number; });
    if (column == table.columns.end()) continue;
    const Value value = value_of(*column);
    const auto* text = std::get_if<std::string>(&value.data);
    if (text && std::any_of(text->begin(), text->end(), [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; })) {
      return true;
    }
  }
  return false;
}

void prove_index(const testing::CorpusFile& file, std::uint16_t code_page, const TableDef& table,
                 const RealIndexDef& index, Tally& tally) {
  std::vector<IndexEntry> entries;
  try {
    entries = read_index(file.version, table.page, index.first_page, file.page_count(), file.page_source());
  } catch (const Error& e) {
    // One index that does not read is a fault of its own: the others are
    // still proved.
    ADD_FAILURE() << table.page << "/" << index.number << " does not read: " << e.what();
    return;
  }
  const bool has_variable = table.variable_column_count > 0 ||
                            std::any_of(table.columns.begin(), table.columns.end(),
                                        [](const ColumnDef& c) { return c.is_variable_length(); });
  for (const IndexEntry& entry : entries) {
    ++tally.entries;
    std::uint32_t page = 0;
    Bytes row = row_at(file, entry.row, page);
    RowLayout layout = decode_row_layout(row, file.version, has_variable, page);
    const ColumnValueSource value_of = [&](const ColumnDef& def) {
      ColumnBytes stored = column_bytes(layout, row, def, page);
      if (def.type == ColumnType::Boolean) return Value{ColumnType::Boolean, stored.present};
      if (!stored.present) return Value::null(def.type);
      ValueFormat format{file.version, code_page, def.scale, def.is_compressed_unicode()};
      return decode_value(def.type, stored.bytes, format, page, def.name);
    };
    try {
      std::vector<std::uint8_t> key = index_key_of_row(file.version, table, index, value_of);
      if (key == entry.key) {
        ++tally.matched;
        if (has_text_beyond_ascii(table, index, value_of)) ++tally.beyond_ascii[std::string(to_string(file.version))];
        for (const KeyColumn& c : index_key_columns(file.version, table, index)) {
          tally.kinds.insert(std::to_string(static_cast<int>(c.type)) + (c.ascending ? "+" : "-"));
        }
      } else {
        ADD_FAILURE() << table.page << "/" << index.number << " row " << int(entry.row.row) << "@" << entry.row.page
                      << ": stored " << ::testing::PrintToString(entry.key) << " encoded "
                      << ::testing::PrintToString(key);
      }
    } catch (const Error& e) {
      ASSERT_EQ(e.code(), ErrorCode::Unsupported) << e.what();
      ++tally.refused;
    }
  }
}

TEST(IndexKeyCorpus, ReencodingEveryIndexedRowGivesTheKeyAccessStored) {
  if (!testing::corpus_available()) GTEST_SKIP() << "no sample databases at " << JET_CORPUS_DIR;
  Tally tally;
  for (const testing::CorpusFile& file : testing::load_corpus()) {
    SCOPED_TRACE(file.name);
    std::uint16_t code_page = 1252;
    try {
      code_page = decode_header(file.page(0)).code_page;
    } catch (const Error&) {
    }
    for (std::uint32_t tdef : table_def_pages(file)) {
      TableDef table;
      try {
        table = read_table_def(file.version, tdef, file.page_count(), file.page_source());
      } catch (const Error&) {
        continue;  // freed pages keep their old bytes: not every 0x02 page is a live definition
      }
      for (const RealIndexDef& index : table.real_indexes) {
        if (index.first_page == 0) continue;
        prove_index(file, code_page, table, index, tally);
      }
    }
  }
  std::cout << tally.matched << " of " << tally.entries << " index entries re-encoded exactly, " << tally.refused
            << " refused; column types (+ ascending, - descending):";
  for (const auto& k : tally.kinds) std::cout << " " << k;
  std::cout << "; with text beyond ASCII:";
  for (const auto& [version, count] : tally.beyond_ascii) std::cout << " " << version << " " << count;
  std::cout << "\n";
  EXPECT_GT(tally.matched, 2000u);
  EXPECT_EQ(tally.refused, 0u);
}

}  // namespace
}  // namespace jet
