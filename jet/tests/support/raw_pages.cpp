#include "support/raw_pages.h"

#include <algorithm>
#include <set>

#include "jet/base/file.h"
#include "jet/format/data_page.h"
#include "jet/format/long_value.h"
#include "jet/format/row.h"
#include "jet/format/usage_map.h"

namespace jet::testing {

std::vector<std::uint8_t> RawDatabase::page(std::uint32_t number) const {
  const std::size_t size = page_size(version);
  if (number >= page_count()) throw Error(ErrorCode::Io, "page " + std::to_string(number) + " past the end");
  return std::vector<std::uint8_t>(bytes.begin() + number * size, bytes.begin() + (number + 1) * size);
}

PageSource RawDatabase::source() const {
  return [this](std::uint32_t number) { return page(number); };
}

std::vector<TableDef> RawDatabase::table_defs() const {
  std::set<std::uint32_t> continuations;
  for (std::uint32_t p = 1; p < page_count(); ++p) {
    const auto bytes = page(p);
    if (bytes[0] == 0x02 && load_u32(&bytes[4]) != 0) continuations.insert(load_u32(&bytes[4]));
  }
  std::vector<TableDef> defs;
  for (std::uint32_t p = 1; p < page_count(); ++p) {
    if (page(p)[0] != 0x02 || continuations.count(p)) continue;
    try {
      TableDef def = read_table_def(version, p, page_count(), source());
      if (def.raw_type == 0x4E || def.raw_type == 0x53) defs.push_back(std::move(def));
    } catch (const Error&) {
      // A stale page of a dropped table's definition.
    }
  }
  return defs;
}

std::vector<std::vector<Value>> RawDatabase::catalog_rows() const {
  const TableDef def = read_table_def(version, 2, page_count(), source());
  const UsageMap owned = read_usage_map(version, def.owned_pages, page_count(), source());
  const auto fetch = [this](RowPointer pointer) {
    const auto bytes = page(pointer.page);
    const DataPage header = decode_data_page(bytes, version, pointer.page);
    const Bytes row = row_bytes(bytes, header, pointer.row, version, pointer.page);
    return std::vector<std::uint8_t>(row.begin(), row.end());
  };
  std::vector<std::vector<Value>> rows;
  for (std::uint32_t number : owned.pages) {
    const auto bytes = page(number);
    const DataPage header = decode_data_page(bytes, version, number);
    for (std::size_t i = 0; i < header.slots.size(); ++i) {
      if (header.slots[i].deleted() || header.slots[i].overflow()) continue;
      const Bytes row = row_bytes(bytes, header, i, version, number);
      const RowLayout layout = decode_row_layout(row, version, def.variable_column_count > 0, number);
      std::vector<Value> values;
      for (const ColumnDef& column : def.columns) {
        const ColumnBytes stored = column_bytes(layout, row, column, number);
        if (!stored.present) {
          values.push_back(Value::null(column.type));
          continue;
        }
        const ValueFormat format{version, 1252, column.scale, column.is_compressed_unicode()};
        if (column.is_long_value()) {
          const LongValueField field = decode_long_value_field(stored.bytes, number, column.name);
          const auto data = read_long_value(field, fetch, number, column.name, page_count());
          values.push_back(decode_value(column.type, data, format, number));
        } else {
          values.push_back(decode_value(column.type, stored.bytes, format, number));
        }
      }
      rows.push_back(std::move(values));
    }
  }
  return rows;
}

std::filesystem::path corpus_dir() {
  std::filesystem::path dir = JET_CORPUS_DIR;
  return std::filesystem::is_directory(dir) ? dir : std::filesystem::path();
}

std::vector<RawDatabase> corpus_databases() {
  std::vector<RawDatabase> out;
  const std::filesystem::path dir = corpus_dir();
  if (dir.empty()) return out;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    if (entry.path().extension() != ".mdb") continue;
    RawDatabase db;
    db.path = entry.path().string();
    db.name = std::filesystem::relative(entry.path(), dir).generic_string();
    db.bytes = read_all(*PosixFile::open(db.path, PosixFile::Mode::ReadOnly));
    db.version = db.bytes.size() > 0x14 && db.bytes[0x14] == 0 ? Version::Jet3 : Version::Jet4;
    out.push_back(std::move(db));
  }
  std::sort(out.begin(), out.end(), [](const RawDatabase& a, const RawDatabase& b) { return a.name < b.name; });
  return out;
}

}  // namespace jet::testing
