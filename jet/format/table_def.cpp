#include "jet/format/table_def.h"

#include <algorithm>
#include <numeric>
#include <cctype>
#include <set>

#include "jet/base/ascii.h"
#include "jet/format/name_text.h"

namespace jet {

namespace {

constexpr std::string_view kStructure = "table definition";
constexpr std::uint32_t kRealIndexMagic = 1923;  // Jet 4 real-index blocks start with it
constexpr std::uint16_t kNoColumn = 0xFFFF;
constexpr std::size_t kPageHeaderSize = 8;

// Where each field of a definition lives, per format.
struct Layout {
  std::size_t row_count;
  std::size_t last_autonumber;
  std::size_t table_type;
  std::size_t max_columns;
  std::size_t variable_column_count;
  std::size_t column_count;
  std::size_t logical_index_count;
  std::size_t real_index_count;
  std::size_t owned_pages;
  std::size_t free_space_pages;
  std::size_t fixed_block_end;

  std::size_t real_index_counter_size;
  std::size_t column_size;
  std::size_t real_index_size;
  std::size_t logical_index_size;
  std::size_t name_length_size;

  // Column fields.
  std::size_t column_number;
  std::size_t column_variable_index;
  std::size_t column_display_index;
  std::size_t column_misc;
  std::size_t column_code_page;  // 0: not stored
  std::size_t column_flags;
  std::size_t column_ext_flags;  // 0: not stored
  std::size_t column_fixed_offset;
  std::size_t column_length;

  // Real index fields (the pairs start at real_index_columns).
  std::size_t real_index_columns;
  std::size_t real_index_usage_map;
  std::size_t real_index_first_page;
  std::size_t real_index_flags;

  // Logical index fields; the block starts with 4 reserved bytes in Jet 4.
  std::size_t logical_index_start;
};

constexpr Layout kJet3{12, 16, 20, 21, 23, 25, 27, 31, 35, 39, 43,  //
                       8, 18, 39, 20, 1,                            //
                       1, 3, 5, 7, 11, 13, 0, 14, 16,               //
                       0, 30, 34, 38,                               //
                       0};
constexpr Layout kJet4{16, 20, 40, 41, 43, 45, 47, 51, 55, 59, 63,  //
                       12, 25, 52, 28, 2,                           //
                       5, 7, 9, 11, 0, 15, 16, 21, 23,              //
                       4, 34, 38, 46,                               //
                       4};

const Layout& layout_for(Version version) { return is_jet4(version) ? kJet4 : kJet3; }

std::string indexed(std::string_view what, std::size_t i, std::string_view field) {
  return std::string(what) + " " + std::to_string(i) + " " + std::string(field);
}

// Checks that `count` entries of `size` bytes fit from `offset` on, before
// anything is allocated for them.
void require_room(const ByteReader& in, std::size_t offset, std::uint64_t count, std::size_t size,
                  std::string_view field) {
  if (offset > in.size() || count * size > in.size() - offset) {
    in.fail(field, "says " + std::to_string(count) + ", more than the definition's " +
                       std::to_string(in.size()) + " bytes can hold");
  }
}

// Decoding and encoding of the 4 type-dependent column bytes.
void decode_column_misc(Version version, ColumnDef& column) {
  auto& m = column.misc;
  if (!is_jet4(version)) {
    column.precision = m[0];
    column.scale = m[1];
    column.sort_order = load_u16(&m[2]);
    m = {};
  } else if (column.type == ColumnType::Numeric) {
    column.precision = m[0];
    column.scale = m[1];
    m[0] = m[1] = 0;
  } else {
    column.sort_order = load_u16(&m[0]);
    column.sort_order_version = m[3];
    m[0] = m[1] = m[3] = 0;
  }
}

std::array<std::uint8_t, 4> encode_column_misc(Version version, const ColumnDef& column) {
  std::array<std::uint8_t, 4> m = column.misc;
  if (!is_jet4(version)) {
    m[0] = column.precision;
    m[1] = column.scale;
    store_u16(&m[2], column.sort_order);
  } else if (column.type == ColumnType::Numeric) {
    m[0] = column.precision;
    m[1] = column.scale;
  } else {
    store_u16(&m[0], column.sort_order);
    m[3] = column.sort_order_version;
  }
  return m;
}

// A cursor over the names that follow the column and index blocks.
std::string read_name(Version version, const ByteReader& in, std::size_t& offset, const std::string& field) {
  const Layout& l = layout_for(version);
  const std::size_t length =
      l.name_length_size == 1 ? in.u8(offset, field + " length") : in.u16(offset, field + " length");
  offset += l.name_length_size;
  const Bytes stored = in.bytes(offset, length, field);
  offset += length;
  return decode_name(version, stored, in, field);
}

void write_name(Version version, std::vector<std::uint8_t>& out, std::string_view name) {
  const std::vector<std::uint8_t> stored = encode_name(version, name);
  const std::size_t limit = is_jet4(version) ? 0xFFFF : 0xFF;
  if (stored.size() > limit) {
    throw Error(ErrorCode::LimitExceeded, "the name \"" + std::string(name) + "\" is too long");
  }
  if (is_jet4(version)) {
    out.push_back(static_cast<std::uint8_t>(stored.size()));
    out.push_back(static_cast<std::uint8_t>(stored.size() >> 8));
  } else {
    out.push_back(static_cast<std::uint8_t>(stored.size()));
  }
  out.insert(out.end(), stored.begin(), stored.end());
}

ColumnDef decode_column(Version version, const ByteReader& in, std::size_t at, std::size_t i) {
  const Layout& l = layout_for(version);
  const std::string what = "column " + std::to_string(i);
  ColumnDef column;
  column.type = static_cast<ColumnType>(in.u8(at, what + " type"));
  column.number = in.u16(at + l.column_number, what + " number");
  column.variable_index = in.u16(at + l.column_variable_index, what + " variable index");
  column.display_index = in.u16(at + l.column_display_index, what + " display index");
  const Bytes misc = in.bytes(at + l.column_misc, 4, what + " type-specific bytes");
  std::copy(misc.begin(), misc.end(), column.misc.begin());
  if (l.column_code_page) column.code_page = in.u16(at + l.column_code_page, what + " code page");
  column.flags = in.u8(at + l.column_flags, what + " flags");
  if (l.column_ext_flags) column.ext_flags = in.u8(at + l.column_ext_flags, what + " extended flags");
  column.fixed_offset = in.u16(at + l.column_fixed_offset, what + " fixed offset");
  column.length = in.u16(at + l.column_length, what + " length");
  decode_column_misc(version, column);
  return column;
}

void encode_column(Version version, const ColumnDef& column, std::uint8_t* out) {
  const Layout& l = layout_for(version);
  out[0] = static_cast<std::uint8_t>(column.type);
  if (is_jet4(version)) store_u32(out + 1, kTableMagic);
  store_u16(out + l.column_number, column.number);
  store_u16(out + l.column_variable_index, column.variable_index);
  store_u16(out + l.column_display_index, column.display_index);
  const auto misc = encode_column_misc(version, column);
  std::copy(misc.begin(), misc.end(), out + l.column_misc);
  if (l.column_code_page) store_u16(out + l.column_code_page, column.code_page);
  out[l.column_flags] = column.flags;
  if (l.column_ext_flags) out[l.column_ext_flags] = column.ext_flags;
  store_u16(out + l.column_fixed_offset, column.fixed_offset);
  store_u16(out + l.column_length, column.length);
}

RealIndexDef decode_real_index(Version version, const ByteReader& in, std::size_t at, std::uint32_t i) {
  const Layout& l = layout_for(version);
  const std::string what = "real index " + std::to_string(i);
  RealIndexDef index;
  index.number = i;
  for (std::size_t k = 0; k < RealIndexDef::max_columns; ++k) {
    const std::size_t pair = at + l.real_index_columns + 3 * k;
    const std::uint16_t column = in.u16(pair, what + " key column");
    if (column == kNoColumn) continue;
    const std::uint8_t order = in.u8(pair + 2, what + " key order");
    index.columns.push_back(IndexColumn{column, order});
  }
  index.usage_map = RowPointer::from_u32(in.u32(at + l.real_index_usage_map, what + " usage map"));
  index.first_page = in.u32(at + l.real_index_first_page, what + " first page");
  index.flags = in.u8(at + l.real_index_flags, what + " flags");
  return index;
}

void encode_real_index(Version version, const RealIndexDef& index, std::uint8_t* out) {
  const Layout& l = layout_for(version);
  if (is_jet4(version)) store_u32(out, kRealIndexMagic);
  for (std::size_t k = 0; k < RealIndexDef::max_columns; ++k) {
    std::uint8_t* pair = out + l.real_index_columns + 3 * k;
    if (k < index.columns.size()) {
      store_u16(pair, index.columns[k].column_number);
      pair[2] = index.columns[k].order;
    } else {
      store_u16(pair, kNoColumn);
      pair[2] = 0;
    }
  }
  store_u32(out + l.real_index_usage_map, index.usage_map.to_u32());
  store_u32(out + l.real_index_first_page, index.first_page);
  out[l.real_index_flags] = index.flags;
}

LogicalIndexDef decode_logical_index(Version version, const ByteReader& in, std::size_t at, std::size_t i) {
  const std::size_t b = at + layout_for(version).logical_index_start;
  const std::string what = "logical index " + std::to_string(i);
  LogicalIndexDef index;
  index.number = in.u32(b, what + " number");
  index.real_index = in.u32(b + 4, what + " real index");
  index.related_index_type = in.u8(b + 8, what + " related index type");
  index.related_index = in.u32(b + 9, what + " related index");
  index.related_table_page = in.u32(b + 13, what + " related table");
  index.cascade_updates = in.u8(b + 17, what + " cascade updates");
  index.cascade_deletes = in.u8(b + 18, what + " cascade deletes");
  index.type = static_cast<LogicalIndexType>(in.u8(b + 19, what + " type"));
  return index;
}

void encode_logical_index(Version version, const LogicalIndexDef& index, std::uint8_t* out) {
  if (is_jet4(version)) store_u32(out, kTableMagic);
  std::uint8_t* b = out + layout_for(version).logical_index_start;
  store_u32(b, index.number);
  store_u32(b + 4, index.real_index);
  b[8] = index.related_index_type;
  store_u32(b + 9, index.related_index);
  store_u32(b + 13, index.related_table_page);
  b[17] = index.cascade_updates;
  b[18] = index.cascade_deletes;
  b[19] = static_cast<std::uint8_t>(index.type);
}

}  // namespace

void drop_real_index(TableDef& def, std::size_t position) {
  def.real_indexes.erase(def.real_indexes.begin() + static_cast<std::ptrdiff_t>(position));
  for (std::size_t i = position; i < def.real_indexes.size(); ++i) def.real_indexes[i].number = static_cast<std::uint32_t>(i);
  std::erase_if(def.logical_indexes, [&](const LogicalIndexDef& logical) { return logical.real_index == position; });
  for (LogicalIndexDef& logical : def.logical_indexes) {
    if (logical.real_index > position) --logical.real_index;
  }
}

std::optional<std::size_t> TableDef::column_position(std::string_view name) const {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (same_name(columns[i].name, name)) return i;
  }
  return std::nullopt;
}

const ColumnDef* TableDef::find_column(std::string_view name) const {
  const std::optional<std::size_t> at = column_position(name);
  return at ? &columns[*at] : nullptr;
}

std::vector<std::size_t> TableDef::positions_by_number() const {
  std::vector<std::size_t> positions(columns.size());
  std::iota(positions.begin(), positions.end(), std::size_t{0});
  std::stable_sort(positions.begin(), positions.end(),
                   [this](std::size_t a, std::size_t b) { return columns[a].number < columns[b].number; });
  return positions;
}

const ColumnDef* TableDef::column_by_number(std::uint16_t number) const {
  for (const ColumnDef& column : columns) {
    if (column.number == number) return &column;
  }
  return nullptr;
}

bool operator==(const TableDef& a, const TableDef& b) {
  return a.version == b.version && a.page == b.page && a.row_count == b.row_count &&
         a.last_autonumber == b.last_autonumber && a.type == b.type && a.raw_type == b.raw_type &&
         a.max_columns == b.max_columns && a.variable_column_count == b.variable_column_count &&
         a.owned_pages == b.owned_pages && a.free_space_pages == b.free_space_pages &&
         (!is_jet4(a.version) || a.reserved == b.reserved) && a.columns == b.columns && a.real_indexes == b.real_indexes &&
         a.logical_indexes == b.logical_indexes && a.long_value_maps == b.long_value_maps;
}

TableDef read_table_def(Version version, std::uint32_t first_page, std::uint32_t page_count,
                        const PageSource& source) {
  std::vector<std::uint8_t> buffer;
  std::vector<std::uint32_t> pages;
  std::set<std::uint32_t> seen;
  std::uint32_t page = first_page;
  std::uint32_t previous = first_page;
  while (true) {
    const std::string field = pages.empty() ? "first page" : "next page";
    if (page == 0 || page >= page_count) {
      throw_corrupt(previous, std::string(kStructure), field,
                    "points at page " + std::to_string(page) + ", outside the file's " +
                        std::to_string(page_count) + " pages");
    }
    if (!seen.insert(page).second) {
      throw_corrupt(previous, std::string(kStructure), field,
                    "points back at page " + std::to_string(page) + ", a loop");
    }
    const std::vector<std::uint8_t> bytes = source(page);
    const ByteReader in(bytes, page, kStructure);
    const std::uint8_t kind = in.u8(0, "page type");
    if (kind != static_cast<std::uint8_t>(PageType::TableDefinition)) {
      in.fail("page type", "is " + std::to_string(kind) + ", not a table definition (2)");
    }
    const std::uint32_t next = in.u32(4, "next page");
    if (pages.empty()) {
      buffer = bytes;
    } else {
      buffer.insert(buffer.end(), bytes.begin() + kPageHeaderSize, bytes.end());
    }
    pages.push_back(page);
    if (next == 0) break;
    previous = page;
    page = next;
  }
  TableDef def = decode_table_def(version, first_page, buffer);
  def.pages = std::move(pages);
  return def;
}

TableDef decode_table_def(Version version, std::uint32_t first_page, Bytes buffer) {
  const Layout& l = layout_for(version);
  const ByteReader in(buffer, first_page, kStructure);
  TableDef def;
  def.version = version;
  def.page = first_page;
  def.row_count = in.u32(l.row_count, "row count");
  def.last_autonumber = in.u32(l.last_autonumber, "last autonumber");
  if (is_jet4(version)) {
    const Bytes reserved = in.bytes(24, def.reserved.size(), "reserved bytes");
    std::copy(reserved.begin(), reserved.end(), def.reserved.begin());
  } else {
    def.reserved = {};
  }
  def.raw_type = in.u8(l.table_type, "table type");
  def.type = def.raw_type == static_cast<std::uint8_t>(TableType::System) ? TableType::System : TableType::User;
  def.max_columns = in.u16(l.max_columns, "max columns");
  def.variable_column_count = in.u16(l.variable_column_count, "variable column count");
  const std::uint16_t column_count = in.u16(l.column_count, "column count");
  const std::uint32_t logical_count = in.u32(l.logical_index_count, "logical index count");
  const std::uint32_t real_count = in.u32(l.real_index_count, "real index count");
  def.owned_pages = RowPointer::from_u32(in.u32(l.owned_pages, "owned pages map"));
  def.free_space_pages = RowPointer::from_u32(in.u32(l.free_space_pages, "free space map"));

  std::size_t offset = l.fixed_block_end;
  require_room(in, offset, real_count, l.real_index_counter_size + l.real_index_size, "real index count");
  std::vector<std::pair<std::uint32_t, std::uint32_t>> counters;
  for (std::uint32_t i = 0; i < real_count; ++i) {
    counters.emplace_back(in.u32(offset, indexed("real index", i, "row count")),
                          in.u32(offset + 4, indexed("real index", i, "unique entry count")));
    offset += l.real_index_counter_size;
  }

  require_room(in, offset, column_count, l.column_size, "column count");
  for (std::size_t i = 0; i < column_count; ++i) {
    def.columns.push_back(decode_column(version, in, offset, i));
    offset += l.column_size;
  }
  for (std::size_t i = 0; i < column_count; ++i) {
    def.columns[i].name = read_name(version, in, offset, indexed("column", i, "name"));
  }

  for (std::uint32_t i = 0; i < real_count; ++i) {
    RealIndexDef index = decode_real_index(version, in, offset, i);
    index.counter_rows = counters[i].first;
    index.unique_entry_count = counters[i].second;
    def.real_indexes.push_back(std::move(index));
    offset += l.real_index_size;
  }

  require_room(in, offset, logical_count, l.logical_index_size, "logical index count");
  for (std::uint32_t i = 0; i < logical_count; ++i) {
    def.logical_indexes.push_back(decode_logical_index(version, in, offset, i));
    offset += l.logical_index_size;
  }
  for (std::uint32_t i = 0; i < logical_count; ++i) {
    def.logical_indexes[i].name = read_name(version, in, offset, indexed("logical index", i, "name"));
  }

  // Long-value column maps run to FF FF, within the definition's length.
  const std::uint32_t length = in.u32(8, "definition length");
  const ByteReader body(buffer.first(std::min<std::size_t>(length, buffer.size())), first_page, kStructure);
  while (body.fits(offset, 2)) {
    const std::uint16_t column = body.u16(offset, "long-value map column");
    offset += 2;
    if (column == kNoColumn) break;
    LongValueColumnMaps maps;
    maps.column_number = column;
    maps.owned_pages = RowPointer::from_u32(body.u32(offset, "long-value owned pages map"));
    maps.free_space_pages = RowPointer::from_u32(body.u32(offset + 4, "long-value free space map"));
    offset += 8;
    def.long_value_maps.push_back(maps);
  }
  return def;
}

std::vector<std::uint8_t> encode_table_def(const TableDef& def) {
  const Version version = def.version;
  const Layout& l = layout_for(version);
  const std::size_t column_count = def.columns.size();
  const std::size_t real_count = def.real_indexes.size();
  const std::size_t logical_count = def.logical_indexes.size();
  if (column_count > 0xFFFF) throw Error(ErrorCode::LimitExceeded, "a table holds at most 65535 columns");

  std::vector<std::uint8_t> out(l.fixed_block_end + real_count * l.real_index_counter_size +
                                column_count * l.column_size);
  out[0] = static_cast<std::uint8_t>(PageType::TableDefinition);
  out[1] = kPageMark;
  if (!is_jet4(version)) {
    std::copy(std::begin(kJet3DefinitionMark), std::end(kJet3DefinitionMark), &out[2]);
  } else {
    store_u32(&out[kJet4TableMagicOffset], kTableMagic);
    std::copy(def.reserved.begin(), def.reserved.end(), &out[24]);
  }
  store_u32(&out[l.row_count], def.row_count);
  store_u32(&out[l.last_autonumber], def.last_autonumber);
  out[l.table_type] = def.raw_type;
  std::uint32_t max_columns = def.max_columns;
  std::uint32_t variable_columns = def.variable_column_count;
  for (const ColumnDef& column : def.columns) {
    max_columns = std::max<std::uint32_t>(max_columns, column.number + 1u);
    if (column.is_variable_length()) {
      variable_columns = std::max<std::uint32_t>(variable_columns, column.variable_index + 1u);
    }
  }
  if (max_columns > 0xFFFF || variable_columns > 0xFFFF) {
    throw Error(ErrorCode::LimitExceeded, "column numbers of the table exceed 65534");
  }
  store_u16(&out[l.max_columns], static_cast<std::uint16_t>(max_columns));
  store_u16(&out[l.variable_column_count], static_cast<std::uint16_t>(variable_columns));
  store_u16(&out[l.column_count], static_cast<std::uint16_t>(column_count));
  store_u32(&out[l.logical_index_count], static_cast<std::uint32_t>(logical_count));
  store_u32(&out[l.real_index_count], static_cast<std::uint32_t>(real_count));
  store_u32(&out[l.owned_pages], def.owned_pages.to_u32());
  store_u32(&out[l.free_space_pages], def.free_space_pages.to_u32());

  std::size_t offset = l.fixed_block_end;
  for (const RealIndexDef& index : def.real_indexes) {
    store_u32(&out[offset], index.counter_rows);
    store_u32(&out[offset + 4], index.unique_entry_count);
    offset += l.real_index_counter_size;
  }
  for (const ColumnDef& column : def.columns) {
    encode_column(version, column, &out[offset]);
    offset += l.column_size;
  }
  for (const ColumnDef& column : def.columns) write_name(version, out, column.name);

  for (const RealIndexDef& index : def.real_indexes) {
    if (index.columns.size() > RealIndexDef::max_columns) {
      throw Error(ErrorCode::LimitExceeded, "an index holds at most 10 columns");
    }
    const std::size_t at = out.size();
    out.resize(at + l.real_index_size);
    encode_real_index(version, index, &out[at]);
  }
  for (const LogicalIndexDef& index : def.logical_indexes) {
    const std::size_t at = out.size();
    out.resize(at + l.logical_index_size);
    encode_logical_index(version, index, &out[at]);
  }
  for (const LogicalIndexDef& index : def.logical_indexes) write_name(version, out, index.name);

  for (const LongValueColumnMaps& maps : def.long_value_maps) {
    const std::size_t at = out.size();
    out.resize(at + 10);
    store_u16(&out[at], maps.column_number);
    store_u32(&out[at + 2], maps.owned_pages.to_u32());
    store_u32(&out[at + 6], maps.free_space_pages.to_u32());
  }
  out.push_back(0xFF);
  out.push_back(0xFF);
  store_u32(&out[8], static_cast<std::uint32_t>(out.size()));
  return out;
}

std::size_t table_def_page_count(const TableDef& def) {
  const std::size_t size = encode_table_def(def).size();
  const std::size_t page = page_size(def.version);
  if (size <= page) return 1;
  return 1 + (size - page + (page - kPageHeaderSize) - 1) / (page - kPageHeaderSize);
}

std::vector<std::vector<std::uint8_t>> paginate_table_def(Version version, Bytes encoded,
                                                          std::span<const std::uint32_t> pages) {
  const std::size_t page = page_size(version);
  std::vector<std::vector<std::uint8_t>> out;
  std::size_t taken = 0;
  for (std::size_t i = 0; i < pages.size() && taken < encoded.size(); ++i) {
    std::vector<std::uint8_t> bytes(page, 0);
    std::size_t at = 0;
    if (i == 0) {
      at = 0;
    } else {
      std::copy(encoded.begin(), encoded.begin() + kPageHeaderSize, bytes.begin());
      at = kPageHeaderSize;
      if (taken == 0) taken = kPageHeaderSize;
    }
    const std::size_t chunk = std::min(page - at, encoded.size() - taken);
    std::copy(encoded.begin() + taken, encoded.begin() + taken + chunk, bytes.begin() + at);
    taken += chunk;
    const std::size_t used = at + chunk + kPageHeaderSize;
    if (is_jet4(version)) store_u16(&bytes[2], static_cast<std::uint16_t>(used < page ? page - used : 0));
    out.push_back(std::move(bytes));
  }
  if (taken < encoded.size()) {
    throw Error(ErrorCode::InvalidArgument, "the table definition needs more pages than were given");
  }
  for (std::size_t i = 0; i + 1 < out.size(); ++i) store_u32(&out[i][4], pages[i + 1]);
  store_u32(&out.back()[4], 0);
  return out;
}

}  // namespace jet
