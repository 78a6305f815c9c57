// Salvage: everything that can still be trusted in a damaged database.
//
// Salvage reads a file the way a repair needs it read: never stopping at the
// first damaged structure, keeping what decodes completely, rebuilding what
// has a fixed or derivable shape, and recording every loss. It works in two
// passes so that memory stays bounded by the number of rows, not their size:
// opening a Salvage walks the whole file once, decides which tables and rows
// survive and records the losses; for_each_row then decodes the surviving
// rows again for whoever writes the result.
//
// What it trusts and why:
//   - the header, or else the format the pages betray (jet/salvage/salvage_header.h);
//   - the catalog's definition, or else its fixed shape
//     (jet/format/catalog_definition.h);
//   - a table's owned-pages usage map where it decodes, since freed pages keep
//     their old rows and only the map tells them apart; where it does not,
//     the data pages that name the table as their owner and that the global
//     free-page map does not free;
//   - a table's definition as far as it agrees with itself: columns whose
//     places in the row overlap give no values, and indexes that cannot be
//     built go (jet/salvage/salvage_definition.h);
//   - a row only when it decodes completely against its table's definition
//     (jet/salvage/salvage_row.h), with long values kept as far as they are sound;
//   - a table-definition page no catalog row names, when the free-page map
//     says it is in use: such a table lost its catalog row and comes back
//     under the name the rest of the file gives it (jet/salvage/salvage_catalog.h),
//     or else "Recovered_<page>".
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "jet/base/file.h"
#include "jet/format/header.h"
#include "jet/format/row_pointer.h"
#include "jet/format/table_def.h"
#include "jet/format/value.h"
#include "jet/read/pager.h"
#include "jet/salvage/salvage_catalog.h"
#include "jet/salvage/salvage_log.h"
#include "jet/salvage/salvage_pages.h"
#include "jet/salvage/salvage_row.h"

namespace jet {

struct SalvagedTable {
  std::string name;
  TableDef def;  // def.page: its definition page in the damaged file (its catalog Id)
  bool recovered_name = false;  // found by its definition page, not its catalog row
  // Columns whose stored bytes overlap another's by the damaged definition
  // (ascending numbers): their values are not read, and rows give them
  // null (jet/salvage/salvage_definition.h).
  std::vector<std::uint16_t> untrusted_columns;
  // The slots of the rows that survive, in file order (an overflow slot
  // stands for the row its pointer leads to).
  std::vector<RowPointer> rows;
  // Rows whose end lies past a damaged neighbour's offset: their end within
  // the page (for_each_row reads them there).
  std::map<RowPointer, std::uint16_t> row_ends;
};

struct SalvagedDatabase {
  Header header;
  std::uint32_t page_count = 0;
  TableDef catalog;  // MSysObjects
  // The catalog rows that survive, values in catalog.columns order; rows of
  // tables whose definition is lost are dropped, recovered tables get one.
  std::vector<std::vector<Value>> catalog_rows;
  // The catalog Ids of the tables whose definition is lost.
  std::vector<std::int32_t> lost_table_ids;
  // Every table but the catalog itself, user and system alike.
  std::vector<SalvagedTable> tables;
  std::vector<CompactErrorEntry> errors;
};

class Salvage {
 public:
  // Walks the file. Raises UnrecognisedFormat for what is no Jet 3 or Jet 4
  // database, Io when the file cannot be read; never Corrupt.
  explicit Salvage(const File& file);
  ~Salvage();

  const SalvagedDatabase& database() const { return database_; }

  // Decodes the surviving rows of table again, in the same order.
  void for_each_row(const SalvagedTable& table, const std::function<void(ProvedRow&&)>& visit) const;
  // Decodes the surviving rows at the given positions of table.rows again,
  // in that order.
  void for_each_row_at(const SalvagedTable& table, std::span<const std::size_t> positions,
                       const std::function<void(std::size_t position, ProvedRow&&)>& visit) const;

 private:
  struct CatalogColumns;
  std::optional<SalvagedTable> salvage_table(std::uint32_t page, const std::string& name, bool recovered,
                                             SalvageLog& log);
  void recover_lost_catalog_rows(std::set<std::uint32_t>& definition_pages,
                                 const std::set<std::uint32_t>& live_catalog_pages, const CatalogColumns& columns,
                                 SalvageLog& log);
  std::vector<std::pair<std::uint32_t, TableDef>> orphan_definitions(std::set<std::uint32_t>& definition_pages) const;
  void recover_orphan_tables(const std::vector<std::pair<std::uint32_t, TableDef>>& orphans,
                             CatalogEvidence& evidence, const CatalogColumns& columns, SalvageLog& log);
  void fill_new_object_columns(std::vector<Value>& row, std::int32_t flags) const;
  void read_naming_rows(CatalogEvidence& evidence) const;
  void recover_orphan(std::uint32_t page, const TableNaming& naming, const CatalogColumns& columns, SalvageLog& log);
  std::vector<Value> orphan_catalog_row(std::uint32_t page, const TableNaming& naming,
                                        const CatalogColumns& columns) const;

  std::unique_ptr<Pager> pager_;
  std::unique_ptr<SalvagePages> pages_;
  SalvagedDatabase database_;
};

}  // namespace jet
