#include "jet/read/database.h"

#include <algorithm>

#include "jet/format/catalog_definition.h"
#include "jet/format/data_page.h"
#include "jet/format/long_value.h"
#include "jet/format/row.h"

namespace jet {

// ---- Database ---------------------------------------------------------------

std::unique_ptr<Database> Database::open(const std::string& path) {
  return std::unique_ptr<Database>(new Database(PosixFile::open(path, PosixFile::Mode::ReadOnly)));
}

Database::Database(const File& file) : file_(file) { load(); }

Database::Database(std::unique_ptr<File> file) : owned_file_(std::move(file)), file_(*owned_file_) {
  load();
}

void Database::load() {
  std::vector<std::uint8_t> start(std::min<std::uint64_t>(file_.size(), kHeaderBytes));
  file_.read_at(0, start);
  detect_version(start);  // a clear "not a Jet database" before anything else
  header_ = decode_header(start);
  pager_ = std::make_unique<Pager>(file_, header_.version, header_.database_key);
  if (pager_->page_count() <= kCatalogPage) {
    throw Error(ErrorCode::UnrecognisedFormat, Location{std::nullopt, "file", "size"},
                "a Jet database has at least three pages; this file has " +
                    std::to_string(pager_->page_count()));
  }
  Page catalog_page = pager_->page(kCatalogPage);
  if ((*catalog_page)[0] != static_cast<std::uint8_t>(PageType::TableDefinition)) {
    throw Error(ErrorCode::UnrecognisedFormat, Location{kCatalogPage, "page", "page type"},
                "page 2 is not a table definition, so this is no Jet database");
  }
  catalog_def_ = read_table_def(kCatalogPage);
  CatalogObject self;
  self.id = static_cast<std::int32_t>(kCatalogPage);
  self.name = kCatalogName;
  self.type = static_cast<std::int16_t>(ObjectType::Table);
  self.flags = object_flags::System;
  Table catalog_table(*this, self, catalog_def_);
  // Rows come in column-number order; the catalog reads them in the
  // definition's order.
  const std::vector<std::size_t> by_number = catalog_def_.positions_by_number();
  std::vector<CatalogObject> objects;
  std::vector<Value> in_definition_order(by_number.size());
  catalog_table.scan([&](RowPointer, std::vector<Value>& row) {
    for (std::size_t i = 0; i < by_number.size(); ++i) in_definition_order[by_number[i]] = std::move(row[i]);
    objects.push_back(catalog_object_from_row(catalog_def_, in_definition_order));
  });
  catalog_ = Catalog(std::move(objects));
}

TableDef Database::read_table_def(std::uint32_t page) const {
  return jet::read_table_def(header_.version, page, pager_->page_count(), page_source());
}

std::vector<CatalogObject> Database::tables(bool include_system) const {
  std::vector<CatalogObject> out;
  for (const CatalogObject* object : catalog_.tables(include_system)) {
    if (object->is_local_table()) out.push_back(*object);
  }
  return out;
}

Table Database::table(std::string_view name) const {
  const CatalogObject* object = catalog_.find_table(name);
  if (object == nullptr || !object->is_local_table()) {
    throw Error(ErrorCode::NotFound, "no table named '" + std::string(name) + "'");
  }
  return table(*object);
}

Table Database::table(const CatalogObject& object) const {
  return Table(*this, object, read_table_def(object.table_page()));
}

PageSource Database::page_source() const {
  return [this](std::uint32_t n) { return *pager_->page(n); };
}

UsageMap Database::usage_map(RowPointer map) const {
  return read_usage_map(header_.version, map, pager_->page_count(), page_source());
}

std::vector<std::uint8_t> Database::row_at(RowPointer at) const {
  Page page = pager_->page(at.page);
  DataPage header = decode_data_page(*page, header_.version, at.page);
  Bytes row = row_bytes(*page, header, at.row, header_.version, at.page);
  return std::vector<std::uint8_t>(row.begin(), row.end());
}

// ---- Table ------------------------------------------------------------------

Table::Table(const Database& db, CatalogObject object, TableDef def)
    : db_(db), object_(std::move(object)), def_(std::move(def)) {
  for (std::size_t at : def_.positions_by_number()) columns_.push_back(def_.columns[at]);
}

std::vector<std::string> Table::column_names() const {
  std::vector<std::string> names;
  for (const auto& c : columns_) names.push_back(c.name);
  return names;
}

std::vector<std::uint32_t> Table::data_pages() const {
  std::vector<std::uint32_t> pages;
  for (std::uint32_t n : db_.usage_map(def_.owned_pages).pages) {
    if ((*db_.page(n))[0] == static_cast<std::uint8_t>(PageType::Data)) pages.push_back(n);
  }
  return pages;
}

ValueFormat Table::value_format(const ColumnDef& column) const {
  ValueFormat f;
  f.version = def_.version;
  f.code_page = column.code_page != 0 ? column.code_page : db_.header().code_page;
  f.scale = column.scale;
  f.compress_text = column.is_compressed_unicode();
  return f;
}

Value Table::decode_column(const ColumnDef& column, Bytes stored, bool present,
                           std::uint32_t page) const {
  if (column.type == ColumnType::Boolean) return Value{ColumnType::Boolean, present};
  if (!present) return Value::null(column.type);
  if (!column.is_long_value()) {
    return decode_value(column.type, stored, value_format(column), page, column.name);
  }
  LongValueField field = decode_long_value_field(stored, page, column.name);
  std::vector<std::uint8_t> data = read_long_value(
      field, [this](RowPointer at) { return db_.row_at(at); }, page, column.name, db_.max_rows());
  return decode_value(column.type, data, value_format(column), page, column.name);
}

std::vector<Value> Table::decode_row(Bytes row, std::uint32_t page) const {
  RowLayout layout = decode_row_layout(row, def_.version, def_.variable_column_count > 0, page);
  std::vector<Value> values;
  values.reserve(columns_.size());
  for (const auto& column : columns_) {
    ColumnBytes stored = column_bytes(layout, row, column, page);
    values.push_back(decode_column(column, stored.bytes, stored.present, page));
  }
  return values;
}

void Table::scan(const RowVisitor& visit) const {
  Version v = def_.version;
  for (std::uint32_t page_number : data_pages()) {
    Page page = db_.page(page_number);
    DataPage header = decode_data_page(*page, v, page_number);
    for (std::size_t slot = 0; slot < header.slots.size(); ++slot) {
      // Deleted rows include the targets of overflow pointers, which are
      // read through their pointers.
      if (header.slots[slot].deleted()) continue;
      RowPointer at{page_number, static_cast<std::uint8_t>(slot)};
      Bytes row = row_bytes(*page, header, slot, v, page_number);
      std::uint32_t row_page = page_number;
      Page target_page;
      if (header.slots[slot].overflow()) {
        DataPage target_header;
        const MovedRow moved = follow_overflow_row(at, row, [&](RowPointer target) {
          target_page = db_.page(target.page);
          decode_data_page_into(*target_page, v, target.page, target_header);
          return slot_row(*target_page, target_header, target.row, v, target.page);
        });
        row = moved.bytes;
        row_page = moved.at.page;
      }
      std::vector<Value> values = decode_row(row, row_page);
      visit(at, values);
    }
  }
}

std::vector<std::vector<Value>> Table::rows() const {
  std::vector<std::vector<Value>> out;
  scan([&](RowPointer, std::vector<Value>& values) { out.push_back(std::move(values)); });
  return out;
}

}  // namespace jet
