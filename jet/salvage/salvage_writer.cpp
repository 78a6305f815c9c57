#include "jet/salvage/salvage_writer.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <optional>
#include <set>

#include "jet/base/ascii.h"
#include "jet/base/error.h"
#include "jet/base/text.h"
#include "jet/format/catalog_definition.h"
#include "jet/format/compact_error_table.h"
#include "jet/format/index_row_key.h"
#include "jet/format/properties.h"
#include "jet/read/catalog.h"
#include "jet/read/table_ids.h"
#include "jet/salvage/salvage_definition.h"
#include "jet/write/database_writer.h"
#include "jet/write/new_database.h"

namespace jet {

namespace {


std::size_t column_position(const TableDef& def, const char* name) {
  return def.column_position(name).value_or(def.columns.size());
}

template <typename T>
const T* field(const std::vector<Value>& row, std::size_t at) {
  return at < row.size() ? std::get_if<T>(&row[at].data) : nullptr;
}

// Salvage gives a row's values in the order of its definition's columns;
// the writer takes them in column-number order, which differs wherever a
// table's columns are not stored by number (Jet 4's MSysACEs and
// MSysObjects among them). The permutation is worked out once per table.
class ColumnOrder {
 public:
  explicit ColumnOrder(const TableDef& def) : source_(def.positions_by_number()) {}
  std::vector<Value> by_number(std::vector<Value>& values) const {
    std::vector<Value> out;
    out.reserve(source_.size());
    for (std::size_t at : source_) out.push_back(std::move(values.at(at)));
    return out;
  }

 private:
  std::vector<std::size_t> source_;
};

void record(std::vector<CompactErrorEntry>& errors, SalvageCode code, const std::string& table,
            const std::string& description, std::int32_t record = 0) {
  errors.push_back({static_cast<std::int32_t>(code), description, record, table});
}

// Text as a table of the database can hold it: in a Jet 3 file each
// character its code page lacks becomes '?' (a byte that code page leaves
// undefined was read as U+FFFD), in either format each byte that is no
// UTF-8.
std::string fit_text(const Header& header, std::string_view text) {
  return header.version == Version::Jet3 ? fit_to_code_page(text, header.code_page) : as_valid_utf8(text);
}

// The row with its text values fitted (fit_text), or nothing when that
// changes none of them.
std::optional<std::vector<Value>> with_text_fitted(const Header& header, std::span<const Value> values) {
  std::vector<Value> fitted(values.begin(), values.end());
  bool changed = false;
  for (Value& value : fitted) {
    auto* text = std::get_if<std::string>(&value.data);
    if (text == nullptr) continue;
    std::string fits = fit_text(header, *text);
    if (fits == *text) continue;
    *text = std::move(fits);
    changed = true;
  }
  if (!changed) return std::nullopt;
  return fitted;
}

// Adds a row, turning the writer's refusal of a value into a recorded loss.
// A row refused for characters its text cannot hold is kept with '?' in
// their place, as the report says. The writer checks every value before it
// stores anything, so a refused row leaves no trace in the table.
bool add_row(TableWriter& writer, const Header& header, const std::string& table, std::span<const Value> values,
             std::vector<CompactErrorEntry>& errors, std::int32_t record_id = 0) {
  try {
    writer.add_row(values);
    return true;
  } catch (const Error& e) {
    if (e.code() != ErrorCode::InvalidArgument && e.code() != ErrorCode::LimitExceeded) throw;
    if (const std::optional<std::vector<Value>> fitted = with_text_fitted(header, values)) {
      try {
        writer.add_row(*fitted);
        record(errors, SalvageCode::TextCharactersReplaced, table,
               "A salvaged row's text held characters its table cannot store (" + std::string(e.what()) +
                   "); they were written as '?'",
               record_id);
        return true;
      } catch (const Error& again) {
        if (again.code() != ErrorCode::InvalidArgument && again.code() != ErrorCode::LimitExceeded) throw;
      }
    }
    record(errors, SalvageCode::RowDropped, table, "A salvaged row could not be written: " + std::string(e.what()),
           record_id);
    return false;
  }
}

// An entry of the error table. Its texts may quote damaged names and
// values, which the table's text must still hold: what it cannot becomes '?'.
std::vector<Value> compact_error_row(const Header& header, const std::vector<ColumnDef>& columns,
                                     const CompactErrorEntry& entry) {
  std::vector<Value> row;
  for (const ColumnDef& column : columns) {
    if (column.name == "ErrorCode") {
      row.push_back({column.type, entry.code});
    } else if (column.name == "ErrorDescription") {
      row.push_back({column.type, fit_text(header, entry.description)});
    } else if (column.name == "ErrorRecid") {
      row.push_back({column.type, entry.record_id});
    } else {
      row.push_back({column.type, fit_text(header, std::string_view(entry.table).substr(0, 255))});
    }
  }
  return row;
}

// A table salvage kept, begun in the writer.
struct OpenTable {
  const SalvagedTable* source;
  TableWriter* writer;
};

class SalvageWriter {
 public:
  SalvageWriter(const Salvage& salvage, std::vector<CompactErrorEntry>& errors, File& out)
      : salvage_(salvage), db_(salvage.database()), errors_(errors), writer_(out, db_.header, options()) {}

  static WriterOptions options() {
    WriterOptions options;
    options.drop_unencodable_indexes = true;
    return options;
  }

  void run() {
    begin_tables();
    write_rows();
    write_catalog_and_errors();
    writer_.finish();
  }

 private:
  // Every table is begun first, so that each new id is known before the
  // rows that name it are written.
  void begin_tables() {
    TableDef catalog = db_.catalog;
    catalog.last_autonumber = 0;
    catalog_ = &writer_.begin_table(catalog, kCatalogPage);
    catalog_columns_ = std::make_unique<ColumnOrder>(db_.catalog);
    ids_.add(kCatalogPage, kCatalogPage);

    const std::map<std::uint32_t, std::int32_t> catalog_ids = table_ids_by_page();
    for (const SalvagedTable& table : db_.tables) {
      TableDef def = table.def;
      // AutoNumber continues after the highest value that remains: the
      // writer follows the values it is given from zero.
      def.last_autonumber = 0;
      fit_column_count(def);
      try {
        TableWriter& writer = writer_.begin_table(def);
        open_.push_back(OpenTable{&table, &writer});
        const auto id = catalog_ids.find(table.def.page);
        ids_.add(id == catalog_ids.end() ? static_cast<std::int32_t>(table.def.page) : id->second, writer.page());
      } catch (const Error& e) {
        if (e.code() != ErrorCode::InvalidArgument && e.code() != ErrorCode::Corrupt) throw;
        record(errors_, SalvageCode::TableDefinitionLost, table.name,
               "The table's definition cannot be written (" + std::string(e.what()) + "); the table and its rows are lost");
      }
    }
    // Foreign keys name their related table by its definition page.
    for (const OpenTable& table : open_) remap_related_tables(*table.writer);
  }

  // The catalog Id of each table salvage kept, by definition page; the ids
  // of every other object are noted as they are.
  std::map<std::uint32_t, std::int32_t> table_ids_by_page() {
    std::map<std::uint32_t, std::int32_t> ids;
    const std::size_t id = column_position(db_.catalog, catalog_column::kId);
    const std::size_t type = column_position(db_.catalog, catalog_column::kType);
    for (const auto& row : db_.catalog_rows) {
      const auto* kind = field<std::int16_t>(row, type);
      const auto* value = field<std::int32_t>(row, id);
      if (value == nullptr) continue;
      if (kind && *kind == type_code(ObjectType::Table)) {
        ids[static_cast<std::uint32_t>(*value) & kObjectIdPageMask] = *value;
        catalog_table_ids_.insert(*value);
      } else {
        other_object_ids_.insert(*value);
      }
    }
    catalog_table_ids_.insert(db_.lost_table_ids.begin(), db_.lost_table_ids.end());
    return ids;
  }

  void remap_related_tables(TableWriter& table) {
    const auto& indexes = table.definition().logical_indexes;
    for (std::size_t i = 0; i < indexes.size(); ++i) {
      if (indexes[i].related_table_page == 0) continue;
      table.set_related_table_page(i, ids_.page(indexes[i].related_table_page).value_or(0));
    }
  }

  void write_rows() {
    for (const OpenTable& table : open_) {
      const SalvagedTable& source = *table.source;
      const ColumnOrder order(source.def);
      const std::size_t object_id = object_id_position(source);
      salvage_.for_each_row_at(source, row_order(source, *table.writer), [&](std::size_t at, ProvedRow&& row) {
        const RowPointer where = source.rows[at];
        const std::int32_t recid = record_id(where.page, where.row);
        if (object_id != SIZE_MAX && !remap_object_reference(source.name, row.values, object_id, recid)) return;
        const std::vector<Value> values = order.by_number(row.values);
        add_row(*table.writer, db_.header, source.name, values, errors_, recid);
      });
      record_indexes_dropped(*table.writer, source.name);
      writer_.finish_table(*table.writer);
    }
  }

  // The positions of a table's surviving rows in the order of its primary
  // key, as compaction writes them, so that reading by key reads the pages
  // in turn; file order where the table has no primary key or a key cannot
  // be encoded. Rows with equal keys keep their file order. Costs a pass
  // over the rows and their keys in memory.
  std::vector<std::size_t> row_order(const SalvagedTable& source, const TableWriter& writer) const {
    std::vector<std::size_t> order(source.rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const RealIndexDef* index = primary_index(writer.definition());
    if (index == nullptr) return order;
    const std::map<std::uint16_t, std::size_t> place = places(source.def);
    std::vector<std::vector<std::uint8_t>> keys;
    keys.reserve(order.size());
    try {
      salvage_.for_each_row(source, [&](ProvedRow&& row) {
        keys.push_back(key_of(writer.definition(), *index, place, row.values));
      });
    } catch (const Error& e) {
      if (e.code() != ErrorCode::Unsupported) throw;
      return order;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    return order;
  }

  // The catalog's rows in the order of its primary key, as for every table.
  void sort_by_primary_key(std::vector<std::vector<Value>>& rows) const {
    const RealIndexDef* index = primary_index(catalog_->definition());
    if (index == nullptr) return;
    const std::map<std::uint16_t, std::size_t> place = places(db_.catalog);
    std::vector<std::pair<std::vector<std::uint8_t>, std::vector<Value>>> keyed;
    try {
      for (auto& row : rows) keyed.emplace_back(key_of(catalog_->definition(), *index, place, row), std::move(row));
    } catch (const Error& e) {
      if (e.code() != ErrorCode::Unsupported) throw;
      for (std::size_t i = 0; i < keyed.size(); ++i) rows[i] = std::move(keyed[i].second);
      return;
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < keyed.size(); ++i) rows[i] = std::move(keyed[i].second);
  }

  static const RealIndexDef* primary_index(const TableDef& def) {
    const auto primary = std::find_if(def.logical_indexes.begin(), def.logical_indexes.end(),
                                      [](const LogicalIndexDef& index) { return index.is_primary_key(); });
    if (primary == def.logical_indexes.end() || primary->real_index >= def.real_indexes.size()) return nullptr;
    return &def.real_indexes[primary->real_index];
  }

  // A column's place in a salvaged row, by number.
  static std::map<std::uint16_t, std::size_t> places(const TableDef& source) {
    std::map<std::uint16_t, std::size_t> place;
    for (std::size_t i = 0; i < source.columns.size(); ++i) place[source.columns[i].number] = i;
    return place;
  }

  std::vector<std::uint8_t> key_of(const TableDef& def, const RealIndexDef& index,
                                   const std::map<std::uint16_t, std::size_t>& place,
                                   const std::vector<Value>& values) const {
    return index_key_of_row(db_.header.version, def, index, [&](const ColumnDef& column) {
      const auto at = place.find(column.number);
      return at == place.end() ? Value::null(column.type) : values[at->second];
    });
  }

  // Records the indexes dropped from the `from`th on; returns how many there
  // are.
  std::size_t record_indexes_dropped(const TableWriter& table, const std::string& name, std::size_t from = 0) {
    const auto& dropped = table.indexes_dropped();
    for (std::size_t i = from; i < dropped.size(); ++i) {
      const TableWriter::DroppedIndex& index = dropped[i];
      record(errors_, SalvageCode::IndexDropped, name,
             "Index " + std::to_string(table.definition().real_indexes[index.real_index].number) +
                 " was dropped, as its keys cannot be encoded: " + index.reason +
                 "; an index that missed rows would give wrong answers");
    }
    return dropped.size();
  }

  // The place of the column that names objects by id in a table's salvaged
  // rows (object_id_column), or SIZE_MAX where it has none.
  static std::size_t object_id_position(const SalvagedTable& source) {
    const std::optional<std::string_view> column = object_id_column(source.name);
    const ColumnDef* found = column ? source.def.find_column(*column) : nullptr;
    return found ? static_cast<std::size_t>(found - source.def.columns.data()) : SIZE_MAX;
  }

  // An access entry, or an entry of the navigation pane, names its object
  // by catalog Id: a table's moves with it. An access entry naming no
  // object that survives is dropped, since a lost table's old id is a page
  // that another table may now have, and the entry would grant its rights
  // to that table; so is a navigation pane entry for a table that was lost.
  // One for an object the catalog no longer held (Access leaves them behind
  // when an object is deleted) stays as it was.
  bool remap_object_reference(const std::string& table, std::vector<Value>& row, std::size_t at,
                              std::int32_t recid) {
    auto* id = std::get_if<std::int32_t>(&row[at].data);
    if (id == nullptr) return true;
    if (const auto moved = ids_.id(*id)) {
      *id = *moved;
      return true;
    }
    if (other_object_ids_.count(*id)) return true;
    const bool access_entry = same_name(table, "MSysACEs");
    if (!access_entry && !catalog_table_ids_.count(*id)) return true;
    const std::string entry = access_entry ? "An access entry" : "A navigation pane entry";
    record(errors_, SalvageCode::RowDropped, table,
           entry + " for the object with id " + std::to_string(*id) + ", which did not survive, was dropped", recid);
    return false;
  }

  void write_catalog_and_errors() {
    const TableDef& catalog = db_.catalog;
    const std::size_t id = column_position(catalog, catalog_column::kId);
    const std::size_t type = column_position(catalog, catalog_column::kType);
    const std::size_t name = column_position(catalog, catalog_column::kName);
    std::optional<std::vector<Value>> catalog_own_row;
    std::vector<std::vector<Value>> rows;
    for (std::vector<Value> row : db_.catalog_rows) {
      drop_damaged_properties(row);
      const auto* kind = field<std::int16_t>(row, type);
      if (kind && *kind == type_code(ObjectType::Table)) {
        auto* value = std::get_if<std::int32_t>(&row[id].data);
        if (value == nullptr) continue;
        const auto moved = ids_.id(*value);
        if (!moved) continue;  // its table could not be written; already reported
        *value = *moved;
        const auto* text = field<std::string>(row, name);
        if (*value == static_cast<std::int32_t>(kCatalogPage) && text) catalog_own_row = row;
      }
      rows.push_back(std::move(row));
    }
    sort_by_primary_key(rows);
    for (std::vector<Value>& row : rows) {
      std::vector<Value> values = catalog_columns_->by_number(row);
      add_row(*catalog_, db_.header, "MSysObjects", values, errors_);
    }
    // The error table last among the tables, so that it lists what writing
    // the others refused; a catalog index that cannot take a row's key is
    // dropped, which is known as the rows are added.
    catalog_dropped_indexes_ = record_indexes_dropped(*catalog_, "MSysObjects");
    if (!errors_.empty()) write_error_table(catalog_own_row);
    writer_.finish_table(*catalog_);
  }

  // An object's property blob kept only in part (its long value cut short)
  // no longer decodes, and readers that meet it give up on the whole
  // catalog: the object keeps its default properties instead.
  void drop_damaged_properties(std::vector<Value>& row) {
    const std::size_t at = column_position(db_.catalog, catalog_column::kLvProp);
    const auto* blob = field<std::vector<std::uint8_t>>(row, at);
    if (blob == nullptr) return;
    try {
      decode_properties(db_.header.version, *blob);
    } catch (const Error& e) {
      if (e.code() != ErrorCode::Corrupt) throw;
      const auto* object = field<std::string>(row, column_position(db_.catalog, catalog_column::kName));
      record(errors_, SalvageCode::PropertiesDropped, "MSysObjects",
             "The properties of " + (object ? *object : std::string("an object")) + " do not decode (" + e.what() +
                 "); it keeps its default properties");
      row[at] = Value::null(row[at].type);
    }
  }

  // MSysCompactError, a system table like the catalog itself: its catalog
  // row copies the catalog's own (parent, owner, flags) where that survived.
  void write_error_table(const std::optional<std::vector<Value>>& catalog_own_row) {
    const TableDef& catalog = db_.catalog;
    TableDef def = compact_error_table_def(db_.header.version, db_.header.code_page, db_.header.sort_order);
    TableWriter& table = writer_.begin_table(def);

    std::vector<Value> entry;
    if (catalog_own_row) {
      entry = *catalog_own_row;
      for (const char* cleared : {catalog_column::kLv, catalog_column::kLvProp, catalog_column::kLvModule, catalog_column::kLvExtra}) {
        const std::size_t at = column_position(catalog, cleared);
        if (at < entry.size()) entry[at] = Value::null(catalog.columns[at].type);
      }
    } else {
      for (const ColumnDef& column : catalog.columns) entry.push_back(Value::null(column.type));
      set(entry, catalog_column::kParentId, tables_container());
      set(entry, catalog_column::kFlags, static_cast<std::int32_t>(object_flags::System));
    }
    set(entry, catalog_column::kId, static_cast<std::int32_t>(table.page()));
    set(entry, catalog_column::kName, std::string(kCompactErrorTableName));
    set(entry, catalog_column::kType, type_code(ObjectType::Table));
    const DateTime now{current_date_time()};  // made and updated at one instant
    set(entry, catalog_column::kDateCreate, now);
    set(entry, catalog_column::kDateUpdate, now);
    std::vector<Value> values = catalog_columns_->by_number(entry);
    add_row(*catalog_, db_.header, "MSysObjects", values, errors_);
    record_indexes_dropped(*catalog_, "MSysObjects", catalog_dropped_indexes_);

    for (const CompactErrorEntry& error : errors_) {
      table.add_row(compact_error_row(db_.header, table.columns(), error));
    }
    writer_.finish_table(table);
  }

  template <typename T>
  void set(std::vector<Value>& row, const char* column, T value) {
    const std::size_t at = column_position(db_.catalog, column);
    if (at < row.size()) row[at].data = value;
  }

  std::int32_t tables_container() const {
    const std::size_t parent = column_position(db_.catalog, catalog_column::kParentId);
    const std::size_t type = column_position(db_.catalog, catalog_column::kType);
    for (const auto& row : db_.catalog_rows) {
      const auto* kind = field<std::int16_t>(row, type);
      const auto* value = field<std::int32_t>(row, parent);
      if (kind && value && *kind == type_code(ObjectType::Table)) return *value;
    }
    return 0;
  }

  const Salvage& salvage_;
  const SalvagedDatabase& db_;
  std::vector<CompactErrorEntry>& errors_;
  DatabaseWriter writer_;
  TableWriter* catalog_ = nullptr;
  std::unique_ptr<ColumnOrder> catalog_columns_;
  std::vector<OpenTable> open_;
  TableIdMap ids_;
  std::set<std::int32_t> other_object_ids_;
  std::set<std::int32_t> catalog_table_ids_;  // of every table the source's catalog named, kept or lost
  std::size_t catalog_dropped_indexes_ = 0;  // recorded so far
};

}  // namespace

void write_salvaged_database(const Salvage& salvage, std::vector<CompactErrorEntry>& errors, File& out) {
  SalvageWriter(salvage, errors, out).run();
}

}  // namespace jet
