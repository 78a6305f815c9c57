#include "jet/salvage.h"

#include <algorithm>
#include <optional>
#include <set>

#include "jet/catalog_definition.h"
#include "jet/error.h"
#include "jet/salvage_definition.h"
#include "jet/salvage_header.h"
#include "jet/salvage_pages.h"
#include "jet/salvage_table.h"
#include "jet/usage_map.h"

namespace jet {

namespace {

constexpr const char kCatalogName[] = "MSysObjects";
constexpr std::int16_t kTableObject = 1;
constexpr std::int16_t kContainerObject = 3;
constexpr std::uint32_t kIdPageMask = 0x00FFFFFF;

PageSource page_source(const Pager& pager) {
  return [&pager](std::uint32_t n) { return *pager.page(n); };
}

}  // namespace

// The catalog's columns by name, as positions in a catalog row.
struct Salvage::CatalogColumns {
  std::size_t id, parent_id, name, type;

  explicit CatalogColumns(const TableDef& catalog) {
    id = position(catalog, "Id");
    parent_id = position(catalog, "ParentId");
    name = position(catalog, "Name");
    type = position(catalog, "Type");
  }
  static std::size_t position(const TableDef& def, const char* name) {
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
      if (def.columns[i].name == name) return i;
    }
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
    if (!type || *type != kTableObject || !id) {
      db.catalog_rows.push_back(std::move(row));
      continue;
    }
    std::uint32_t page = static_cast<std::uint32_t>(*id) & kIdPageMask;
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
  recover_orphan_tables(definition_pages, columns, log);
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

void Salvage::recover_orphan_tables(std::set<std::uint32_t>& definition_pages, const CatalogColumns& columns,
                                    SalvageLog& log) {
  // Without the free-page map a dropped table cannot be told from one whose
  // catalog row was lost; bringing back dropped tables would be worse.
  if (!pages_->free_map_known()) return;
  std::vector<std::uint32_t> candidates;
  for (std::uint32_t n = 3; n < pages_->page_count(); ++n) {
    if (pages_->kind(n) == static_cast<std::uint8_t>(PageType::TableDefinition) && !pages_->known_free(n)) {
      candidates.push_back(n);
    }
  }
  // Continuation pages of the definitions found so far are not tables.
  for (std::uint32_t n : candidates) {
    if (definition_pages.count(n)) continue;
    std::string name = "Recovered_" + std::to_string(n);
    auto table = salvage_table(n, name, true, log);
    if (!table || table->def.columns.empty()) continue;
    for (std::uint32_t p : table->def.pages) definition_pages.insert(p);
    log.record(SalvageCode::TableNameRecovered, name,
               "A table whose catalog entry is lost was found from its definition on page " + std::to_string(n) +
                   " and named " + name);
    database_.catalog_rows.push_back(orphan_catalog_row(n, name, columns));
    database_.tables.push_back(std::move(*table));
  }
}

std::vector<Value> Salvage::orphan_catalog_row(std::uint32_t page, const std::string& name,
                                               const CatalogColumns& columns) const {
  std::vector<Value> row;
  for (const auto& column : database_.catalog.columns) row.push_back(Value::null(column.type));
  // Tables hang under the Tables container.
  std::int32_t parent = 0;
  for (const auto& other : database_.catalog_rows) {
    if (get<std::int16_t>(other, columns.type) == kContainerObject &&
        get<std::string>(other, columns.name) == std::string("Tables")) {
      parent = get<std::int32_t>(other, columns.id).value_or(0);
    }
  }
  row[columns.id].data = static_cast<std::int32_t>(page);
  row[columns.parent_id].data = parent;
  row[columns.name].data = name;
  row[columns.type].data = kTableObject;
  return row;
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
