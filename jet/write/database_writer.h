// Writing a new Jet 3 or Jet 4 database, streaming, to a jet::File.
//
// The writer hands out pages in increasing order and writes each page once it
// is complete, so memory stays bounded whatever the row count: per open table
// it holds one data page being filled, one long-value page per Memo/OLE
// column, the list of pages the table owns, and one index builder per real
// index (which spills sorted runs to temporary files beyond its budget).
//
// The file is laid out, and its tables and the file finished, as every
// written file is (jet/write/database_output.h).
//
// A table is written in three steps: begin_table reserves its definition
// pages (whose first page number is the table's catalog Id), add_row packs
// rows into data pages (long values inline, in one long-value row, or in a
// chain of rows by size), and finish_table builds the indexes from each
// row's key, then writes the usage maps and finally the definition with
// every count right. Several tables may be open at once, so catalog rows can
// be added while the tables they describe are written. finish() writes the
// free-page map and the header and syncs the file.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "jet/base/file.h"
#include "jet/format/format.h"
#include "jet/format/header.h"
#include "jet/format/row_pointer.h"
#include "jet/format/table_def.h"
#include "jet/format/value.h"

namespace jet {

struct WriterOptions {
  // Bytes of index entries held in memory per table before the index
  // builders spill sorted runs to temporary files, shared among its indexes;
  // as much again for the keys its unique indexes remember to refuse a
  // duplicate row (jet/format/unique_keys.h).
  std::size_t index_memory_budget = std::size_t{32} << 20;
  // An index whose keys this engine cannot encode (a text sort order or a
  // character it has no sort codes for, see jet/format/index_key.h): by default
  // add_row refuses the row (Unsupported); with this set, finish_table drops
  // the index, its definition and the logical indexes over it with it,
  // rather than write one that misses rows, and TableWriter::indexes_dropped
  // says so. (An index that missed rows would give wrong answers to every
  // program that seeks through it.)
  bool drop_unencodable_indexes = false;
};

class DatabaseWriter;

// Streams the rows of one table. Obtained from DatabaseWriter::begin_table.
class TableWriter {
 public:
  ~TableWriter();
  TableWriter(const TableWriter&) = delete;
  TableWriter& operator=(const TableWriter&) = delete;

  // The table's first definition page: its catalog Id.
  std::uint32_t page() const;
  const TableDef& definition() const;

  // The columns in column-number order: the order of add_row's values, as
  // of the rows a jet::Table reads.
  const std::vector<ColumnDef>& columns() const;

  // Adds one row; values[i] is the value of columns()[i]. Memo
  // and OLE values are their whole content. AutoNumber columns given null are
  // numbered from the table's next value; given a value, the next value moves
  // past it. Raises InvalidArgument when a value does not match its column,
  // when a primary key or Required index would get a null key column, and
  // when a unique index holds the row's key already (keys compare as
  // encoded, so texts differing only in case collide; a key of nulls only
  // never does); LimitExceeded when the row cannot fit a page. A row refused
  // for its key leaves nothing behind. Returns where the row was put.
  RowPointer add_row(std::span<const Value> values);

  std::uint64_t row_count() const;

  // Foreign keys name their related table by its definition page, which a
  // table being copied learns only once every table has been begun.
  void set_related_table_page(std::size_t logical_index, std::uint32_t page);

  // The real indexes (by position in the definition begin_table was given)
  // that finish_table will drop, each with why.
  struct DroppedIndex {
    std::size_t real_index;
    std::string reason;
  };
  const std::vector<DroppedIndex>& indexes_dropped() const;

 private:
  friend class DatabaseWriter;
  struct State;
  explicit TableWriter(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

class DatabaseWriter {
 public:
  // Writes to file, which should be empty; header gives the format, code
  // page, sort order, database key (pages after 0 are encrypted when it is
  // not zero), password and creation date.
  DatabaseWriter(File& file, Header header, WriterOptions options = {});
  ~DatabaseWriter();
  DatabaseWriter(const DatabaseWriter&) = delete;
  DatabaseWriter& operator=(const DatabaseWriter&) = delete;

  Version version() const;
  const Header& header() const;

  // Starts a table. def gives the columns (numbers, offsets and variable
  // indexes as they should be stored), real and logical indexes, type and
  // the last AutoNumber value handed out (a row given no AutoNumber gets the
  // next one; one given a higher value moves it on); the writer fills in the definition pages, row
  // count, usage maps, index roots and counts. first_page 0 lets the writer
  // choose; the catalog asks for page 2. name is for messages only. The
  // returned writer stays valid until finish_table.
  TableWriter& begin_table(TableDef def, std::uint32_t first_page = 0, std::string name = {});

  // Builds the table's indexes, writes its last pages, usage maps and
  // definition, and returns the definition as written. Raises
  // InvalidArgument for a duplicate in a unique index that add_row could not
  // see (its unique keys outgrew the index memory budget); the database
  // cannot be finished then.
  TableDef finish_table(TableWriter& table);

  // Writes the free-page map and the header, and syncs the file. Raises
  // InvalidArgument when a table is still open.
  void finish();

  // Pages written or reserved so far.
  std::uint32_t page_count() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace jet
