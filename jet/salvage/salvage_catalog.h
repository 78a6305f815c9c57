// Names for tables whose catalog rows are lost.
//
// When a page of MSysObjects rows is destroyed, salvage still finds each of
// its tables by its definition page (a table-definition page the free-page
// map keeps in use). What Access keeps elsewhere names most of them, and
// the sources are taken most exact first:
//   1. the system tables' column sets, which Access never varies: MSysACEs,
//      MSysQueries, MSysRelationships and the tables Access keeps its own
//      objects in come back with their names, flags and container;
//   2. older copies of catalog rows: deleted rows on the catalog's pages and
//      the rows of pages the catalog owned once and freed, with the name's
//      case, the parent and the flags;
//   3. the catalog's indexes on (ParentId, Name) and on Id: their entries,
//      joined on the row both lead to, give the parent and name of the
//      object whose id's low 24 bits are the definition page. Keys fold
//      case, so the name's case is taken from a copy that has it (an older
//      row, MSysRelationships, MSysQueries) where one exists. Where the
//      index and an older copy disagree, the index is the newer word;
//   4. MSysNavPaneObjectIDs, where Access 2003 lists each object's id, name
//      and type for its navigation pane (entries of dropped objects may stay
//      behind, so it comes after the catalog's own copies);
//   5. MSysRelationships, which names the table and columns at each end of
//      every relationship: a table whose columns hold all the columns named
//      for one table, the only such table, is that table.
// A table no source names keeps the name "Recovered_<page>".
//
// The rows every database has (the engine's three containers, the MSysDb
// object, the catalog's own row) come back where they are lost, and so do
// the other containers the indexes name (Forms, Reports, ...): tables and
// documents hang from them. Other objects (queries, forms) are not tables
// and their rows cannot be rebuilt from a name: their loss is reported.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "jet/format/table_def.h"
#include "jet/read/catalog.h"
#include "jet/salvage/salvage_log.h"
#include "jet/salvage/salvage_pages.h"

namespace jet {

struct TableNaming {
  std::string name;
  SalvageCode code = SalvageCode::TableNameRecovered;  // which source named it
  std::string how;                                     // the source, for the report
  std::optional<std::int32_t> parent;                  // the container, where a source gives it
  std::int32_t flags = 0;
};

// A system table known by its columns: its name, and the flags Access gives it.
std::optional<TableNaming> recognise_system_table(const TableDef& def);

// A catalog row that is not a table's, rebuilt.
struct RebuiltObject {
  CatalogObject object;
  std::string how;  // its source, for the report
};

// Whether `present` (the ids of the catalog rows that survive) lacks a row
// every database has.
bool misses_fixed_rows(const std::set<std::int32_t>& present);

class CatalogEvidence {
 public:
  // Reads the catalog's index entries and the older copies of its rows.
  // live_pages: the pages whose live rows are the catalog's rows now.
  CatalogEvidence(const SalvagePages& pages, const TableDef& catalog, std::uint16_t code_page,
                  const std::set<std::uint32_t>& live_pages);

  // What MSysRelationships and MSysQueries say, for the names' case and
  // (relationships) for matching tables by their columns.
  void add_relationship_end(const std::string& table, const std::string& column);
  void add_query_input(const std::string& table);
  void add_navigation_entry(std::int32_t id, const std::string& name, std::int32_t type);

  // Whether the index, or failing it an older copy of a catalog row, names
  // the table at page otherwise.
  bool named_otherwise(std::uint32_t page, std::string_view name) const;

  struct Orphan {
    std::uint32_t page;
    const TableDef* def;
  };
  // A name for every table a source names (keyed by definition page), none
  // of them in `taken` (names already used, in lower case) or given twice.
  std::map<std::uint32_t, TableNaming> name_tables(std::span<const Orphan> orphans, std::set<std::string> taken) const;

  // The rows every database has and the containers the indexes name, less
  // those whose ids are `present`.
  std::vector<RebuiltObject> lost_containers(const std::set<std::int32_t>& present) const;
  // How many objects other than tables and containers the indexes name
  // whose ids are not `present`: their rows are lost for good.
  std::size_t lost_other_objects(const std::set<std::int32_t>& present) const;

 private:
  struct Row {
    std::string name;
    std::optional<std::int32_t> parent;
    std::optional<std::int32_t> flags;
  };
  void read_indexes(const SalvagePages& pages, const TableDef& catalog);
  void read_old_rows(const SalvagePages& pages, const TableDef& catalog, std::uint16_t code_page,
                     const std::set<std::uint32_t>& live_pages);
  std::optional<TableNaming> from_index_or_copies(std::uint32_t page) const;
  std::optional<std::string> with_case(const std::string& capitals) const;

  std::map<std::uint32_t, Row> index_rows_;                // by definition page
  std::map<std::int32_t, Row> index_objects_;               // every other object the indexes name, by id
  std::map<std::uint32_t, std::vector<Row>> old_rows_;     // by definition page, in page order
  std::map<std::string, std::set<std::string>> related_;   // table name -> its columns named (lower case)
  std::map<std::string, std::string> related_names_;       // lower case -> as written
  std::map<std::string, std::string> query_inputs_;        // lower case -> as written
  std::map<std::uint32_t, std::string> navigation_names_;   // by definition page
};

}  // namespace jet
