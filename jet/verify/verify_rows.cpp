// Row checks: the data pages a table's usage map names, the row offsets on
// each, every row decoded against the table definition, overflow rows and
// long values, and the stored row count.
#include <algorithm>

#include "jet/format/data_page.h"
#include "jet/format/long_value.h"
#include "jet/format/row.h"
#include "jet/verify/verify_context.h"

namespace jet {

namespace {

constexpr const char* kDataPage = "data page";
constexpr const char* kLongValue = "long value";

std::string row_label(std::size_t row) { return "row " + std::to_string(row); }

std::string page_kind(std::uint8_t type) {
  switch (type) {
    case 0x00: return "a blank or header page";
    case 0x01: return "a data page";
    case 0x02: return "a table definition";
    case 0x03: return "an index page";
    case 0x04: return "an index leaf";
    case 0x05: return "a usage map page";
    case 0x08: return "a discarded table definition";
    case 0x09: return "a discarded long-value page";
    default: return "a page of unknown type " + std::to_string(type);
  }
}

// Walks the rows of one table.
class RowWalker {
 public:
  RowWalker(VerifyContext& context, VerifiedTable& table, const RowVisitor& visitor)
      : context_(context),
        table_(table),
        def_(*table.def),
        visitor_(visitor),
        row_keys_(StoredRowSource{context.version(), context.header().code_page,
                                  [this](RowPointer pointer) { return long_value_row(pointer, "index key"); },
                                  max_chain_rows()},
                  def_) {
    table_.index_keys.assign(def_.real_indexes.size(), ExpectedIndexKeys{});
  }

  void walk_page(std::uint32_t page_number);

 private:
  // Decodes the data page's header into page_header_; false (with a
  // finding) when it does not decode.
  bool decode_page_header(std::uint32_t page_number, Bytes page);
  // Decodes one row's values; false (with a finding) when it does not decode.
  // A row that decodes adds its keys to the table's when `home` names the
  // slot its index entries point at.
  bool decode_row(Bytes row, std::uint32_t page_number, std::size_t row_number,
                  std::optional<RowPointer> home);
  // Follows an overflow row to the row it moved to.
  bool follow_overflow(Bytes slot_row, std::uint32_t page_number, std::size_t row_number,
                       std::optional<RowPointer> home);
  // One row of a long-value page, checked and its page claimed; the view
  // stays valid until the next call.
  Bytes long_value_row(RowPointer pointer, const std::string& column);
  // Claims a long-value page for the table, once: a page many rows reach
  // that belongs to someone else is reported once, not once a row.
  void claim_long_value_page(std::uint32_t page_number);
  Value decode_column(const RowLayout& layout, Bytes row, const ColumnDef& column,
                      std::uint32_t page_number);
  // Everything decode_column checks, without building the value: what the
  // walk does when no visitor wants the values.
  void check_column(const RowLayout& layout, Bytes row, const ColumnDef& column,
                    std::uint32_t page_number);
  ValueFormat format_of(const ColumnDef& column) const {
    return ValueFormat{context_.version(), context_.header().code_page, column.scale,
                       column.is_compressed_unicode()};
  }
  // Bounds a long-value chain: every row of it sits on some page, so more
  // steps than rows the file can hold means a loop the reader did not catch.
  std::size_t max_chain_rows() const {
    return static_cast<std::size_t>(context_.page_count()) * kMaxRowsPerPage;
  }

  VerifyContext& context_;
  VerifiedTable& table_;
  const TableDef& def_;
  const RowVisitor& visitor_;
  // A bit a page: the long-value pages the table claimed. Sized on the
  // first claim, so tables without long values allocate nothing.
  std::vector<bool> long_value_pages_;
  DataPage page_header_;  // the data page being walked; its memory serves every page
  RowLayout layout_;  // the row being checked; its memory serves every row
  StoredRowKeys row_keys_;  // the rows' keys in the table's indexes
  // The long-value page a row was last taken from: a value's rows, and the
  // values of neighbouring rows, mostly share one. Held while `page` is set;
  // the header's memory serves every page.
  struct LongValuePage {
    std::uint32_t number = 0;
    Page page;
    DataPage header;
  };
  LongValuePage long_value_page_;
};

bool RowWalker::decode_page_header(std::uint32_t page_number, Bytes page) {
  try {
    decode_data_page_into(page, context_.version(), page_number, page_header_);
    return true;
  } catch (const Error& error) {
    if (!is_damage(error)) throw;
    context_.findings().add_error(error);
    return false;
  }
}

void RowWalker::walk_page(std::uint32_t page_number) {
  Page page = context_.page(page_number, kDataPage, "page");
  if (!page) return;
  std::uint8_t type = (*page)[0];
  if (type != static_cast<std::uint8_t>(PageType::Data)) {
    context_.add(Severity::Error, page_number, kDataPage, "page type",
                 "the table's usage map lists " + page_kind(type) + " as one of its data pages");
    return;
  }
  if (!decode_page_header(page_number, *page)) return;
  const DataPage& header = page_header_;
  if (header.holds_long_values()) {
    // Jet 3 keeps long-value pages in the table's own map.
    claim_long_value_page(page_number);
    return;
  }
  context_.ledger().claim(page_number, {PageRole::Data, def_.page}, context_.findings());
  if (header.owner != def_.page) {
    context_.add(Severity::Error, page_number, kDataPage, "owner",
                 "the page names the table defined on page " + std::to_string(header.owner) +
                     ", but the usage map of the table on page " + std::to_string(def_.page) +
                     " lists it");
  }

  // Empty only if the usage map listed the page twice or out of order,
  // which its decoder rules out.
  std::span<RowState> states = table_.rows.add_page(page_number, header.slots.size());
  const bool recorded = states.size() == header.slots.size();
  for (std::size_t row = 0; row < header.slots.size(); ++row) {
    const RowSlot& slot = header.slots[row];
    if (slot.deleted()) {
      if (recorded) states[row] = RowState::Deleted;
      continue;
    }
    Bytes bytes;
    try {
      bytes = row_bytes(*page, header, row, context_.version(), page_number);
    } catch (const Error& error) {
      if (!is_damage(error)) throw;
      context_.findings().add_error(error);
      continue;
    }
    // A slot whose state was not recorded cannot be named by an entry.
    const std::optional<RowPointer> home =
        recorded ? std::optional(RowPointer{page_number, static_cast<std::uint8_t>(row)}) : std::nullopt;
    bool good = slot.overflow() ? follow_overflow(bytes, page_number, row, home)
                                : decode_row(bytes, page_number, row, home);
    if (good) {
      if (recorded) states[row] = slot.overflow() ? RowState::Moved : RowState::Live;
      ++table_.live_rows;
    }
  }
}

bool RowWalker::follow_overflow(Bytes slot_row, std::uint32_t page_number, std::size_t row_number,
                                std::optional<RowPointer> home) {
  const std::string field = row_label(row_number) + " overflow pointer";
  const auto refuse = [&](RowPointer target, const std::string& what) {
    throw_corrupt(page_number, kDataPage, field,
                  "leads to " + row_label(target.row) + " of page " + std::to_string(target.page) + ", " + what);
  };
  Page page;
  DataPage header;
  try {
    const RowPointer from{page_number, static_cast<std::uint8_t>(row_number)};
    const MovedRow moved = follow_overflow_row(from, slot_row, [&](RowPointer target) {
      page = context_.pager().page(target.page);
      if ((*page)[0] != static_cast<std::uint8_t>(PageType::Data)) refuse(target, page_kind((*page)[0]));
      decode_data_page_into(*page, context_.version(), target.page, header);
      if (header.owner != def_.page) refuse(target, "a page of another table");
      if (target.row >= header.slots.size()) refuse(target, "which does not exist");
      return jet::slot_row(*page, header, target.row, context_.version(), target.page);
    });
    if (moved.hops > 1) {
      // Access points a row's home slot straight at where the row lives.
      context_.add(Severity::Error, page_number, kDataPage, field,
                   "leads through " + std::to_string(moved.hops) + " overflow pointers to the row");
      return false;
    }
    return decode_row(moved.bytes, moved.at.page, moved.at.row, home);
  } catch (const Error& error) {
    if (!is_damage(error)) throw;
    context_.findings().add_error(error);
    return false;
  }
}

Bytes RowWalker::long_value_row(RowPointer pointer, const std::string& column) {
  const auto field = [&column] { return column + " long-value pointer"; };
  LongValuePage& held = long_value_page_;
  if (!held.page || held.number != pointer.page) {
    held.page.reset();
    if (pointer.page == 0 || pointer.page >= context_.page_count()) {
      throw_corrupt(pointer.page, kLongValue, field(),
                    "points at page " + std::to_string(pointer.page) + ", outside the file");
    }
    Page page = context_.pager().page(pointer.page);
    decode_data_page_into(*page, context_.version(), pointer.page, held.header);
    if ((*page)[0] != static_cast<std::uint8_t>(PageType::Data) || !held.header.holds_long_values()) {
      throw_corrupt(pointer.page, kLongValue, field(),
                    "points at " + page_kind((*page)[0]) + " that holds no long values");
    }
    held.number = pointer.page;
    held.page = std::move(page);
  }
  const DataPage& header = held.header;
  if (pointer.row >= header.slots.size() || header.slots[pointer.row].deleted()) {
    throw_corrupt(pointer.page, kLongValue, field(),
                  "points at row " + std::to_string(pointer.row) + ", which " +
                      (pointer.row >= header.slots.size() ? "does not exist" : "is deleted"));
  }
  claim_long_value_page(pointer.page);
  return row_bytes(*held.page, header, pointer.row, context_.version(), pointer.page);
}

void RowWalker::claim_long_value_page(std::uint32_t page_number) {
  if (long_value_pages_.empty()) long_value_pages_.resize(context_.page_count());
  if (page_number < long_value_pages_.size()) {
    if (long_value_pages_[page_number]) return;
    long_value_pages_[page_number] = true;
  }
  context_.ledger().claim(page_number, {PageRole::LongValue, def_.page}, context_.findings());
}

Value RowWalker::decode_column(const RowLayout& layout, Bytes row, const ColumnDef& column,
                               std::uint32_t page_number) {
  ColumnBytes stored = column_bytes(layout, row, column, page_number);
  if (column.type == ColumnType::Boolean) return Value{column.type, stored.present};
  if (!stored.present) return Value::null(column.type);
  ValueFormat format = format_of(column);
  if (!column.is_long_value()) {
    return decode_value(column.type, stored.bytes, format, page_number, column.name);
  }
  LongValueField field = decode_long_value_field(stored.bytes, page_number, column.name);
  std::vector<std::uint8_t> data;
  read_long_value_into(
      field, [&](RowPointer pointer) { return long_value_row(pointer, column.name); }, page_number,
      column.name, max_chain_rows(), data);
  return decode_value(column.type, data, format, page_number, column.name);
}

void RowWalker::check_column(const RowLayout& layout, Bytes row, const ColumnDef& column,
                             std::uint32_t page_number) {
  ColumnBytes stored = column_bytes(layout, row, column, page_number);
  if (column.type == ColumnType::Boolean || !stored.present) return;
  std::size_t size = stored.bytes.size();
  if (column.is_long_value()) {
    LongValueField field = decode_long_value_field(stored.bytes, page_number, column.name);
    size = 0;
    walk_long_value(
        field, [&](RowPointer pointer) { return long_value_row(pointer, column.name); },
        page_number, column.name, max_chain_rows(), [&](Bytes piece) { size += piece.size(); });
  }
  check_stored_value(column.type, size, format_of(column), page_number, column.name);
}

bool RowWalker::decode_row(Bytes row, std::uint32_t page_number, std::size_t row_number,
                           std::optional<RowPointer> home) {
  try {
    bool has_variable = def_.variable_column_count > 0;
    RowLayout& layout = layout_;
    decode_row_layout_into(row, context_.version(), has_variable, page_number, layout);
    if (!visitor_) {
      for (const ColumnDef& column : def_.columns) check_column(layout, row, column, page_number);
    } else {
      std::vector<Value> values;
      values.reserve(def_.columns.size());
      for (const ColumnDef& column : def_.columns) {
        values.push_back(decode_column(layout, row, column, page_number));
      }
      visitor_(def_, values);
    }
    if (home) gather_row_keys(context_, table_, row_keys_, layout, row, page_number, *home);
    return true;
  } catch (const Error& error) {
    if (!is_damage(error)) throw;
    Finding finding = finding_from_error(error);
    finding.message = row_label(row_number) + " of page " + std::to_string(page_number) +
                      " does not decode: " + finding.message;
    context_.findings().add(std::move(finding));
    return false;
  }
}

// A map of pages with room names pages of the table's own: one outside
// `pages` is a warning.
void warn_of_pages_with_room_outside(VerifyContext& context, std::uint32_t table_page, const UsageMap& with_space,
                                     const UsageMap& pages, const std::string& field, const std::string& but) {
  for (std::uint32_t page : with_space.pages) {
    if (!pages.contains(page)) {
      context.add(Severity::Warning, page, "usage map", field,
                  "the table on page " + std::to_string(table_page) + " lists this page as having room, but " + but);
    }
  }
}

}  // namespace

void check_table_rows(VerifyContext& context, VerifiedTable& table, const RowVisitor& visitor) {
  if (!table.def) return;
  const TableDef& def = *table.def;
  auto owned = usage_map(context, def.owned_pages, def.page, "owned pages map");
  if (!owned) return;

  RowWalker walker(context, table, visitor);
  for (std::uint32_t page : owned->pages) walker.walk_page(page);

  // Access lets the stored count of its own system tables lag behind their
  // rows (MSysACEs in healthy files); for user tables it is kept exact.
  if (table.live_rows != def.row_count) {
    context.add(table.system ? Severity::Info : Severity::Warning, def.page, "table definition",
                "row count",
                "says " + std::to_string(def.row_count) + " rows, the pages of " + table.name +
                    " hold " + std::to_string(table.live_rows));
  }

  // The free-space map names pages of the table with room left: each must
  // be one of the table's own.
  if (auto with_space = usage_map(context, def.free_space_pages, def.page, "free space map")) {
    warn_of_pages_with_room_outside(context, def.page, *with_space, *owned, "free space map", "does not own it");
  }

  // Jet 4 keeps a map of the long-value pages of each Memo and OLE column,
  // and may keep a map of those with room left (Access leaves its pointer
  // empty; a writer of ours may stand its row on a page of usage maps of its
  // own, which reading it claims).
  for (const LongValueColumnMaps& maps : def.long_value_maps) {
    const std::string column = "column " + std::to_string(maps.column_number);
    auto pages = usage_map(context, maps.owned_pages, def.page, "long-value map of " + column);
    if (pages) {
      for (std::uint32_t page : pages->pages) {
        context.ledger().claim(page, {PageRole::LongValue, def.page}, context.findings());
      }
    }
    if (maps.free_space_pages.page == 0) continue;
    auto with_space = usage_map(context, maps.free_space_pages, def.page, "long-value free space map of " + column);
    if (!pages || !with_space) continue;
    warn_of_pages_with_room_outside(context, def.page, *with_space, *pages, "long-value free space map of " + column,
                                    "its long-value map does not");
  }
}

}  // namespace jet
