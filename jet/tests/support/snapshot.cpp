#include "support/snapshot.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "jet/base/ascii.h"
#include "jet/format/usage_map.h"
#include "jet/read/catalog.h"
#include "jet/read/database.h"
#include "jet/read/index_walk.h"

namespace jet::testing {
namespace {

constexpr std::size_t kMaxPathDepth = 16;

// The columns of each system table that store an object id.
bool is_id_column(std::string_view table, std::string_view column) {
  if (same_name(table, "MSysObjects")) {
    return same_name(column, "Id") || same_name(column, "ParentId");
  }
  if (same_name(table, "MSysACEs") || same_name(table, "MSysQueries") ||
      same_name(table, "MSysNavPaneGroupToObjects")) {
    return same_name(column, "ObjectId");
  }
  if (same_name(table, "MSysNavPaneObjectIDs")) return same_name(column, "Id");
  return false;
}

std::string hex32(std::uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", v);
  return text;
}

class Snapshotter {
 public:
  explicit Snapshotter(const std::string& path) : db_(Database::open(path)) {
    for (const CatalogObject& object : db_->catalog().objects()) by_id_[object.id] = &object;
  }

  DatabaseSnapshot take() {
    DatabaseSnapshot out;
    out.header = db_->header();
    const UsageMap free_map = read_free_page_map(db_->version(), db_->page_count(), db_->page_source());
    out.free_pages = static_cast<std::uint32_t>(
        std::count_if(free_map.pages.begin(), free_map.pages.end(), [&](std::uint32_t p) { return p < db_->page_count(); }));
    for (const CatalogObject& object : db_->tables(true)) {
      out.tables[object.name] = table(object);
    }
    take_objects(out);
    return out;
  }

 private:
  std::string path_of(std::int32_t id) const {
    std::string path;
    for (std::size_t depth = 0; depth < kMaxPathDepth; ++depth) {
      const auto it = by_id_.find(id);
      if (it == by_id_.end()) return path.empty() ? std::to_string(id) : "?/" + path;
      path = path.empty() ? it->second->name : it->second->name + "/" + path;
      id = it->second->parent_id;
    }
    return path;
  }

  // A stored id: tables by path, since their ids are definition pages;
  // other objects keep their ids.
  std::string id_text(std::int32_t id) const {
    const auto it = by_id_.find(id);
    if (it == by_id_.end() || !it->second->is_local_table()) return std::to_string(id);
    return "@" + path_of(id) + "#" + hex32(static_cast<std::uint32_t>(id) & ~kObjectIdPageMask);
  }

  std::string value_text(std::string_view table, const ColumnDef& column, const Value& value) const {
    const auto* id = std::get_if<std::int32_t>(&value.data);
    if (id != nullptr && is_id_column(table, column.name)) return id_text(*id);
    return canonical_text(value);
  }

  std::string row_text(const Table& table, const std::vector<Value>& values) const {
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (i != 0) out += '\x1f';
      out += value_text(table.name(), table.columns()[i], values[i]);
    }
    return out;
  }

  TableSnapshot table(const CatalogObject& object) const {
    TableSnapshot out;
    try {
      const Table table = db_->table(object);
      out.shape = table.def();
      // Access counts rows and distinct keys as they are added and
      // does not always count them down again; a copy's counts are exact.
      out.shape.page = 0;
      out.shape.row_count = 0;
      out.shape.owned_pages = out.shape.free_space_pages = RowPointer{};
      out.last_autonumber = out.shape.last_autonumber;
      out.shape.last_autonumber = 0;
      for (LongValueColumnMaps& maps : out.shape.long_value_maps) maps.owned_pages = maps.free_space_pages = RowPointer{};
      for (RealIndexDef& index : out.shape.real_indexes) {
        index.usage_map = RowPointer{};
        index.first_page = 0;
        index.counter_rows = 0;
        index.unique_entry_count = 0;
      }
      for (LogicalIndexDef& index : out.shape.logical_indexes) {
        const CatalogObject* related = db_->catalog().table_at_page(index.related_table_page);
        out.related.push_back(index.related_table_page == 0 ? "" : related ? path_of(related->id) : "?");
        index.related_table_page = 0;
      }

      std::map<RowPointer, std::string> rows;
      const auto& columns = table.columns();
      const auto autonumber = std::find_if(columns.begin(), columns.end(), [](const ColumnDef& c) {
        return c.is_autonumber() && c.type == ColumnType::Long;
      });
      if (autonumber != columns.end()) out.highest_autonumber = 0;
      table.scan([&](RowPointer at, std::vector<Value>& values) {
        rows[at] = row_text(table, values);
        if (autonumber == columns.end()) return;
        if (const auto* value = std::get_if<std::int32_t>(&values[static_cast<std::size_t>(autonumber - columns.begin())].data)) {
          out.highest_autonumber = std::max(*out.highest_autonumber, *value);
        }
      });
      for (const auto& [at, text] : rows) out.rows.push_back(text);
      std::sort(out.rows.begin(), out.rows.end());

      for (const RealIndexDef& index : table.def().real_indexes) {
        const bool key_holds_id = std::any_of(index.columns.begin(), index.columns.end(), [&](const IndexColumn& c) {
          const ColumnDef* column = table.def().column_by_number(c.column_number);
          return column != nullptr && is_id_column(table.name(), column->name);
        });
        const bool primary = std::any_of(table.def().logical_indexes.begin(), table.def().logical_indexes.end(),
                                         [&](const LogicalIndexDef& logical) {
                                           return logical.is_primary_key() &&
                                                  logical.real_index < table.def().real_indexes.size() &&
                                                  table.def().real_indexes[logical.real_index].number == index.number;
                                         });
        std::optional<RowPointer> previous;
        std::vector<std::string>& entries = out.indexes[index.number];
        for (const IndexEntry& entry :
             read_index(db_->version(), table.def().page, index.first_page, db_->page_count(), db_->page_source())) {
          if (primary && previous && !(*previous < entry.row)) out.rows_in_primary_key_order = false;
          previous = entry.row;
          const auto row = rows.find(entry.row);
          const std::string led_to = row == rows.end() ? "no row" : row->second;
          entries.push_back(key_holds_id ? led_to : hex_text(entry.key) + " -> " + led_to);
        }
        std::sort(entries.begin(), entries.end());
      }
    } catch (const Error& e) {
      out.error = e.what();
    }
    return out;
  }

  void take_objects(DatabaseSnapshot& out) const {
    const CatalogObject* catalog = db_->catalog().find_table("MSysObjects");
    if (catalog == nullptr) return;
    const Table table = db_->table(*catalog);
    table.scan([&](RowPointer, std::vector<Value>& values) {
      ObjectSnapshot object;
      std::int32_t id = 0;
      std::string name;
      for (std::size_t i = 0; i < values.size(); ++i) {
        const ColumnDef& column = table.columns()[i];
        const Value& value = values[i];
        if (same_name(column.name, "Id")) {
          id = std::get_if<std::int32_t>(&value.data) ? std::get<std::int32_t>(value.data) : 0;
        } else if (same_name(column.name, "ParentId")) {
          const auto* parent = std::get_if<std::int32_t>(&value.data);
          object.parent = parent ? path_of(*parent) : "null";
        } else if (same_name(column.name, "Type")) {
          object.type = std::get_if<std::int16_t>(&value.data) ? std::get<std::int16_t>(value.data) : 0;
        } else if (same_name(column.name, "Flags")) {
          object.flags = std::get_if<std::int32_t>(&value.data)
                             ? static_cast<std::uint32_t>(std::get<std::int32_t>(value.data))
                             : 0;
        } else {
          if (same_name(column.name, "Name")) name = canonical_text(value);
          object.columns[column.name] = canonical_text(value);
        }
        const auto* blob = std::get_if<std::vector<std::uint8_t>>(&value.data);
        if (same_name(column.name, "LvProp") && blob != nullptr && !blob->empty()) {
          try {
            object.properties = decode_properties(db_->version(), *blob);
          } catch (const Error& e) {
            object.properties_error = e.what();
          }
        }
      }
      object.id = id_text(id);
      const std::string path = object.parent + "/" + name;
      out.objects[out.objects.count(path) ? path + "#" + std::to_string(out.objects.size()) : path] = object;
    });
  }

  std::unique_ptr<Database> db_;
  std::map<std::int32_t, const CatalogObject*> by_id_;
};

}  // namespace

DatabaseSnapshot take_snapshot(const std::string& path) { return Snapshotter(path).take(); }

}  // namespace jet::testing
