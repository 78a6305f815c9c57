#include "jet/write/compactor.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "jet/format/header.h"
#include "jet/format/index_key.h"
#include "jet/format/long_value.h"
#include "jet/format/row.h"
#include "jet/format/table_def.h"
#include "jet/format/usage_map.h"
#include "jet/read/catalog.h"
#include "jet/read/index_walk.h"
#include "jet/read/pager.h"
#include "jet/read/table_ids.h"
#include "jet/write/data_page_packer.h"
#include "jet/write/database_output.h"
#include "jet/write/index_builder.h"
#include "jet/write/long_value_writer.h"

namespace jet {

namespace {

// Bytes of entries an index builder holds before it spills a sorted run;
// one index is built at a time. Small, so that memory stays flat as the
// file grows: entries mostly arrive in key order and stream straight into
// pages, and merging the few sorted runs left costs little.
constexpr std::size_t kIndexMemoryBudget = std::size_t{1} << 20;

// Where each copied row of a table went, for remapping the row pointers of
// its index entries: 8 bytes a row (the old pointer in the high half, the
// new in the low, so that one integer comparison orders them), sorted once
// sealed. Every index entry is looked up here, so where the table's pages
// lie close enough together, the moves of each old page are found directly
// by its number, leaving a search among that page's few rows.
class RowMoves {
 public:
  void add(RowPointer from, RowPointer to) {
    moves_.push_back(std::uint64_t{from.to_u32()} << 32 | to.to_u32());
  }
  void seal() {
    std::sort(moves_.begin(), moves_.end());
    page_starts_.clear();
    if (moves_.empty()) return;
    first_page_ = old_pointer(moves_.front()).page;
    const std::uint64_t span = std::uint64_t{old_pointer(moves_.back()).page} - first_page_ + 1;
    // Pages spread thinly (a small table among many others) would cost
    // more to index than to search.
    if (span > kMaxPageIndexEntriesPerMove * moves_.size() + 1024) return;
    page_starts_.assign(span + 1, 0);
    std::size_t next = 0;
    for (std::uint64_t page = 0; page <= span; ++page) {
      while (next < moves_.size() && old_pointer(moves_[next]).page - first_page_ < page) ++next;
      page_starts_[page] = static_cast<std::uint32_t>(next);
    }
  }
  std::size_t size() const { return moves_.size(); }
  std::optional<RowPointer> find(RowPointer from) const {
    auto first = moves_.begin();
    auto last = moves_.end();
    if (!page_starts_.empty()) {
      if (from.page < first_page_ || from.page - first_page_ + 1 >= page_starts_.size()) return std::nullopt;
      const std::size_t page = from.page - first_page_;
      last = first + page_starts_[page + 1];
      first += page_starts_[page];
    }
    const std::uint64_t key = std::uint64_t{from.to_u32()} << 32;
    const auto it = std::lower_bound(first, last, key);
    if (it == last || old_pointer(*it) != from) return std::nullopt;
    return new_pointer(*it);
  }

 private:
  static constexpr std::uint64_t kMaxPageIndexEntriesPerMove = 4;
  static RowPointer old_pointer(std::uint64_t move) { return RowPointer::from_u32(static_cast<std::uint32_t>(move >> 32)); }
  static RowPointer new_pointer(std::uint64_t move) { return RowPointer::from_u32(static_cast<std::uint32_t>(move)); }

  std::vector<std::uint64_t> moves_;
  // page_starts_[p]: the first move from old page first_page_ + p; one more
  // entry closes the last page. Empty where the moves are searched whole.
  std::uint32_t first_page_ = 0;
  std::vector<std::uint32_t> page_starts_;
};

// The rows of a table's pages already visited, one bit for each of the 256
// row numbers of each page it owns: the rows its primary key reached are not
// copied again in page order.
class VisitedRows {
 public:
  explicit VisitedRows(const std::vector<std::uint32_t>& owned) : owned_(owned), bits_(owned.size() * 4, 0) {}

  // Marks the row; false when it was marked before or its page is not owned.
  bool mark(RowPointer row) {
    const auto page = std::lower_bound(owned_.begin(), owned_.end(), row.page);
    if (page == owned_.end() || *page != row.page) return false;
    std::uint64_t& word = bits_[static_cast<std::size_t>(page - owned_.begin()) * 4 + row.row / 64];
    const std::uint64_t bit = std::uint64_t{1} << (row.row % 64);
    if ((word & bit) != 0) return false;
    word |= bit;
    return true;
  }

 private:
  const std::vector<std::uint32_t>& owned_;  // ascending
  std::vector<std::uint64_t> bits_;
};

// A data page and its decoded header, kept while rows come from it.
struct DecodedPage {
  std::uint32_t number = 0;  // 0 when none is held
  Page bytes;
  DataPage header;
};

struct Table {
  Table(std::string table_name, TableDef table_def) : name(std::move(table_name)), def(std::move(table_def)) {
    // The catalog's Id, or the column of a system table that names objects
    // by id (a Long: any other is left as it is).
    const std::optional<std::string_view> column =
        def.page == kCatalogPage ? std::optional<std::string_view>("Id") : object_id_column(name);
    const ColumnDef* found = column ? def.find_column(*column) : nullptr;
    if (found != nullptr && found->type == ColumnType::Long) id_column = found - def.columns.data();
  }
  std::string name;
  TableDef def;                          // as read from the source
  std::vector<std::uint32_t> new_pages;  // where its definition goes
  // The place in def.columns of the column that stores object ids, if any.
  std::optional<std::ptrdiff_t> id_column;
};

class Compactor {
 public:
  Compactor(const File& source, File& destination);
  Version run();

 private:
  std::vector<std::uint8_t> page(std::uint32_t n) const { return *pager_->page(n); }
  std::uint32_t page_count() const { return pager_->page_count(); }
  PageSource source() const {
    return [this](std::uint32_t n) { return page(n); };
  }
  // The data page at `number` decoded into `slot`, which keeps it while
  // rows come from the same page.
  const DecodedPage& data_page(DecodedPage& slot, std::uint32_t number);
  // The live row of the table at `where`, overflow pointers followed, into
  // `out`; false for a slot that is deleted, or a page the table does not own.
  bool fetch_row(const TableDef& def, RowPointer where, std::vector<std::uint8_t>& out);
  // Calls copy(where, bytes) for each live row of the table: in primary-key
  // order first, then the rows the primary key does not reach, in page order.
  // Raises Corrupt for a primary-key entry that leads to no live row of the
  // table, or to one it led to before.
  template <typename Copy>
  void for_each_row(const Table& table, Copy&& copy);
  void plan_tables();
  void copy_table(Table& table);
  void rewrite_long_values(const TableDef& def, std::vector<std::uint8_t>& row,
                           std::map<std::uint16_t, LongValueWriter>& writers);
  // One row of a long-value page, in place: valid until the next call.
  Bytes long_value_row(RowPointer pointer);
  bool rewrite_ids(const Table& table, std::vector<std::uint8_t>& row);
  std::int32_t read_long(const TableDef& def, Bytes row, const ColumnDef& column, std::uint32_t page) const;

  const File& source_file_;
  File& destination_;
  Header header_;
  Version version_ = Version::Jet4;
  std::unique_ptr<Pager> pager_;
  std::unique_ptr<DatabaseOutput> output_;
  std::vector<Table> tables_;
  TableIdMap moved_;
  // Table rows and long-value rows come from different pages: each keeps
  // its own.
  DecodedPage row_page_;
  DecodedPage long_value_page_;
};

Compactor::Compactor(const File& source, File& destination) : source_file_(source), destination_(destination) {}

const DecodedPage& Compactor::data_page(DecodedPage& slot, std::uint32_t number) {
  if (number != slot.number || slot.number == 0) {
    slot.number = 0;
    slot.bytes = pager_->page(number);
    decode_data_page_into(*slot.bytes, version_, number, slot.header);
    slot.number = number;
  }
  return slot;
}

bool Compactor::fetch_row(const TableDef& def, RowPointer where, std::vector<std::uint8_t>& out) {
  const DecodedPage* page = &data_page(row_page_, where.page);
  if (page->header.owner != def.page || where.row >= page->header.slots.size() ||
      page->header.slots[where.row].deleted()) {
    return false;
  }
  SlotRow row = slot_row(*page->bytes, page->header, where.row, version_, where.page);
  if (row.overflow) {
    row.bytes = follow_overflow_row(where, row.bytes, [this](RowPointer at) {
                  const DecodedPage& target = data_page(row_page_, at.page);
                  return slot_row(*target.bytes, target.header, at.row, version_, at.page);
                }).bytes;
  }
  out.assign(row.bytes.begin(), row.bytes.end());
  return true;
}

template <typename Copy>
void Compactor::for_each_row(const Table& table, Copy&& copy) {
  const TableDef& def = table.def;
  const std::vector<std::uint32_t> owned = read_usage_map(version_, def.owned_pages, page_count(), source()).pages;
  VisitedRows visited(owned);
  std::vector<std::uint8_t> row;
  const auto primary = std::find_if(def.logical_indexes.begin(), def.logical_indexes.end(),
                                    [](const LogicalIndexDef& i) { return i.is_primary_key(); });
  if (primary != def.logical_indexes.end() && primary->real_index < def.real_indexes.size()) {
    const std::uint32_t root = def.real_indexes[primary->real_index].first_page;
    stream_index(version_, def.page, root, page_count(), source(), [&](IndexEntry& entry) {
      if (!visited.mark(entry.row) || !fetch_row(def, entry.row, row)) {
        throw_corrupt(root, "primary key", "entry for row " + std::to_string(entry.row.row) + " of page " +
                                               std::to_string(entry.row.page),
                      "leads to no live row of the table, or to one an entry before it led to");
      }
      copy(entry.row, row);
    });
  }
  // A freed page another table took may still name this one as its owner:
  // only rows of the table's own pages are copied.
  for (std::uint32_t number : owned) {
    const std::size_t slots = data_page(row_page_, number).header.slots.size();
    for (std::size_t slot = 0; slot < slots; ++slot) {
      const RowPointer where{number, static_cast<std::uint8_t>(slot)};
      if (visited.mark(where) && fetch_row(def, where, row)) copy(where, row);
    }
  }
}

void Compactor::plan_tables() {
  const TableDef catalog = read_table_def(version_, kCatalogPage, pager_->page_count(), source());
  std::map<std::uint32_t, std::string> names;  // definition page -> name
  std::map<std::uint32_t, std::int32_t> ids;   // definition page -> catalog Id
  for_each_row(Table("MSysObjects", catalog), [&](RowPointer where, const std::vector<std::uint8_t>& row) {
    const RowLayout layout = decode_row_layout(row, version_, catalog.variable_column_count > 0, where.page);
    const auto value_of = [&](std::string_view name) -> Value {
      const ColumnDef* column = catalog.find_column(name);
      if (column == nullptr) throw_corrupt(kCatalogPage, "catalog", std::string(name), "column is missing");
      const ColumnBytes stored = column_bytes(layout, row, *column, where.page);
      if (!stored.present) return Value::null(column->type);
      return decode_value(column->type, stored.bytes, ValueFormat{version_, header_.code_page, 0, false},
                          where.page, name);
    };
    const Value type = value_of("Type");
    const Value id = value_of("Id");
    const auto* t = std::get_if<std::int16_t>(&type.data);
    const auto* i = std::get_if<std::int32_t>(&id.data);
    if (t == nullptr || i == nullptr || *t != static_cast<std::int16_t>(ObjectType::Table)) return;
    const Value name = value_of("Name");
    const auto* n = std::get_if<std::string>(&name.data);
    const std::uint32_t page = static_cast<std::uint32_t>(*i) & kObjectIdPageMask;
    names[page] = n ? *n : std::string();
    ids[page] = *i;
  });
  names.erase(kCatalogPage);
  tables_.emplace_back("MSysObjects", catalog);
  for (const auto& [page_number, name] : names) {
    tables_.emplace_back(name, read_table_def(version_, page_number, pager_->page_count(), source()));
  }
  for (Table& table : tables_) {
    table.new_pages = output_->reserve_definition(table.def, table.def.page == kCatalogPage);
    const auto id = ids.find(table.def.page);
    moved_.add(id == ids.end() ? static_cast<std::int32_t>(table.def.page) : id->second, table.new_pages.front());
  }
}

std::int32_t Compactor::read_long(const TableDef& def, Bytes row, const ColumnDef& column, std::uint32_t page) const {
  const RowLayout layout = decode_row_layout(row, version_, def.variable_column_count > 0, page);
  const ColumnBytes stored = column_bytes(layout, row, column, page);
  if (!stored.present || stored.bytes.size() != 4) return 0;
  return static_cast<std::int32_t>(load_u32(stored.bytes.data()));
}

// Ids of moved tables stored in the catalog (Id), in MSysACEs and in the
// navigation pane's tables (object_id_column).
bool Compactor::rewrite_ids(const Table& table, std::vector<std::uint8_t>& row) {
  if (!table.id_column) return false;
  const ColumnDef* column = &table.def.columns[static_cast<std::size_t>(*table.id_column)];
  if (table.def.page == kCatalogPage) {
    const ColumnDef* type = table.def.find_column("Type");
    const RowLayout layout = decode_row_layout(row, version_, table.def.variable_column_count > 0, 0);
    const ColumnBytes stored = type ? column_bytes(layout, row, *type, 0) : ColumnBytes{};
    if (!stored.present || stored.bytes.size() != 2 ||
        static_cast<std::int16_t>(load_u16(stored.bytes.data())) != static_cast<std::int16_t>(ObjectType::Table)) {
      return false;
    }
  }
  const RowLayout layout = decode_row_layout(row, version_, table.def.variable_column_count > 0, 0);
  const ColumnBytes stored = column_bytes(layout, row, *column, 0);
  if (!stored.present || stored.bytes.size() != 4) return false;
  const auto id = static_cast<std::int32_t>(load_u32(stored.bytes.data()));
  const std::optional<std::int32_t> moved = moved_.id(id);
  if (!moved || *moved == id) return false;
  store_u32(row.data() + (stored.bytes.data() - row.data()), static_cast<std::uint32_t>(*moved));
  return true;
}

void Compactor::rewrite_long_values(const TableDef& def, std::vector<std::uint8_t>& row,
                                    std::map<std::uint16_t, LongValueWriter>& writers) {
  const RowLayout layout = decode_row_layout(row, version_, def.variable_column_count > 0, 0);
  const LongValueRowView fetch = [this](RowPointer pointer) { return long_value_row(pointer); };
  for (const ColumnDef& column : def.columns) {
    if (!column.is_long_value()) continue;
    const ColumnBytes stored = column_bytes(layout, row, column, 0);
    if (!stored.present || stored.bytes.size() < kLongValueFieldSize) continue;
    const std::size_t at = static_cast<std::size_t>(stored.bytes.data() - row.data());
    const LongValueField field = decode_long_value_field(stored.bytes, 0, column.name);
    // Inline values stay where they are; the others move to the column's
    // new long-value pages, in one row or a chain by size, piece by piece
    // as they are read.
    if (field.kind == LongValueKind::Inline) continue;
    LongValueWriter& writer = writers.try_emplace(column.number, version_, output_->pages()).first->second;
    const LongValueField placed = writer.begin_value(field.length);
    walk_long_value(field, fetch, 0, column.name, pager_->page_count(), [&](Bytes piece) { writer.add_piece(piece); });
    store_long_value_field(row.data() + at, placed);
  }
}

Bytes Compactor::long_value_row(RowPointer pointer) {
  if (pointer.page == 0 || pointer.page >= pager_->page_count()) {
    throw_corrupt(pointer.page, "long value", "row pointer", "points outside the file");
  }
  const DecodedPage& page = data_page(long_value_page_, pointer.page);
  return row_bytes(*page.bytes, page.header, pointer.row, version_, pointer.page);
}

// The keys of an index whose key columns include a rewritten id column,
// encoded from the new row when the row's id changed.
std::optional<std::vector<std::uint8_t>> fresh_key(Version version, const TableDef& def, const RealIndexDef& index,
                                                   Bytes row) {
  const RowLayout layout = decode_row_layout(row, version, def.variable_column_count > 0, 0);
  std::vector<KeyColumn> columns;
  std::vector<ColumnBytes> stored;
  std::vector<ColumnType> types;
  for (const IndexColumn& key : index.columns) {
    const ColumnDef* column = def.column_by_number(key.column_number);
    if (column == nullptr) return std::nullopt;
    if (!column->is_fixed_length() && column->type != ColumnType::Binary) return std::nullopt;
    columns.push_back(KeyColumn{column->type, key.is_ascending(), TextSortOrder::Unknown});
    stored.push_back(column_bytes(layout, row, *column, 0));
    types.push_back(column->type);
  }
  std::vector<KeyValue> values;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (types[i] == ColumnType::Boolean) {
      values.emplace_back(stored[i].present);
    } else if (!stored[i].present) {
      values.emplace_back(std::monostate{});
    } else {
      values.emplace_back(stored[i].bytes);
    }
  }
  return encode_index_key(columns, values);
}

void Compactor::copy_table(Table& table) {
  TableDef out = table.def;
  const std::uint32_t new_page = table.new_pages.front();
  out.page = new_page;

  DataPageStream data(version_, new_page, output_->pages());
  std::map<std::uint16_t, LongValueWriter> long_values;
  RowMoves moves;
  std::map<RowPointer, std::vector<std::uint8_t>> rewritten;  // new rows whose ids changed
  std::int32_t highest_autonumber = 0;
  const auto autonumber = std::find_if(table.def.columns.begin(), table.def.columns.end(), [](const ColumnDef& c) {
    return c.is_autonumber() && c.type == ColumnType::Long;
  });
  for_each_row(table, [&](RowPointer from, std::vector<std::uint8_t>& bytes) {
    rewrite_long_values(table.def, bytes, long_values);
    const bool ids_changed = rewrite_ids(table, bytes);
    if (autonumber != table.def.columns.end()) {
      highest_autonumber = std::max(highest_autonumber, read_long(table.def, bytes, *autonumber, 0));
    }
    const RowPointer to = data.add(bytes);
    moves.add(from, to);
    if (ids_changed) rewritten[to] = std::move(bytes);
  });
  data.finish();
  for (auto& [column, writer] : long_values) writer.finish();
  moves.seal();

  out.row_count = static_cast<std::uint32_t>(moves.size());
  if (autonumber != table.def.columns.end()) out.last_autonumber = static_cast<std::uint32_t>(highest_autonumber);

  // Indexes from the source's entries, row pointers remapped.
  std::vector<IndexBuildResult> indexes;
  for (const RealIndexDef& index : out.real_indexes) {
    IndexBuilder builder(IndexBuildOptions{version_, new_page, kIndexMemoryBudget});
    // The source's entries come in key order, and keep it with their rows
    // remapped, unless ids were rewritten: those rows get fresh keys.
    const bool streaming = rewritten.empty();
    if (streaming) builder.start_streaming(output_->pages());
    // Entries stream from the source's index into the builder, and from it
    // into pages or, beyond its budget, sorted runs: no index is held whole.
    stream_index(version_, table.def.page, index.first_page, page_count(), source(), [&](IndexEntry& entry) {
      const std::optional<RowPointer> moved = moves.find(entry.row);
      if (!moved) {
        throw_corrupt(index.first_page, "index " + std::to_string(index.number),
                      "entry for row " + std::to_string(entry.row.row) + " of page " + std::to_string(entry.row.page),
                      "leads to no row of the table");
      }
      const auto fresh = rewritten.find(*moved);
      std::optional<std::vector<std::uint8_t>> key;
      if (fresh != rewritten.end()) key = fresh_key(version_, table.def, index, fresh->second);
      builder.add(key ? std::move(*key) : std::move(entry.key), *moved);
    });
    indexes.push_back(streaming ? builder.finish() : builder.finish(output_->pages()));
  }
  for (LogicalIndexDef& index : out.logical_indexes) {
    if (index.related_table_page == 0) continue;
    index.related_table_page = moved_.page(index.related_table_page).value_or(0);
  }
  output_->finish_table(out, table.new_pages, TableContent{data, std::move(indexes), [&](std::uint16_t column) {
                                                             const auto writer = long_values.find(column);
                                                             return writer == long_values.end() ? nullptr
                                                                                                : &writer->second;
                                                           }});
  table.def = std::move(out);
}

Version Compactor::run() {
  std::vector<std::uint8_t> head(std::min<std::uint64_t>(source_file_.size(), kHeaderBytes));
  source_file_.read_at(0, head);
  version_ = detect_version(head);
  header_ = decode_header(head);
  pager_ = std::make_unique<Pager>(source_file_, version_, header_.database_key, Pager::kDefaultCachePages,
                                   Pager::kPassReadAheadPages);
  if (pager_->page_count() < 3) throw Error(ErrorCode::UnrecognisedFormat, "the database has fewer than three pages");

  // The destination is written in a second thread while pages are built.
  output_ = std::make_unique<DatabaseOutput>(destination_, version_, header_.database_key,
                                             PageFile::Writes::InBackground);
  plan_tables();
  for (Table& table : tables_) {
    try {
      copy_table(table);
    } catch (const Error& e) {
      throw Error(e.code(), "table " + table.name + ": " + e.what());
    }
  }
  // The source's page 0 keeps every byte Access wrote there (the database
  // key and password included: the copy is encrypted as the source was),
  // but for the commit and lock bytes at the end of the page, which belong
  // to no open session now. Syncing is the caller's: the file is synced
  // once, before it is renamed into place (jet/base/atomic_replace.h).
  std::vector<std::uint8_t> page0(page_size(version_), 0);
  source_file_.read_at(0, page0);
  write_header(header_, page0);
  write_clean_lock_bytes(version_, page0);
  output_->finish(page0);
  return version_;
}

}  // namespace

Version compact_database(const File& source, File& destination) {
  return Compactor(source, destination).run();
}

}  // namespace jet
