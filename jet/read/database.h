// An open Jet database: its header, pages, catalog and tables, read-only.
//
// Opening checks that the file is a Jet 3 or Jet 4 database (UnrecognisedFormat
// otherwise: a wrong signature, an ACE or MSISAM file, fewer than three
// pages, or page 2 not a table definition), reads the catalog and keeps the
// pager for everything after. Tables are read row by row from the data pages
// their owned-pages usage map names; pages the map does not name may hold a
// freed page's old rows, which are not the table's.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/base/file.h"
#include "jet/format/header.h"
#include "jet/format/row_pointer.h"
#include "jet/format/table_def.h"
#include "jet/format/usage_map.h"
#include "jet/format/value.h"
#include "jet/read/catalog.h"
#include "jet/read/pager.h"

namespace jet {

class Database;

// One table of an open database.
class Table {
 public:
  Table(const Database& db, CatalogObject object, TableDef def);

  const std::string& name() const { return object_.name; }
  const CatalogObject& object() const { return object_; }
  const TableDef& def() const { return def_; }
  // The columns in column-number order, the order Access shows them in and
  // the order of the values of every row read here (the definition keeps
  // them in the order the file stores them).
  const std::vector<ColumnDef>& columns() const { return columns_; }
  std::vector<std::string> column_names() const;

  // The data pages the table owns, ascending, from its owned-pages usage map.
  // Pages of another kind that the map names are left out (Access leaves
  // some behind when it frees a page).
  std::vector<std::uint32_t> data_pages() const;

  // Calls visit for every live row, in page and row order, with where the
  // row is (overflow rows: where their pointer sits) and its values in the
  // order of columns(). Raises Corrupt (naming page and field) at the first row
  // that does not decode.
  using RowVisitor = std::function<void(RowPointer at, std::vector<Value>& values)>;
  void scan(const RowVisitor& visit) const;

  // Every live row.
  std::vector<std::vector<Value>> rows() const;

  // Decodes one stored row (an overflow pointer's target already followed).
  std::vector<Value> decode_row(Bytes row, std::uint32_t page) const;

 private:
  ValueFormat value_format(const ColumnDef& column) const;
  Value decode_column(const ColumnDef& column, Bytes stored, bool present,
                      std::uint32_t page) const;

  const Database& db_;
  CatalogObject object_;
  TableDef def_;
  std::vector<ColumnDef> columns_;
};

class Database {
 public:
  // Opens the file at path read-only.
  static std::unique_ptr<Database> open(const std::string& path);
  // Reads a database from a file the caller keeps alive.
  explicit Database(const File& file);
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  const Header& header() const { return header_; }
  Version version() const { return header_.version; }
  const Pager& pager() const { return *pager_; }
  std::uint32_t page_count() const { return pager_->page_count(); }
  Page page(std::uint32_t n) const { return pager_->page(n); }

  // The catalog's objects, in storage order.
  const Catalog& catalog() const { return catalog_; }
  // The catalog's own definition (page 2).
  const TableDef& catalog_def() const { return catalog_def_; }

  // Local tables, in catalog order; system tables only when asked for.
  std::vector<CatalogObject> tables(bool include_system) const;

  // Opens a local table by name (ASCII case-insensitive, as Jet compares);
  // NotFound when there is none.
  Table table(std::string_view name) const;
  Table table(const CatalogObject& object) const;

  // The definition starting at TDEF page `page`.
  TableDef read_table_def(std::uint32_t page) const;

  // The bytes of the row at `at`, following nothing; Corrupt when the page is
  // not a data page or has no such row.
  std::vector<std::uint8_t> row_at(RowPointer at) const;

  // The pages of the usage map stored in the row at `map`.
  UsageMap usage_map(RowPointer map) const;

  // Every page's bytes, for the decoders that read through a PageSource.
  PageSource page_source() const;

  // Bounds a chain walk: more rows than the file can hold means a loop.
  std::size_t max_rows() const { return static_cast<std::size_t>(page_count()) * 256; }

 private:
  std::unique_ptr<File> owned_file_;
  const File& file_;
  Header header_;
  std::unique_ptr<Pager> pager_;
  TableDef catalog_def_;
  Catalog catalog_;

  Database(std::unique_ptr<File> file);
  void load();
};

}  // namespace jet
