// Table definitions (TDEF pages, type 0x02): the in-memory model every part of
// the engine uses, with its decoder and encoder.
//
// A definition starts on one page and continues on as many pages as it needs.
// Every page starts with the same 8-byte header:
//
//   byte 0     page type 0x02
//   byte 1     0x01
//   bytes 2-3  Jet 3: "VC"; Jet 4: free space on the page
//   bytes 4-7  next page of the definition, 0 on the last
//
// The bodies after those 8 bytes concatenate into one buffer; every offset
// below is into that buffer, counted from the start of the first page.
//
// Fixed block                              Jet 3   Jet 4
//   definition length (from byte 8 on)       8       8
//   constant 1625 ("table magic")            -      12
//   row count                               12      16
//   last AutoNumber value handed out        16      20
//   reserved (01, then zeros)                -      24-39
//   table type (0x4E user, 0x53 system)     20      40
//   max column count (with deleted ones)    21      41
//   variable column count                   23      43
//   column count                            25      45
//   logical index count                     27      47
//   real index count                        31      51
//   owned-pages usage map pointer           35      55
//   free-space usage map pointer            39      59
//   end of fixed block                      43      63
//
// The definition length counts every byte of the concatenated buffer, the
// first page's header included. Jet 4 pages keep their free space at bytes
// 2-3: the page size, less the bytes used, less 8.
//
// Then, in this order:
//   real-index counters  8 / 12 bytes each: +0 a row count Access does not
//                        always keep, +4 the unique-entry count (Jet 4 adds
//                        4 zero bytes)
//   columns              18 / 25 bytes each (layout in table_def.cpp)
//   column names         Jet 3: 1-byte length + text in the database code
//                        page; Jet 4: 2-byte byte length + UTF-16LE
//   real indexes         39 / 52 bytes each
//   logical indexes      20 / 28 bytes each
//   logical index names  as column names
//   long-value column usage maps: 2-byte column number, owned map pointer,
//                        free-space map pointer; the list ends with FF FF
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/format.h"
#include "jet/format/page_source.h"
#include "jet/format/row_pointer.h"

namespace jet {

// Bytes 2-3 of a Jet 3 definition page.
inline constexpr std::uint8_t kJet3DefinitionMark[] = {'V', 'C'};
// The constant at byte 12 of a Jet 4 definition (4 bytes), also the first
// 4 bytes of each Jet 4 column and logical-index entry.
inline constexpr std::uint32_t kTableMagic = 1625;
inline constexpr std::size_t kJet4TableMagicOffset = 12;

// The table type byte. Access's own system tables (MSysAccessObjects and the
// like) carry User; the catalog marks them as system objects.
enum class TableType : std::uint8_t { User = 0x4E, System = 0x53 };

// Column flag bits (byte 13 of a Jet 3 column, byte 15 of a Jet 4 one).
namespace column_flags {
constexpr std::uint8_t FixedLength = 0x01;
constexpr std::uint8_t Updatable = 0x02;  // not "nullable", whatever one document says
constexpr std::uint8_t AutoNumber = 0x04;
constexpr std::uint8_t Replication = 0x10;
constexpr std::uint8_t GuidAutoNumber = 0x40;  // replication id autonumber
constexpr std::uint8_t Hyperlink = 0x80;
}  // namespace column_flags

// Jet 4 extended column flags (byte 16).
namespace column_ext_flags {
constexpr std::uint8_t CompressedUnicode = 0x01;
}

struct ColumnDef {
  ColumnType type = ColumnType::Long;
  // Position among all columns, deleted ones included; rows store the null
  // bitmap and fixed-column presence by this number.
  std::uint16_t number = 0;
  // The column's place among the live columns (deleted ones not counted), in
  // the order Access shows them; Access writes 0 in its own system tables.
  std::uint16_t display_index = 0;
  // Index into a row's variable-length offset table (variable columns only).
  std::uint16_t variable_index = 0;
  // Offset of the value in a row's fixed-length area (fixed columns only).
  std::uint16_t fixed_offset = 0;
  // Declared length in bytes (Text: twice the characters in Jet 4; 0 for Memo
  // and OLE).
  std::uint16_t length = 0;
  std::uint8_t flags = 0;
  std::uint8_t ext_flags = 0;  // Jet 4 only
  // Decimal columns.
  std::uint8_t precision = 0;
  std::uint8_t scale = 0;
  // Text and Memo columns: sort order (a Windows language id, 0x0409 General),
  // its version byte (Jet 4), and the code page (Jet 3 only).
  std::uint16_t sort_order = 0;
  std::uint8_t sort_order_version = 0;
  std::uint16_t code_page = 0;
  // The 4 type-dependent bytes (Jet 3 +7..+10: precision, scale, sort order;
  // Jet 4 +11..+14: precision and scale for Decimal, else sort order and its
  // version at +14), less what the typed fields above hold: the bytes no
  // typed field covers, kept as read.
  std::array<std::uint8_t, 4> misc{};
  std::string name;  // UTF-8

  bool is_fixed_length() const { return flags & column_flags::FixedLength; }
  bool is_variable_length() const { return !is_fixed_length(); }
  bool is_updatable() const { return flags & column_flags::Updatable; }
  bool is_autonumber() const { return flags & column_flags::AutoNumber; }
  bool is_guid_autonumber() const { return flags & column_flags::GuidAutoNumber; }
  bool is_replication() const { return flags & column_flags::Replication; }
  bool is_hyperlink() const { return flags & column_flags::Hyperlink; }
  bool is_compressed_unicode() const { return ext_flags & column_ext_flags::CompressedUnicode; }
  bool is_long_value() const { return type == ColumnType::Memo || type == ColumnType::Ole; }
  bool is_text() const { return type == ColumnType::Text || type == ColumnType::Memo; }

  friend bool operator==(const ColumnDef&, const ColumnDef&) = default;
};

// One key column of a real index.
struct IndexColumn {
  static constexpr std::uint8_t Ascending = 0x01;

  std::uint16_t column_number = 0;  // ColumnDef::number
  // The order byte as stored: bit 0x01 set means ascending. Access writes
  // 0x01 for ascending and 0x00 for descending keys.
  std::uint8_t order = Ascending;

  bool is_ascending() const { return order & Ascending; }

  friend bool operator==(const IndexColumn&, const IndexColumn&) = default;
};

namespace index_flags {
constexpr std::uint8_t Unique = 0x01;
constexpr std::uint8_t IgnoreNulls = 0x02;
constexpr std::uint8_t Required = 0x08;
}  // namespace index_flags

// A real (physical) index: the B-tree pages holding the entries. Several
// logical indexes may share one.
//
//   Jet 3 (39 bytes)                 Jet 4 (52 bytes)
//   -                                0-3    constant 1923
//   0-29   ten column/order pairs    4-33   ten column/order pairs:
//          (2-byte column number,           2-byte column number (FF FF
//          1-byte order; FF FF          unused), 1-byte order
//          unused)
//   30-33  usage map pointer         34-37  usage map pointer
//   34-37  first (root) page         38-41  first (root) page
//   -                                42-45  reserved
//   38     flags                     46     flags
//   -                                47-51  reserved
struct RealIndexDef {
  static constexpr std::size_t max_columns = 10;

  std::uint32_t number = 0;  // position in the definition
  std::vector<IndexColumn> columns;  // at most max_columns
  RowPointer usage_map;
  std::uint32_t first_page = 0;
  std::uint8_t flags = 0;
  // From the real-index counter block: the number of distinct keys at +4,
  // and at +0 a count Access keeps in some files (the table's row count) and
  // leaves 0 in others.
  std::uint32_t unique_entry_count = 0;
  std::uint32_t counter_rows = 0;

  bool is_unique() const { return flags & index_flags::Unique; }
  bool ignores_nulls() const { return flags & index_flags::IgnoreNulls; }
  bool is_required() const { return flags & index_flags::Required; }

  friend bool operator==(const RealIndexDef&, const RealIndexDef&) = default;
};

enum class LogicalIndexType : std::uint8_t { Normal = 0, Primary = 1, Foreign = 2 };

// A logical index: what the user sees (a name, primary key or foreign key)
// over a real index.
//
//   Jet 3 (20 bytes)   Jet 4 (28 bytes)
//   -                  0-3    reserved (1625)
//   0-3                4-7    index number
//   4-7                8-11   real index number
//   8                  12     related table's index type (foreign keys)
//   9-12               13-16  related index number
//   13-16              17-20  related table's TDEF page
//   17                 21     cascade updates (0x01)
//   18                 22     cascade deletes (0x01) / set null (0x02)
//   19                 23     index type: 1 primary, 2 foreign
//   -                  24-27  reserved
struct LogicalIndexDef {
  std::uint32_t number = 0;
  std::uint32_t real_index = 0;
  LogicalIndexType type = LogicalIndexType::Normal;
  std::uint8_t related_index_type = 0;
  std::uint32_t related_index = 0;
  std::uint32_t related_table_page = 0;  // a TDEF page: compaction remaps it
  std::uint8_t cascade_updates = 0;
  std::uint8_t cascade_deletes = 0;
  std::string name;

  bool is_primary_key() const { return type == LogicalIndexType::Primary; }
  bool is_foreign_key() const { return type == LogicalIndexType::Foreign; }

  friend bool operator==(const LogicalIndexDef&, const LogicalIndexDef&) = default;
};

// The two usage maps kept for each Memo or OLE column.
struct LongValueColumnMaps {
  std::uint16_t column_number = 0;
  RowPointer owned_pages;
  RowPointer free_space_pages;

  friend bool operator==(const LongValueColumnMaps&, const LongValueColumnMaps&) = default;
};

struct TableDef {
  Version version = Version::Jet4;
  std::uint32_t page = 0;  // first TDEF page; also the table's catalog Id
  std::uint32_t row_count = 0;
  // The last AutoNumber value handed out: the next row gets one more.
  std::uint32_t last_autonumber = 0;
  TableType type = TableType::User;
  std::uint8_t raw_type = 0x4E;  // the byte as read, for types other than the two known
  // As stored: one past the highest column number ever used, and one past the
  // highest variable index ever used (deleted columns count in both). The
  // encoder writes at least what the columns need.
  std::uint16_t max_columns = 0;
  std::uint16_t variable_column_count = 0;
  RowPointer owned_pages;
  RowPointer free_space_pages;
  // Jet 4 bytes 24-39, kept as read (Access writes 01 then zeros); Jet 3 has
  // none, and equality ignores them there.
  std::array<std::uint8_t, 16> reserved{1};

  // In the file's order. Deleted columns leave gaps in the numbers, not here.
  std::vector<ColumnDef> columns;
  std::vector<RealIndexDef> real_indexes;
  std::vector<LogicalIndexDef> logical_indexes;
  std::vector<LongValueColumnMaps> long_value_maps;

  // The pages the definition occupies, first to last (filled by the reader).
  std::vector<std::uint32_t> pages;

  // The named column's position in `columns`, or nothing. Names compare as
  // Jet compares them, ignoring the case of ASCII letters: a name Access
  // wrote as "ParentID" in one version is "ParentId" in another.
  std::optional<std::size_t> column_position(std::string_view name) const;
  const ColumnDef* find_column(std::string_view name) const;
  const ColumnDef* column_by_number(std::uint16_t number) const;
  // The positions in `columns` in column-number order: the order in which
  // rows hand values to readers and take them from writers, whatever order
  // the definition stores its columns in.
  std::vector<std::size_t> positions_by_number() const;
  bool is_system() const { return type == TableType::System; }

  // Equality ignores `pages`, which depends on where a writer put the definition.
  friend bool operator==(const TableDef& a, const TableDef& b);
};

// Takes real index `position` out of the definition, with the logical
// indexes over it; the real indexes after it move up one. The logical
// indexes left keep their numbers, which other tables' foreign keys name.
void drop_real_index(TableDef& def, std::size_t position);

// Reads the definition starting at first_page, following continuation pages.
// page_count bounds the walk: a loop, a pointer past the end or a page of
// another type raises a Corrupt error naming the page.
TableDef read_table_def(Version version, std::uint32_t first_page, std::uint32_t page_count,
                        const PageSource& source);

// Decodes the concatenated definition buffer (first page whole, then each
// continuation page from byte 8).
TableDef decode_table_def(Version version, std::uint32_t first_page, Bytes buffer);

// Encodes the definition as one concatenated buffer, with every count taken
// from the vectors (column and index counts, definition length; max columns
// and variable columns at least what the columns use); the header's next-page
// pointer is left 0.
std::vector<std::uint8_t> encode_table_def(const TableDef& def);

// How many pages the definition needs.
std::size_t table_def_page_count(const TableDef& def);

// Splits an encoded definition over the given pages (as many as
// table_def_page_count says), filling each page header.
std::vector<std::vector<std::uint8_t>> paginate_table_def(Version version, Bytes encoded,
                                                          std::span<const std::uint32_t> pages);

}  // namespace jet
