#include "support/intact_rows.h"

#include <algorithm>
#include <functional>

#include "jet/format/data_page.h"
#include "jet/format/long_value.h"
#include "jet/format/row.h"
#include "jet/read/database.h"

namespace jet::testing {

namespace {

constexpr std::uint32_t kCatalogPage = 2;

class Census {
 public:
  Census(const Image& image, const std::vector<ByteRange>& damaged)
      : file_(image), db_(file_), damaged_(damaged), page_size_(jet::page_size(db_.version())) {}

  RowCensus take() {
    std::set<std::uint32_t> catalogued_intact = intact_catalog_entries();
    RowCensus census;
    for (const CatalogObject& object : db_.tables(true)) {
      std::uint32_t page = object.table_page();
      if (page == kCatalogPage) continue;
      Table table = db_.table(object);
      census.names[page] = table.name();
      bool table_whole = catalogued_intact.count(page) != 0 && !pages_hit(table.def().pages);
      auto& all = census.all[page];
      auto& intact = census.intact[page];
      for_each_stored_row(table, [&](Bytes stored, std::uint32_t stored_page, bool row_hit) {
        std::vector<Value> values = table.decode_row(stored, stored_page);
        RowCells text = row_cells(table.columns(), values);
        if (table_whole && !row_hit && !long_values_hit(table.def(), stored, stored_page)) intact.insert(text);
        all.insert(std::move(text));
      });
    }
    return census;
  }

 private:
  using StoredRowVisitor = std::function<void(Bytes stored, std::uint32_t stored_page, bool hit)>;

  bool hit(std::size_t begin, std::size_t end) const {
    return std::any_of(damaged_.begin(), damaged_.end(),
                       [&](const ByteRange& r) { return r.begin < end && begin < r.end; });
  }
  bool hit_in_page(std::uint32_t page, std::size_t begin, std::size_t end) const {
    std::size_t base = static_cast<std::size_t>(page) * page_size_;
    return hit(base + begin, base + end);
  }
  bool pages_hit(const std::vector<std::uint32_t>& pages) const {
    return std::any_of(pages.begin(), pages.end(), [&](std::uint32_t p) { return hit_in_page(p, 0, page_size_); });
  }

  // The fields of a data page a reader must trust to find any row on it:
  // type, owner and row count.
  bool data_page_fields_hit(std::uint32_t page) const {
    std::size_t count_at = db_.version() == Version::Jet3 ? 8 : 12;
    return hit_in_page(page, 0, 2) || hit_in_page(page, 4, 8) || hit_in_page(page, count_at, count_at + 2);
  }

  // The row's slot entry and the previous one (where the row ends), its
  // bytes and its page's fields; the row's bytes are returned through
  // `bytes`.
  bool stored_row_hit(RowPointer at, Bytes& bytes) {
    Page page = db_.page(at.page);
    DataPage header = decode_data_page(*page, db_.version(), at.page);
    bytes = row_bytes(*page, header, at.row, db_.version(), at.page);
    std::size_t start = static_cast<std::size_t>(bytes.data() - page->data());
    std::size_t slot = data_page_header_size(db_.version()) + 2 * std::size_t{at.row};
    pages_.push_back(page);  // keeps `bytes` valid
    // The previous slot's start is where this row ends.
    std::size_t bounding_slot = at.row > 0 ? slot - 2 : slot;
    return data_page_fields_hit(at.page) || hit_in_page(at.page, bounding_slot, slot + 2) ||
           hit_in_page(at.page, start, start + bytes.size());
  }

  // Every live row of the table with whether its own storage is damaged
  // (long values aside); overflow rows are followed to their target.
  void for_each_stored_row(const Table& table, const StoredRowVisitor& visit) {
    for (std::uint32_t number : table.data_pages()) {
      Page page = db_.page(number);
      DataPage header = decode_data_page(*page, db_.version(), number);
      for (std::size_t row = 0; row < header.slots.size(); ++row) {
        const RowSlot& slot = header.slots[row];
        if (slot.deleted()) continue;
        RowPointer at{number, static_cast<std::uint8_t>(row)};
        Bytes bytes;
        bool damaged = stored_row_hit(at, bytes);
        if (slot.overflow()) {
          at = decode_overflow_pointer(bytes, number);
          damaged = stored_row_hit(at, bytes) || damaged;
        }
        visit(bytes, at.page, damaged);
      }
    }
  }

  // Whether any long-value row that a value of the row lives in is damaged.
  bool long_values_hit(const TableDef& def, Bytes stored, std::uint32_t page) {
    bool variable = std::any_of(def.columns.begin(), def.columns.end(),
                                [](const ColumnDef& c) { return c.is_variable_length(); });
    RowLayout layout = decode_row_layout(stored, def.version, variable, page);
    for (const ColumnDef& column : def.columns) {
      if (!column.is_long_value()) continue;
      ColumnBytes field_bytes = column_bytes(layout, stored, column, page);
      if (!field_bytes.present) continue;
      LongValueField field = decode_long_value_field(field_bytes.bytes, page, column.name);
      if (field.kind == LongValueKind::Inline || field.length == 0) continue;
      std::size_t steps = 0;
      for (RowPointer at = field.first; !at.is_null() && steps <= db_.max_rows(); ++steps) {
        Bytes bytes;
        if (stored_row_hit(at, bytes)) return true;
        if (field.kind == LongValueKind::SingleRow) break;
        at = decode_chain_row(bytes, at.page).next;
      }
    }
    return false;
  }

  // The definition pages of the tables whose catalog row is intact.
  std::set<std::uint32_t> intact_catalog_entries() {
    std::set<std::uint32_t> pages;
    Table catalog = db_.table("MSysObjects");
    const auto& columns = catalog.columns();
    auto id_at = std::find_if(columns.begin(), columns.end(), [](const ColumnDef& c) { return c.name == "Id"; });
    std::size_t id_column = static_cast<std::size_t>(id_at - columns.begin());
    for_each_stored_row(catalog, [&](Bytes stored, std::uint32_t stored_page, bool row_hit) {
      if (row_hit) return;
      std::vector<Value> values = catalog.decode_row(stored, stored_page);
      if (const auto* id = std::get_if<std::int32_t>(&values.at(id_column).data)) {
        pages.insert(static_cast<std::uint32_t>(*id) & 0x00FFFFFF);
      }
    });
    return pages;
  }

  MemoryFile file_;
  Database db_;
  const std::vector<ByteRange>& damaged_;
  std::size_t page_size_;
  std::vector<Page> pages_;
};

}  // namespace

RowCensus take_census(const Image& original, const std::vector<ByteRange>& damaged) {
  return Census(original, damaged).take();
}

RowCells row_cells(const std::vector<ColumnDef>& columns, const std::vector<Value>& values) {
  std::map<std::uint16_t, std::string> by_number;
  for (std::size_t i = 0; i < columns.size() && i < values.size(); ++i) {
    by_number[columns[i].number] = columns[i].name + "=" + canonical_text(values[i]);
  }
  RowCells cells;
  for (auto& [number, cell] : by_number) cells.push_back(std::move(cell));
  return cells;
}

std::string row_text(const RowCells& cells) {
  std::string text;
  for (const auto& cell : cells) text += cell + "|";
  return text;
}

}  // namespace jet::testing
