#include "jet/write/database_writer.h"

#include <algorithm>
#include <map>
#include <optional>

#include "jet/base/error.h"
#include "jet/base/text.h"
#include "jet/format/catalog_definition.h"
#include "jet/format/index_row_key.h"
#include "jet/format/long_value.h"
#include "jet/format/row.h"
#include "jet/format/unique_keys.h"
#include "jet/write/data_page_packer.h"
#include "jet/write/database_output.h"
#include "jet/write/index_builder.h"
#include "jet/write/long_value_writer.h"

namespace jet {

namespace {

bool is_autonumber_long(const ColumnDef& column) {
  return column.is_autonumber() && column.type == ColumnType::Long;
}

}  // namespace

struct DatabaseWriter::State {
  State(File& f, Header h, WriterOptions o)
      : file(f), header(std::move(h)), options(o), output(f, header.version, header.database_key) {}

  File& file;
  Header header;
  WriterOptions options;
  DatabaseOutput output;  // the page allocator and output every part shares
  std::vector<std::unique_ptr<TableWriter>> open_tables;
  bool finished = false;
};

struct TableWriter::State {
  explicit State(Version v) : version(v) {}

  Version version;
  std::uint16_t code_page = 1252;
  TableDef def;
  std::vector<std::uint32_t> def_pages;
  std::optional<DataPageStream> rows;  // opened once the definition page is known
  // Per column of def.columns: its long-value writer (Memo and OLE only).
  std::vector<std::unique_ptr<LongValueWriter>> long_values;
  std::map<std::uint16_t, std::size_t> column_by_number;
  // def.columns sorted by number, and where each sits in def.columns.
  std::vector<ColumnDef> columns;
  std::vector<std::size_t> storage_index;
  std::vector<std::unique_ptr<IndexBuilder>> indexes;
  std::unique_ptr<UniqueKeys> unique_keys;
  std::string name;  // for messages; empty: the table is named by its page
  std::uint64_t row_count = 0;
  std::int64_t last_autonumber = 0;  // the last AutoNumber value handed out or given

  ValueFormat value_format(const ColumnDef& column) const {
    ValueFormat format;
    format.version = version;
    format.code_page = code_page;
    format.scale = column.scale;
    format.compress_text = column.is_compressed_unicode();
    return format;
  }

  std::string describe() const { return name.empty() ? "table " + std::to_string(def.page) : "table " + name; }
  std::string describe_index(std::size_t real_index) const;
  bool is_primary_key(std::size_t real_index) const;

  std::vector<StoredColumn> store_values(std::span<const Value> values);
  // The row's key in each real index; none where an IgnoreNulls index leaves
  // the row out. Raises InvalidArgument, before anything is written, for a
  // null in a primary key or Required index and for a key a unique index
  // already holds.
  std::vector<std::optional<std::vector<std::uint8_t>>> index_keys(std::span<const Value> values);
  void drop_index(std::size_t real_index, const Error& why);
  void remove_dropped_indexes();
  void add_index_entries(const std::vector<std::optional<std::vector<std::uint8_t>>>& keys, RowPointer at);
  RowPointer put_row(std::vector<std::uint8_t> row);

  bool drop_unencodable_indexes = false;
  std::vector<TableWriter::DroppedIndex> dropped_indexes;  // their builders are gone
};

// Encodes each value for the row; long values are placed here, inline only
// while the row keeps room for them.
std::vector<StoredColumn> TableWriter::State::store_values(std::span<const Value> values) {
  std::vector<StoredColumn> stored(def.columns.size());
  std::vector<std::vector<std::uint8_t>> long_data(def.columns.size());
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef& column = def.columns[i];
    const Value& value = values[i];
    if (value.is_null()) continue;
    if (value.type != column.type) {
      throw Error(ErrorCode::InvalidArgument, "column " + column.name + " of table " + std::to_string(def.page) +
                                                  " was given a value of another type");
    }
    if (column.type == ColumnType::Boolean) {
      stored[i].present = std::get<bool>(value.data);
      continue;
    }
    stored[i].present = true;
    if (column.is_long_value()) {
      long_data[i] = encode_value(value, value_format(column));
      stored[i].bytes.assign(kLongValueFieldSize, 0);  // a stand-in until placed
    } else {
      stored[i].bytes = encode_value(value, value_format(column));
      // Jet 4 text is measured in UTF-16 units whether or not it is compressed.
      const std::size_t size = column.type == ColumnType::Text && is_jet4(version)
                                   ? utf8_to_utf16le(std::get<std::string>(value.data)).size()
                                   : stored[i].bytes.size();
      if (column.is_variable_length() && column.length != 0 && size > column.length) {
        throw Error(ErrorCode::InvalidArgument, "the value of column " + column.name + " takes " +
                                                    std::to_string(size) + " bytes, more than its " +
                                                    std::to_string(column.length));
      }
    }
  }
  // What room the row leaves for inline long values.
  const std::size_t limit = DataPagePacker::max_row_size(version);
  std::size_t size = encode_row(def, stored).size();
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    if (!long_values[i] || !stored[i].present) continue;
    const std::vector<std::uint8_t>& data = long_data[i];
    const bool fits_inline = size <= limit && data.size() <= limit - size;
    stored[i].bytes = long_values[i]->place(data, fits_inline);
    if (stored[i].bytes.size() > kLongValueFieldSize) size += data.size();
  }
  return stored;
}

std::string TableWriter::State::describe_index(std::size_t real_index) const {
  std::string names;
  for (const LogicalIndexDef& logical : def.logical_indexes) {
    if (logical.real_index != real_index) continue;
    names += (names.empty() ? "" : ", ") + logical.name;
  }
  return names.empty() ? "index " + std::to_string(real_index) : "index " + names;
}

bool TableWriter::State::is_primary_key(std::size_t real_index) const {
  return std::any_of(def.logical_indexes.begin(), def.logical_indexes.end(), [&](const LogicalIndexDef& logical) {
    return logical.real_index == real_index && logical.is_primary_key();
  });
}

std::vector<std::optional<std::vector<std::uint8_t>>> TableWriter::State::index_keys(std::span<const Value> values) {
  auto value_of = [&](const ColumnDef& column) -> Value {
    auto found = column_by_number.find(column.number);
    if (found == column_by_number.end()) return Value::null(column.type);
    return values[found->second];
  };
  std::vector<std::optional<std::vector<std::uint8_t>>> keys(def.real_indexes.size());
  for (std::size_t i = 0; i < def.real_indexes.size(); ++i) {
    if (!indexes[i]) continue;  // dropped
    const RealIndexDef& index = def.real_indexes[i];
    std::size_t nulls = 0;
    for (const IndexColumn& c : index.columns) {
      auto found = column_by_number.find(c.column_number);
      if (found == column_by_number.end() || values[found->second].is_null()) ++nulls;
    }
    const bool all_null = nulls == index.columns.size();
    if (index.ignores_nulls() && all_null) continue;
    if (nulls > 0 && (index.is_required() || is_primary_key(i))) {
      throw Error(ErrorCode::InvalidArgument,
                  describe() + ": a row with a null key column was refused by " + describe_index(i));
    }
    try {
      keys[i] = index_key_of_row(version, def, index, value_of);
    } catch (const Error& e) {
      if (e.code() != ErrorCode::Unsupported || !drop_unencodable_indexes) throw;
      drop_index(i, e);
      continue;
    }
    if (index.is_unique() && !all_null && unique_keys->contains(i, *keys[i])) {
      throw Error(ErrorCode::InvalidArgument, describe() + ": a row with the key " + hex_text(*keys[i]) +
                                                  " was refused by the unique " + describe_index(i) +
                                                  ", which holds that key already");
    }
  }
  return keys;
}

void TableWriter::State::drop_index(std::size_t real_index, const Error& why) {
  indexes[real_index].reset();
  dropped_indexes.push_back(TableWriter::DroppedIndex{real_index, why.what()});
}

void TableWriter::State::remove_dropped_indexes() {
  for (std::size_t i = indexes.size(); i-- > 0;) {
    if (indexes[i]) continue;
    indexes.erase(indexes.begin() + static_cast<std::ptrdiff_t>(i));
    drop_real_index(def, i);
  }
}

void TableWriter::State::add_index_entries(const std::vector<std::optional<std::vector<std::uint8_t>>>& keys,
                                           RowPointer at) {
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (!keys[i] || !indexes[i]) continue;
    if (def.real_indexes[i].is_unique()) unique_keys->add(i, *keys[i]);
    indexes[i]->add(*keys[i], at);
  }
}

RowPointer TableWriter::State::put_row(std::vector<std::uint8_t> row) {
  if (row.size() > DataPagePacker::max_row_size(version)) {
    throw Error(ErrorCode::LimitExceeded, "a row of table " + std::to_string(def.page) + " needs " +
                                              std::to_string(row.size()) + " bytes, more than a page holds");
  }
  return rows->add(std::move(row));
}

TableWriter::TableWriter(std::unique_ptr<State> state) : state_(std::move(state)) {}
TableWriter::~TableWriter() = default;

std::uint32_t TableWriter::page() const { return state_->def.page; }
const TableDef& TableWriter::definition() const { return state_->def; }
const std::vector<ColumnDef>& TableWriter::columns() const { return state_->columns; }
std::uint64_t TableWriter::row_count() const { return state_->row_count; }
const std::vector<TableWriter::DroppedIndex>& TableWriter::indexes_dropped() const { return state_->dropped_indexes; }

void TableWriter::set_related_table_page(std::size_t logical_index, std::uint32_t page) {
  state_->def.logical_indexes.at(logical_index).related_table_page = page;
}

RowPointer TableWriter::add_row(std::span<const Value> by_number) {
  State& s = *state_;
  if (by_number.size() != s.def.columns.size()) {
    throw Error(ErrorCode::InvalidArgument, "a row of table " + std::to_string(s.def.page) + " needs " +
                                                std::to_string(s.def.columns.size()) + " values, not " +
                                                std::to_string(by_number.size()));
  }
  std::vector<Value> values(by_number.size());
  for (std::size_t i = 0; i < by_number.size(); ++i) values[s.storage_index[i]] = by_number[i];
  if (s.row_count >= 0xFFFFFFFFu) throw Error(ErrorCode::LimitExceeded, "a table holds at most 2^32 - 1 rows");

  // AutoNumber columns: number a null, follow a given value.
  for (std::size_t i = 0; i < s.def.columns.size(); ++i) {
    if (!is_autonumber_long(s.def.columns[i])) continue;
    if (values[i].is_null()) {
      if (s.last_autonumber >= 0x7FFFFFFF) throw Error(ErrorCode::LimitExceeded, "the AutoNumber is exhausted");
      values[i] = Value{ColumnType::Long, static_cast<std::int32_t>(++s.last_autonumber)};
    } else if (const auto* given = std::get_if<std::int32_t>(&values[i].data)) {
      s.last_autonumber = std::max<std::int64_t>(s.last_autonumber, *given);
    }
  }
  const auto keys = s.index_keys(values);
  std::vector<StoredColumn> stored = s.store_values(values);
  RowPointer at = s.put_row(encode_row(s.def, stored));
  s.add_index_entries(keys, at);
  ++s.row_count;
  return at;
}

DatabaseWriter::DatabaseWriter(File& file, Header header, WriterOptions options)
    : state_(std::make_unique<State>(file, std::move(header), options)) {
  if (file.size() != 0) file.truncate(0);
}

DatabaseWriter::~DatabaseWriter() = default;

Version DatabaseWriter::version() const { return state_->header.version; }
const Header& DatabaseWriter::header() const { return state_->header; }
std::uint32_t DatabaseWriter::page_count() const { return state_->output.page_count(); }

TableWriter& DatabaseWriter::begin_table(TableDef def, std::uint32_t first_page, std::string name) {
  State& s = *state_;
  if (s.finished) throw Error(ErrorCode::InvalidArgument, "the database is already finished");
  const Version v = s.header.version;
  def.version = v;

  // One long-value map entry per Memo/OLE column; the pointers come later.
  std::vector<LongValueColumnMaps> lv_maps;
  for (const ColumnDef& column : def.columns) {
    if (column.is_long_value()) lv_maps.push_back(LongValueColumnMaps{column.number, {}, {}});
  }
  def.long_value_maps = std::move(lv_maps);

  auto state = std::make_unique<TableWriter::State>(v);
  state->code_page = s.header.code_page;
  state->name = std::move(name);
  if (first_page != 0 && first_page != kCatalogPage) {
    throw Error(ErrorCode::InvalidArgument, "only the catalog chooses its page (2), not page " + std::to_string(first_page));
  }
  state->def_pages = s.output.reserve_definition(def, first_page == kCatalogPage);
  first_page = state->def_pages.front();
  def.page = first_page;
  state->rows.emplace(v, first_page, s.output.pages());

  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef& column = def.columns[i];
    if (!state->column_by_number.emplace(column.number, i).second) {
      throw Error(ErrorCode::InvalidArgument, "two columns share number " + std::to_string(column.number));
    }
    state->long_values.push_back(column.is_long_value() ? std::make_unique<LongValueWriter>(v, s.output.pages()) : nullptr);
  }
  state->storage_index = def.positions_by_number();
  for (std::size_t i : state->storage_index) state->columns.push_back(def.columns[i]);
  state->last_autonumber = def.last_autonumber;

  const std::size_t budget = s.options.index_memory_budget / std::max<std::size_t>(1, def.real_indexes.size());
  state->def = std::move(def);
  const TableDef& stored = state->def;
  for (const RealIndexDef& index : stored.real_indexes) {
    index_key_columns(v, stored, index);  // refuses an index over a missing column now, not at the first row
    IndexBuildOptions options{v, first_page, budget};
    options.unique = index.is_unique();
    if (options.unique) {
      options.null_key = index_key_of_row(v, stored, index, [](const ColumnDef& c) { return Value::null(c.type); });
    }
    state->indexes.push_back(std::make_unique<IndexBuilder>(options));
  }
  state->drop_unencodable_indexes = s.options.drop_unencodable_indexes;
  state->unique_keys = std::make_unique<UniqueKeys>(stored.real_indexes.size(), s.options.index_memory_budget);

  s.open_tables.push_back(std::unique_ptr<TableWriter>(new TableWriter(std::move(state))));
  return *s.open_tables.back();
}

TableDef DatabaseWriter::finish_table(TableWriter& table) {
  State& s = *state_;
  auto it = std::find_if(s.open_tables.begin(), s.open_tables.end(),
                         [&](const auto& open) { return open.get() == &table; });
  if (it == s.open_tables.end()) throw Error(ErrorCode::InvalidArgument, "the table is not open in this writer");
  TableWriter::State& t = *table.state_;

  t.rows->finish();
  for (auto& lv : t.long_values) {
    if (lv) lv->finish();
  }

  // A duplicate the unique-key sets no longer caught (past their budget)
  // shows when the builder sorts: the table cannot be finished then.
  t.remove_dropped_indexes();
  std::vector<IndexBuildResult> built;
  for (std::size_t i = 0; i < t.indexes.size(); ++i) {
    try {
      built.push_back(t.indexes[i]->finish(s.output.pages()));
    } catch (const Error& e) {
      throw Error(e.code(), t.describe() + ", " + t.describe_index(i) + ": " + e.what());
    }
  }
  TableDef& def = t.def;
  def.row_count = static_cast<std::uint32_t>(t.row_count);
  def.last_autonumber = static_cast<std::uint32_t>(t.last_autonumber);
  s.output.finish_table(def, t.def_pages, TableContent{*t.rows, std::move(built), [&](std::uint16_t column) {
                                                         return t.long_values[t.column_by_number.at(column)].get();
                                                       }});

  TableDef result = def;
  s.open_tables.erase(it);
  return result;
}

void DatabaseWriter::finish() {
  State& s = *state_;
  if (s.finished) throw Error(ErrorCode::InvalidArgument, "the database is already finished");
  if (!s.open_tables.empty()) {
    throw Error(ErrorCode::InvalidArgument,
                std::to_string(s.open_tables.size()) + " table(s) are still open; finish them first");
  }
  s.output.finish(encode_header(s.header));
  s.file.sync();
  s.finished = true;
}

}  // namespace jet
