#include "jet/salvage/salvage.h"

#include <algorithm>
#include <optional>
#include <set>

#include "jet/base/ascii.h"
#include "jet/base/error.h"
#include "jet/format/catalog_definition.h"
#include "jet/format/usage_map.h"
#include "jet/read/catalog.h"
#include "jet/salvage/salvage_catalog.h"
#include "jet/salvage/salvage_definition.h"
#include "jet/salvage/salvage_header.h"
#include "jet/salvage/salvage_pages.h"
#include "jet/salvage/salvage_table.h"
#include "jet/write/new_database.h"

namespace jet {

namespace {


PageSource page_source(const Pager& pager) {
  return [&pager](std::uint32_t n) { return *pager.page(n); };
}

}  // namespace

// The catalog's columns by name, as positions in a catalog row.
struct Salvage::CatalogColumns {
  std::size_t id, parent_id, name, type;

  explicit CatalogColumns(const TableDef& catalog) {
    id = position(catalog, catalog_column::kId);
    parent_id = position(catalog, catalog_column::kParentId);
    name = position(catalog, catalog_column::kName);
    type = position(catalog, catalog_column::kType);
  }
  static std::size_t position(const TableDef& def, const char* name) {
    if (const std::optional<std::size_t> at = def.column_position(name)) return *at;
    throw Error(ErrorCode::Corrupt, std::string("the catalog has no column ") + name);
  }
};

namespace {

template <typename T>
std::optional<T> get(const std::vector<Value>& row, std::size_t at) {
  if (at >= row.size()) return std::nullopt;
  if (const T* v = std::get_if<T>(&row[at].data)) return *v;
  return std::nullopt;
}

// The global free-page map's verdict on every page, which counts the pages
// it does not cover as free.
std::optional<std::vector<bool>> read_free_pages(const Pager& pager) {
  try {
    UsageMap map = read_free_page_map(pager.version(), pager.page_count(), page_source(pager));
    std::vector<bool> free(pager.page_count(), false);
    for (std::uint32_t n = 0; n < free.size(); ++n) {
      free[n] = !map.covers(n, pager.version()) || map.contains(n);
    }
    return free;
  } catch (const Error& e) {
    if (e.code() == ErrorCode::Io) throw;
    return std::nullopt;
  }
}

TableDef salvage_catalog_definition(const Pager& pager, const Header& header, SalvageLog& log) {
  std::string why;
  try {
    TableDef def = read_table_def(header.version, kCatalogPage, pager.page_count(), page_source(pager));
    if (has_catalog_shape(def)) {
      drop_broken_indexes(def, kCatalogName, log);
      return def;
    }
    why = "its columns are not the catalog's";
  } catch (const Error& e) {
    if (e.code() == ErrorCode::Io) throw;
    why = e.what();
  }
  log.record(SalvageCode::CatalogDefinitionRebuilt, kCatalogName,
             "The catalog's table definition could not be read (" + why + "); it was rebuilt from its fixed shape");
  return catalog_table_def(header.version, header.code_page, header.sort_order);
}

}  // namespace

Salvage::~Salvage() = default;

Salvage::Salvage(const File& file) {
  SalvageLog log;
  SalvagedDatabase& db = database_;
  db.header = salvage_header(file, log);
  pager_ = std::make_unique<Pager>(file, db.header.version, db.header.database_key);
  db.page_count = pager_->page_count();
  if (pager_->trailing_bytes() != 0) {
    log.record(SalvageCode::TruncatedFile, "",
               "The file ends " + std::to_string(pager_->trailing_bytes()) + " bytes into page " +
                   std::to_string(pager_->page_count()) + "; the partial page and every reference past the end were dropped");
  }
  pages_ = std::make_unique<SalvagePages>(*pager_, read_free_pages(*pager_));

  db.catalog = salvage_catalog_definition(*pager_, db.header, log);
  reset_unknown_code_pages(db.catalog, kCatalogName, log);
  db.catalog.page = kCatalogPage;
  TableContext catalog{*pages_, db.catalog, kCatalogName, db.header.code_page};
  std::vector<std::vector<Value>> rows;
  SalvagedRows catalog_slots = salvage_table_rows(catalog, log);
  for (RowPointer slot : catalog_slots.slots) {
    auto end = catalog_slots.ends.find(slot);
    auto row = read_salvaged_row(catalog, slot,
                                 end == catalog_slots.ends.end() ? std::nullopt : std::optional(end->second));
    if (row) rows.push_back(std::move(row->values));
  }

  const CatalogColumns columns(db.catalog);
  std::set<std::uint32_t> definition_pages{kCatalogPage};
  for (auto& row : rows) {
    auto type = get<std::int16_t>(row, columns.type);
    auto id = get<std::int32_t>(row, columns.id);
    if (!type || *type != type_code(ObjectType::Table) || !id) {
      db.catalog_rows.push_back(std::move(row));
      continue;
    }
    std::uint32_t page = static_cast<std::uint32_t>(*id) & kObjectIdPageMask;
    std::string name = get<std::string>(row, columns.name).value_or("");
    if (page == kCatalogPage) {
      db.catalog_rows.push_back(std::move(row));
      continue;
    }
    if (auto table = salvage_table(page, name, false, log)) {
      for (std::uint32_t p : table->def.pages) definition_pages.insert(p);
      db.tables.push_back(std::move(*table));
      db.catalog_rows.push_back(std::move(row));
    } else {
      db.lost_table_ids.push_back(*id);
    }
  }
  std::set<std::uint32_t> live_catalog_pages;
  for (RowPointer slot : catalog_slots.slots) live_catalog_pages.insert(slot.page);
  recover_lost_catalog_rows(definition_pages, live_catalog_pages, columns, log);
  db.errors = log.entries();
}

std::optional<SalvagedTable> Salvage::salvage_table(std::uint32_t page, const std::string& name, bool recovered,
                                                    SalvageLog& log) {
  SalvagedTable table;
  table.name = name;
  table.recovered_name = recovered;
  try {
    if (page >= pager_->page_count()) throw_corrupt(page, "table definition", "page", "beyond the end of the file");
    table.def = read_table_def(database_.header.version, page, pager_->page_count(), page_source(*pager_));
  } catch (const Error& e) {
    if (e.code() == ErrorCode::Io) throw;
    if (!recovered) {
      log.record(SalvageCode::TableDefinitionLost, name,
                 "The table's definition could not be read (" + std::string(e.what()) + "); the table and its rows are lost");
    }
    return std::nullopt;
  }
  table.def.page = page;
  table.untrusted_columns = repair_column_layout(table.def, name, log);
  drop_broken_indexes(table.def, name, log, table.untrusted_columns);
  TableContext context{*pages_, table.def, name, database_.header.code_page, table.untrusted_columns};
  SalvagedRows rows = salvage_table_rows(context, log);
  table.rows = std::move(rows.slots);
  table.row_ends = std::move(rows.ends);
  return table;
}

void Salvage::recover_lost_catalog_rows(std::set<std::uint32_t>& definition_pages,
                                        const std::set<std::uint32_t>& live_catalog_pages,
                                        const CatalogColumns& columns, SalvageLog& log) {
  std::set<std::int32_t> present;
  for (const auto& row : database_.catalog_rows) {
    if (auto id = get<std::int32_t>(row, columns.id)) present.insert(*id);
  }
  present.insert(database_.lost_table_ids.begin(), database_.lost_table_ids.end());
  std::vector<std::pair<std::uint32_t, TableDef>> orphans = orphan_definitions(definition_pages);
  if (orphans.empty() && !misses_fixed_rows(present)) return;

  CatalogEvidence evidence(*pages_, database_.catalog, database_.header.code_page, live_catalog_pages);
  recover_orphan_tables(orphans, evidence, columns, log);
  for (const auto& [object, how] : evidence.lost_containers(present)) {
    std::vector<Value> row;
    for (const auto& column : database_.catalog.columns) row.push_back(Value::null(column.type));
    row[columns.id].data = object.id;
    row[columns.parent_id].data = object.parent_id;
    row[columns.name].data = object.name;
    row[columns.type].data = object.type;
    fill_new_object_columns(row, static_cast<std::int32_t>(object.flags));
    database_.catalog_rows.push_back(std::move(row));
    log.record(SalvageCode::CatalogRowRebuilt, object.name,
               "The catalog row of " + object.name + " was lost and was rebuilt from " + how);
  }
  if (const std::size_t lost = evidence.lost_other_objects(present)) {
    log.record(SalvageCode::CatalogRowDropped, kCatalogName,
               "The catalog rows of " + std::to_string(lost) +
                   " objects other than tables (queries, forms, reports and the like) are lost; the catalog's "
                   "indexes name them, but their rows cannot be rebuilt from a name");
  }
}

// The definitions no catalog row names that the free-page map keeps in
// use; continuation pages of the definitions found so far are not tables.
// Without the free-page map a dropped table cannot be told from one whose
// catalog row was lost; bringing back dropped tables would be worse.
std::vector<std::pair<std::uint32_t, TableDef>> Salvage::orphan_definitions(
    std::set<std::uint32_t>& definition_pages) const {
  std::vector<std::pair<std::uint32_t, TableDef>> orphans;
  if (!pages_->free_map_known()) return orphans;
  for (std::uint32_t n = kCatalogPage + 1; n < pages_->page_count(); ++n) {
    if (pages_->kind(n) != static_cast<std::uint8_t>(PageType::TableDefinition) || pages_->known_free(n) ||
        definition_pages.count(n)) {
      continue;
    }
    try {
      TableDef def = read_table_def(database_.header.version, n, pager_->page_count(), page_source(*pager_));
      if (def.columns.empty()) continue;
      for (std::uint32_t p : def.pages) definition_pages.insert(p);
      orphans.emplace_back(n, std::move(def));
    } catch (const Error& e) {
      if (e.code() == ErrorCode::Io) throw;
    }
  }
  return orphans;
}

void Salvage::recover_orphan_tables(const std::vector<std::pair<std::uint32_t, TableDef>>& orphans,
                                    CatalogEvidence& evidence, const CatalogColumns& columns, SalvageLog& log) {
  std::set<std::string> taken{name_key(kCatalogName)};
  for (const SalvagedTable& table : database_.tables) taken.insert(name_key(table.name));
  // System tables first, known by their columns unless the catalog's index
  // or an older copy of a row names them otherwise: the rows of two of them
  // name the other tables.
  // A shape two tables have names neither.
  std::map<std::uint32_t, TableNaming> names;
  std::map<std::string, std::size_t> claims;
  for (const auto& [page, def] : orphans) {
    auto naming = recognise_system_table(def);
    if (!naming || evidence.named_otherwise(page, naming->name)) continue;
    ++claims[name_key(naming->name)];
    names.emplace(page, std::move(*naming));
  }
  std::erase_if(names, [&](const auto& named) {
    return claims[name_key(named.second.name)] > 1 || !taken.insert(name_key(named.second.name)).second;
  });
  for (const auto& [page, naming] : names) recover_orphan(page, naming, columns, log);
  read_naming_rows(evidence);
  std::vector<CatalogEvidence::Orphan> unnamed;
  for (const auto& [page, def] : orphans) {
    if (!names.count(page)) unnamed.push_back({page, &def});
  }
  std::map<std::uint32_t, TableNaming> more = evidence.name_tables(unnamed, taken);
  for (const CatalogEvidence::Orphan& orphan : unnamed) {
    const auto named = more.find(orphan.page);
    if (named != more.end()) {
      recover_orphan(orphan.page, named->second, columns, log);
      continue;
    }
    TableNaming naming;
    naming.name = "Recovered_" + std::to_string(orphan.page);
    recover_orphan(orphan.page, naming, columns, log);
  }
}

// MSysRelationships names the tables at both ends of each relationship,
// with their columns; MSysNavPaneObjectIDs lists tables by id and name;
// MSysQueries names the tables its queries read (attribute 5).
void Salvage::read_naming_rows(CatalogEvidence& evidence) const {
  constexpr std::uint8_t kQueryInput = 5;
  for (const SalvagedTable& table : database_.tables) {
    const TableDef& def = table.def;
    const auto text = [&](const ProvedRow& row, const char* column) {
      const std::optional<std::size_t> at = def.column_position(column);
      const auto* value = at ? std::get_if<std::string>(&row.values[*at].data) : nullptr;
      return value ? *value : std::string();
    };
    if (name_key(table.name) == "msysrelationships") {
      for_each_row(table, [&](ProvedRow&& row) {
        evidence.add_relationship_end(text(row, "szObject"), text(row, "szColumn"));
        evidence.add_relationship_end(text(row, "szReferencedObject"), text(row, "szReferencedColumn"));
      });
    } else if (name_key(table.name) == "msysnavpaneobjectids") {
      const ColumnDef* id = def.find_column("Id");
      const ColumnDef* type = def.find_column("Type");
      if (id == nullptr || type == nullptr) continue;
      for_each_row(table, [&](ProvedRow&& row) {
        const auto* object = std::get_if<std::int32_t>(&row.values[id - def.columns.data()].data);
        const auto* kind = std::get_if<std::int32_t>(&row.values[type - def.columns.data()].data);
        if (object && kind) evidence.add_navigation_entry(*object, text(row, "Name"), *kind);
      });
    } else if (name_key(table.name) == "msysqueries") {
      const ColumnDef* attribute = def.find_column("Attribute");
      if (attribute == nullptr) continue;
      for_each_row(table, [&](ProvedRow&& row) {
        const auto* kind = std::get_if<std::uint8_t>(&row.values[attribute - def.columns.data()].data);
        if (kind && *kind == kQueryInput) evidence.add_query_input(text(row, "Name1"));
      });
    }
  }
}

void Salvage::recover_orphan(std::uint32_t page, const TableNaming& naming, const CatalogColumns& columns,
                             SalvageLog& log) {
  auto table = salvage_table(page, naming.name, true, log);
  if (!table) return;
  const std::string found = "A table whose catalog entry is lost was found from its definition on page " +
                            std::to_string(page) + " and named " + naming.name;
  if (naming.code == SalvageCode::TableNameRecovered) {
    log.record(naming.code, naming.name, found);
  } else {
    log.record(naming.code, naming.name,
               found + " from " + naming.how +
                   "; its dates, owner and properties could not be recovered and are those of a new table");
  }
  database_.catalog_rows.push_back(orphan_catalog_row(page, naming, columns));
  database_.tables.push_back(std::move(*table));
}

std::vector<Value> Salvage::orphan_catalog_row(std::uint32_t page, const TableNaming& naming,
                                               const CatalogColumns& columns) const {
  std::vector<Value> row;
  for (const auto& column : database_.catalog.columns) row.push_back(Value::null(column.type));
  // Tables hang under the Tables container, whose id Access never varies.
  std::int32_t parent = kTablesContainerId;
  for (const auto& other : database_.catalog_rows) {
    if (get<std::int16_t>(other, columns.type) == type_code(ObjectType::Container) &&
        get<std::string>(other, columns.name) == std::string("Tables")) {
      parent = get<std::int32_t>(other, columns.id).value_or(parent);
    }
  }
  row[columns.id].data = static_cast<std::int32_t>(page);
  row[columns.parent_id].data = naming.parent.value_or(parent);
  row[columns.name].data = naming.name;
  row[columns.type].data = type_code(ObjectType::Table);
  fill_new_object_columns(row, naming.flags);
  return row;
}

// Flags as given, and the dates of an object made now.
void Salvage::fill_new_object_columns(std::vector<Value>& row, std::int32_t flags) const {
  const TableDef& catalog = database_.catalog;
  if (const auto at = catalog.column_position(catalog_column::kFlags)) row[*at].data = flags;
  const DateTime now{current_date_time()};  // made and updated at one instant
  for (const char* date : {catalog_column::kDateCreate, catalog_column::kDateUpdate}) {
    if (const auto at = catalog.column_position(date)) row[*at].data = now;
  }
}

namespace {

ProvedRow read_again(const TableContext& context, const SalvagedTable& table, RowPointer slot) {
  auto end = table.row_ends.find(slot);
  auto row = read_salvaged_row(context, slot, end == table.row_ends.end() ? std::nullopt : std::optional(end->second));
  if (!row) {
    throw Error(ErrorCode::Io, "row " + std::to_string(slot.row) + " of page " + std::to_string(slot.page) +
                                   " changed while the database was being salvaged");
  }
  return std::move(*row);
}

}  // namespace

void Salvage::for_each_row(const SalvagedTable& table, const std::function<void(ProvedRow&&)>& visit) const {
  TableContext context{*pages_, table.def, table.name, database_.header.code_page, table.untrusted_columns};
  for (RowPointer slot : table.rows) visit(read_again(context, table, slot));
}

void Salvage::for_each_row_at(const SalvagedTable& table, std::span<const std::size_t> positions,
                              const std::function<void(std::size_t, ProvedRow&&)>& visit) const {
  TableContext context{*pages_, table.def, table.name, database_.header.code_page, table.untrusted_columns};
  for (std::size_t position : positions) visit(position, read_again(context, table, table.rows.at(position)));
}

}  // namespace jet
