// The state one verification shares between its check families
// (verify_*.cpp): the file's pages, the findings, the page ledger and what
// the table walks learnt that later checks need (which rows exist).
//
// Internal to the verifier.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/format/header.h"
#include "jet/format/row.h"
#include "jet/format/stored_row_key.h"
#include "jet/format/table_def.h"
#include "jet/format/usage_map.h"
#include "jet/format/value.h"
#include "jet/read/pager.h"
#include "jet/verify/finding.h"
#include "jet/verify/page_ledger.h"
#include "jet/verify/verify_index_keys.h"

namespace jet {

// What a row slot of a table's data page held when the rows were walked.
enum class RowState : std::uint8_t { Live, Deleted, Moved, Broken };

// The row slots of a table's data pages: what an index entry may point at.
// A byte a slot and two words a page, in flat arrays rather than a node per
// page, so that a table of millions of rows costs little more than its slot
// count in memory. Every entry of every index is looked up here: a word for
// each run of kBucketPages page numbers narrows the search for an entry's
// page to the few pages of its run.
class RowStates {
 public:
  // The slots of `page`, all Broken, for the walk to fill in. Pages are added
  // in ascending order (the order a usage map lists them in); a page not
  // above the last one added gets no slots.
  std::span<RowState> add_page(std::uint32_t page, std::size_t slots);

  // The state of one row, or nothing when no page added holds such a row.
  std::optional<RowState> at(RowPointer pointer) const {
    const std::optional<std::size_t> slot = slot_of(pointer);
    if (!slot) return std::nullopt;
    return states_[*slot];
  }

  // Every slot has a number below slot_count(), in page and row order: an
  // index into arrays a check keeps beside the states.
  std::size_t slot_count() const { return states_.size(); }
  std::optional<std::size_t> slot_of(RowPointer pointer) const;

  // Calls visit(pointer, state) for every slot, in page and row order.
  template <typename Visit>
  void for_each(Visit&& visit) const {
    for (std::size_t k = 0; k < pages_.size(); ++k) {
      for (std::uint32_t slot = starts_[k]; slot < starts_[k + 1]; ++slot) {
        visit(RowPointer{pages_[k], static_cast<std::uint8_t>(slot - starts_[k])}, states_[slot]);
      }
    }
  }

  // Gives the memory back once no check needs the states any more.
  void release();

 private:
  static constexpr unsigned kBucketShift = 6;  // runs of 64 pages

  std::vector<std::uint32_t> pages_;   // ascending
  std::vector<std::uint32_t> starts_;  // page k's slots: states_[starts_[k], starts_[k + 1])
  std::vector<RowState> states_;
  // buckets_[b]: the first k whose page is at or above
  // pages_[0] + (b << kBucketShift); one for every run up to the last page's.
  std::vector<std::uint32_t> buckets_;
  // Where the last lookup found its page: the entries of an index often
  // point at one page many times running.
  mutable std::size_t last_ = 0;
};

// A table as the verifier met it.
struct VerifiedTable {
  std::string name;  // from the catalog
  bool system = false;  // a system table by the catalog's flags or name
  std::uint32_t definition_page = 0;
  std::optional<TableDef> def;  // empty when the definition did not decode
  RowStates rows;  // filled by check_table_rows, released by check_table_indexes
  std::uint64_t live_rows = 0;
  // Per real index, in definition order: the keys the rows say it holds,
  // gathered by check_table_rows for check_table_indexes.
  std::vector<ExpectedIndexKeys> index_keys;

  // The state of one row, or nothing when the table has no such row.
  std::optional<RowState> row_state(RowPointer pointer) const { return rows.at(pointer); }
};

class VerifyContext {
 public:
  VerifyContext(const File& file, Header header, FindingList& findings);

  Version version() const { return header_.version; }
  const Header& header() const { return header_; }
  std::uint32_t page_count() const { return pager_.page_count(); }
  const Pager& pager() const { return pager_; }
  FindingList& findings() { return findings_; }
  PageLedger& ledger() { return ledger_; }

  // Page n, or nothing (and a finding) when it cannot be read.
  Page page(std::uint32_t n, const std::string& structure, const std::string& field);
  // A page source for the decoders that take one: raises on a bad page.
  PageSource page_source() const;

  // The first byte of page n, or nothing when it cannot be read.
  std::optional<std::uint8_t> page_type(std::uint32_t n) const;

  void add(Severity severity, std::optional<std::uint32_t> page, std::string structure,
           std::string field, std::string message) {
    findings_.add(severity, page, std::move(structure), std::move(field), std::move(message));
  }

  // A new table defined on `definition_page`, or nullptr when one is known
  // there already. References stay valid: tables are only ever added.
  VerifiedTable* add_table(std::string name, std::uint32_t definition_page);
  const VerifiedTable* table_at(std::uint32_t definition_page) const;

 private:
  Header header_;
  Pager pager_;
  FindingList& findings_;
  PageLedger ledger_;
  std::deque<VerifiedTable> tables_;
  std::unordered_map<std::uint32_t, std::size_t> table_by_page_;
};

// Whether an error met while walking the file is damage to report (every
// decode failure) rather than a failure to read the file at all (Io).
inline bool is_damage(const Error& error) { return error.code() != ErrorCode::Io; }

// The usage map `map` points at, or nothing (with a finding) when it does not
// decode. Claims the pages that hold the map itself. `what` names the map in
// findings ("owned pages map"); table_page is 0 for the global free-page map.
std::optional<UsageMap> usage_map(VerifyContext& context, RowPointer map, std::uint32_t table_page,
                                  const std::string& what);

// Receives each row of a table that decodes, with its values in column order.
using RowVisitor = std::function<void(const TableDef& def, const std::vector<Value>& values)>;

// Adds the row's key in each real index of the table to table.index_keys.
// `home` is the pointer an index entry names the row by (for a moved row,
// its slot, not where its bytes are now). A key that cannot be computed
// turns the comparison off for its index, with an error finding when that
// is damage.
void gather_row_keys(VerifyContext& context, VerifiedTable& table, StoredRowKeys& keys,
                     const RowLayout& layout, Bytes row, std::uint32_t page, RowPointer home);

// Sets the entries of the table's real index at `position`, summed as its
// walk streamed them past, against the keys its rows have; on a difference
// walks the index again to report each entry whose key is not its row's,
// and each row missing from it.
void check_index_keys(VerifyContext& context, const VerifiedTable& table, std::size_t position,
                      const ExpectedIndexKeys& expected, const IndexKeySum& entries);

// The check families, in the order verify() runs them.
void check_header(VerifyContext& context, Bytes page0);
void check_table_definition(VerifyContext& context, VerifiedTable& table);
void check_table_rows(VerifyContext& context, VerifiedTable& table,
                      const RowVisitor& visitor = nullptr);
void check_table_indexes(VerifyContext& context, VerifiedTable& table);
void check_page_usage(VerifyContext& context);

}  // namespace jet
