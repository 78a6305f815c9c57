#include "jet/read/catalog.h"

#include <algorithm>

#include "jet/base/ascii.h"
#include "jet/format/catalog_definition.h"

namespace jet {

namespace {

constexpr std::string_view kStructure = "catalog";

// The value of the named column, or nullptr when the catalog has no such
// column or the row is short.
const Value* column_value(const TableDef& catalog, std::span<const Value> row, std::string_view name,
                          std::size_t* index = nullptr) {
  const std::optional<std::size_t> at = catalog.column_position(name);
  if (!at || *at >= row.size()) return nullptr;
  if (index) *index = *at;
  return &row[*at];
}

template <typename T>
T required(const TableDef& catalog, std::span<const Value> row, std::string_view name) {
  const Value* value = column_value(catalog, row, name);
  if (value == nullptr) throw_corrupt(catalog.page, std::string(kStructure), std::string(name), "column is missing");
  if (value->is_null()) return T{};
  if (const T* typed = std::get_if<T>(&value->data)) return *typed;
  throw_corrupt(catalog.page, std::string(kStructure), std::string(name), "column has an unexpected type");
}

std::string optional_text(const TableDef& catalog, std::span<const Value> row, std::string_view name) {
  const Value* value = column_value(catalog, row, name);
  if (value == nullptr) return {};
  if (const auto* text = std::get_if<std::string>(&value->data)) return *text;
  return {};
}

}  // namespace

std::optional<std::string_view> object_id_column(std::string_view table) {
  static constexpr std::pair<std::string_view, std::string_view> kReferences[] = {
      {"MSysACEs", "ObjectId"},
      {"MSysNavPaneObjectIDs", "Id"},
      {"MSysNavPaneGroupToObjects", "ObjectID"},
  };
  for (const auto& [name, column] : kReferences) {
    if (same_name(table, name)) return column;
  }
  return std::nullopt;
}

bool CatalogObject::is_system() const {
  if (flags & (object_flags::System | object_flags::AltSystem)) return true;
  return (is_local_table() || is_linked_table()) && name.size() >= 4 && same_name(name.substr(0, 4), "MSys");
}

CatalogObject catalog_object_from_row(const TableDef& catalog, std::span<const Value> row) {
  CatalogObject object;
  object.id = required<std::int32_t>(catalog, row, catalog_column::kId);
  object.parent_id = required<std::int32_t>(catalog, row, catalog_column::kParentId);
  object.name = required<std::string>(catalog, row, catalog_column::kName);
  object.type = required<std::int16_t>(catalog, row, catalog_column::kType);
  object.flags = static_cast<std::uint32_t>(required<std::int32_t>(catalog, row, catalog_column::kFlags));
  object.foreign_name = optional_text(catalog, row, catalog_column::kForeignName);
  object.database = optional_text(catalog, row, catalog_column::kDatabase);
  object.connect = optional_text(catalog, row, catalog_column::kConnect);
  return object;
}

Catalog::Catalog(std::vector<CatalogObject> objects) : objects_(std::move(objects)) {}

const CatalogObject* Catalog::container(std::string_view name) const {
  for (const CatalogObject& object : objects_) {
    if (object.is_container() && object.parent_id == kTopLevelParentId && same_name(object.name, name)) {
      return &object;
    }
  }
  return nullptr;
}

std::vector<const CatalogObject*> Catalog::tables(bool include_system) const {
  const CatalogObject* tables = container("Tables");
  std::vector<const CatalogObject*> out;
  for (const CatalogObject& object : objects_) {
    if (!object.is_local_table() && !object.is_linked_table()) continue;
    if (tables != nullptr && object.parent_id != tables->id) continue;
    if (!include_system && object.is_system()) continue;
    out.push_back(&object);
  }
  return out;
}

const CatalogObject* Catalog::find_table(std::string_view name) const {
  for (const CatalogObject* table : tables(true)) {
    if (same_name(table->name, name)) return table;
  }
  return nullptr;
}

const CatalogObject* Catalog::table_at_page(std::uint32_t page) const {
  for (const CatalogObject* table : tables(true)) {
    if (table->is_local_table() && table->table_page() == page) return table;
  }
  return nullptr;
}

void remap_catalog_row(const TableDef& catalog, std::vector<Value>& row, const ObjectIdMap& map) {
  std::size_t index = 0;
  const Value* id = column_value(catalog, row, catalog_column::kId, &index);
  if (id == nullptr) throw_corrupt(catalog.page, std::string(kStructure), catalog_column::kId, "column is missing");
  const auto* old_id = std::get_if<std::int32_t>(&id->data);
  if (old_id == nullptr) return;
  if (const std::optional<std::int32_t> new_id = map(*old_id)) row[index].data = *new_id;
}

}  // namespace jet
