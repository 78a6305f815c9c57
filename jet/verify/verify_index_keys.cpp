#include "jet/verify/verify_index_keys.h"

#include <algorithm>

#include "jet/format/data_page.h"
#include "jet/read/index_walk.h"
#include "jet/verify/verify_context.h"

namespace jet {

namespace {

// Listed one by one per index and kind; past that a line says how many more.
constexpr std::size_t kListedPerIndex = 20;
// Bytes of a key shown in a finding.
constexpr std::size_t kShownKeyBytes = 32;

std::uint64_t mix(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ULL;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

std::string index_label(const RealIndexDef& index) { return "index " + std::to_string(index.number); }

std::string row_text(RowPointer row) {
  return "row " + std::to_string(row.row) + " of page " + std::to_string(row.page);
}

std::string key_text(Bytes key) {
  if (key.empty()) return "(empty)";
  const std::string shown = hex_text(key.first(std::min(key.size(), kShownKeyBytes)));
  return key.size() > kShownKeyBytes ? shown + "..." : shown;
}

// Lends the bytes of a table's rows and of long-value rows, keeping the
// pages last used: the entries of an index often point at one page many
// times running. A view stays valid until the next call of the same kind.
class RowReader {
 public:
  explicit RowReader(VerifyContext& context) : context_(context) {}

  // The bytes of the row `home` names and the page they are on: for a
  // moved row, where its overflow pointer leads.
  Bytes row(RowPointer home, RowState state, std::uint32_t& page) {
    const Held& at_home = hold(data_, home.page);
    Bytes bytes = row_bytes(*at_home.page, at_home.header, home.row, context_.version(), home.page);
    page = home.page;
    if (state != RowState::Moved) return bytes;
    const MovedRow moved = follow_overflow_row(home, bytes, [this](RowPointer target) {
      const Held& held = hold(moved_, target.page);
      return slot_row(*held.page, held.header, target.row, context_.version(), target.page);
    });
    page = moved.at.page;
    return moved.bytes;
  }

  Bytes long_value_row(RowPointer pointer) {
    const Held& held = hold(long_value_, pointer.page);
    if (!held.header.holds_long_values()) {
      throw_corrupt(pointer.page, "long value", "page", "holds no long values");
    }
    if (pointer.row < held.header.slots.size() && held.header.slots[pointer.row].deleted()) {
      throw_corrupt(pointer.page, "long value", "row " + std::to_string(pointer.row), "is deleted");
    }
    return row_bytes(*held.page, held.header, pointer.row, context_.version(), pointer.page);
  }

 private:
  struct Held {
    std::uint32_t number = 0;
    Page page;
    DataPage header;
  };

  const Held& hold(std::optional<Held>& held, std::uint32_t number) {
    if (!held || held->number != number) {
      held.reset();
      Page page = context_.pager().page(number);
      DataPage header = decode_data_page(*page, context_.version(), number);
      held = Held{number, std::move(page), std::move(header)};
    }
    return *held;
  }

  VerifyContext& context_;
  std::optional<Held> data_, moved_, long_value_;
};

// The second walk over an index whose entries do not add up to its rows'
// keys: finds the entries whose key is not their row's, and the rows that
// no entry names.
class KeyAudit {
 public:
  KeyAudit(VerifyContext& context, const VerifiedTable& table, std::size_t position)
      : context_(context),
        table_(table),
        def_(*table.def),
        position_(position),
        index_(def_.real_indexes[position]),
        reader_(context),
        keys_(StoredRowSource{context.version(), context.header().code_page,
                              [this](RowPointer pointer) { return reader_.long_value_row(pointer); },
                              static_cast<std::size_t>(context.page_count()) * kMaxRowsPerPage},
              def_),
        named_(table.rows.slot_count()) {}

  void run() {
    IndexWalkOptions options;
    options.page_count = context_.page_count();
    // The first walk reported the index's own problems; the entries it
    // reached are all this one needs.
    check_index_streaming_by_leaf(context_.version(), def_.page, index_.first_page, options,
                                  context_.page_source(),
                                  [this](IndexEntry& entry, std::uint32_t leaf) { take(entry, leaf); });
    table_.rows.for_each([this](RowPointer row, RowState state) { check_named(row, state); });
    report_unlisted(wrong_keys_, "more entries whose key is not their row's");
    report_unlisted(missing_rows_, "more rows missing from the index");
    if (wrong_keys_.count == 0 && missing_rows_.count == 0) {
      // The sums differ, yet no entry could be faulted on its own: say so
      // rather than call the index sound.
      context_.add(Severity::Error, index_.first_page, "index", index_label(index_) + " keys",
                   "the entries do not match the keys of the rows of table " + table_.name);
    }
  }

 private:
  struct Tally {
    std::size_t count = 0;
    std::uint32_t page = 0;  // where the first unlisted one was seen
  };

  void take(const IndexEntry& entry, std::uint32_t leaf) {
    const std::optional<std::size_t> slot = table_.rows.slot_of(entry.row);
    if (!slot) return;  // reported by the first walk
    const std::optional<RowState> state = table_.row_state(entry.row);
    if (*state != RowState::Live && *state != RowState::Moved) return;
    named_[*slot] = true;
    const std::optional<std::optional<Bytes>> key = key_of(entry.row, *state);
    if (!key) return;
    if (*key && std::ranges::equal(**key, entry.key)) return;
    std::string message = "for " + row_text(entry.row) + " of table " + table_.name + " has key " +
                          key_text(entry.key) + ", but ";
    message += *key ? "the row's key is " + key_text(**key)
                    : std::string("every key column of the row is null, which the index leaves out");
    report(wrong_keys_, leaf, index_label(index_) + " entry", std::move(message));
  }

  void check_named(RowPointer row, RowState state) {
    if (state != RowState::Live && state != RowState::Moved) return;
    if (named_[*table_.rows.slot_of(row)]) return;
    const std::optional<std::optional<Bytes>> key = key_of(row, state);
    if (!key || !*key) return;
    report(missing_rows_, index_.first_page, index_label(index_),
           "has no entry for " + row_text(row) + " of table " + table_.name + ", whose key is " +
               key_text(**key));
  }

  // The row's key in the index (empty inside when the index leaves the row
  // out), or nothing when it cannot be computed: the first walk of the rows
  // read each of them whole, so that is damage it has reported.
  std::optional<std::optional<Bytes>> key_of(RowPointer row, RowState state) {
    try {
      std::uint32_t page = 0;
      const Bytes bytes = reader_.row(row, state, page);
      return keys_.key(position_, bytes, page);
    } catch (const Error& error) {
      if (error.code() == ErrorCode::Io) throw;
      return std::nullopt;
    }
  }

  void report(Tally& tally, std::uint32_t page, std::string field, std::string message) {
    if (tally.count++ == kListedPerIndex) tally.page = page;
    if (tally.count > kListedPerIndex) return;
    context_.add(Severity::Error, page, "index", std::move(field), std::move(message));
  }

  void report_unlisted(const Tally& tally, const std::string& what) {
    if (tally.count <= kListedPerIndex) return;
    context_.add(Severity::Error, tally.page, "index", index_label(index_),
                 std::to_string(tally.count - kListedPerIndex) + " " + what + " in table " + table_.name);
  }

  VerifyContext& context_;
  const VerifiedTable& table_;
  const TableDef& def_;
  const std::size_t position_;
  const RealIndexDef& index_;
  RowReader reader_;
  StoredRowKeys keys_;
  std::vector<bool> named_;  // a bit a row slot: an entry names the row
  Tally wrong_keys_;
  Tally missing_rows_;
};

}  // namespace

void IndexKeySum::add(Bytes key, RowPointer row) {
  // The key eight bytes at a time, then the pointer, each step mixed so that
  // a change to any byte of either changes the digest.
  std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ key.size();
  std::size_t i = 0;
  for (; i + 8 <= key.size(); i += 8) h = (h ^ load_u64(key.data() + i)) * 0xFF51AFD7ED558CCDULL, h ^= h >> 32;
  // The last bytes as the low bytes of one more word, read in one step.
  std::uint8_t rest[8] = {};
  std::copy(key.begin() + static_cast<std::ptrdiff_t>(i), key.end(), rest);
  h = mix(h ^ load_u64(rest));
  digests += mix(h ^ ((std::uint64_t{row.page} << 8) | row.row));
  ++count;
}

void gather_row_keys(VerifyContext& context, VerifiedTable& table, StoredRowKeys& keys,
                     const RowLayout& layout, Bytes row, std::uint32_t page, RowPointer home) {
  const TableDef& def = *table.def;
  for (std::size_t i = 0; i < def.real_indexes.size() && i < table.index_keys.size(); ++i) {
    ExpectedIndexKeys& expected = table.index_keys[i];
    if (expected.not_compared) continue;
    const RealIndexDef& index = def.real_indexes[i];
    try {
      const std::optional<Bytes> key = keys.key(i, layout, row, page);
      if (key) expected.sum.add(*key, home);
    } catch (const Error& error) {
      if (error.code() == ErrorCode::Unsupported) {
        expected.not_compared = error.message();
      } else if (is_damage(error)) {
        expected.not_compared = error.message();
        expected.damaged = true;
        context.add(Severity::Error, def.page, "index", index_label(index) + " key",
                    "of " + row_text(home) + " of table " + table.name +
                        " cannot be computed: " + error.message());
      } else {
        throw;
      }
    }
  }
}

void check_index_keys(VerifyContext& context, const VerifiedTable& table, std::size_t position,
                      const ExpectedIndexKeys& expected, const IndexKeySum& entries) {
  const RealIndexDef& index = table.def->real_indexes[position];
  if (expected.not_compared) {
    if (!expected.damaged) {
      context.add(Severity::Info, index.first_page, "index", index_label(index) + " keys",
                  "not compared with the rows of table " + table.name + ": " + *expected.not_compared);
    }
    return;
  }
  if (entries == expected.sum) return;
  KeyAudit(context, table, position).run();
}

}  // namespace jet
