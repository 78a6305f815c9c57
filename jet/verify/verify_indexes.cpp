// Index checks: each real index walked from its root (page kinds, order,
// bitmaps and prefixes, levels and sibling links, all collected by
// check_index_streaming), its pages set against the index's usage map, and
// every entry set against the rows the table really holds: that the row
// exists and that the entry's key is the row's (verify_index_keys.h).
//
// The entries stream past as the walk reads them: an index of millions of
// entries is never held, only the few that point at no live row.
#include <algorithm>

#include "jet/read/index_walk.h"
#include "jet/verify/verify_context.h"

namespace jet {

namespace {

std::string index_label(const RealIndexDef& index) { return "index " + std::to_string(index.number); }

// What the entries of one index point at, tallied as they stream past.
class EntryTally {
 public:
  explicit EntryTally(const VerifiedTable& table) : table_(table) {}

  void take(const IndexEntry& entry) {
    std::optional<RowState> state = table_.row_state(entry.row);
    if (!state) {
      bad_.push_back(BadEntry{entry.row, false});
    } else if (*state == RowState::Deleted) {
      bad_.push_back(BadEntry{entry.row, true});
    } else {
      ++on_live_rows_;
      if (*state != RowState::Broken) keys_.add(entry.key, entry.row);
    }
  }

  // The findings about the entries, once the walk's own are reported.
  void report(VerifyContext& context, const RealIndexDef& index, const IndexWalk& walk) const {
    const TableDef& def = *table_.def;
    for (const BadEntry& entry : bad_) {
      context.add(Severity::Error, def.page, "index", index_label(index) + " entry",
                  "points at row " + std::to_string(entry.row.row) + " of page " +
                      std::to_string(entry.row.page) +
                      (entry.deleted ? ", which is deleted" : ", which the table does not hold"));
    }
    // An index that keeps nulls has one entry per row. Only worth saying
    // when the walk itself found nothing wrong: otherwise the count is no
    // evidence.
    if (walk.problems.empty() && !index.ignores_nulls() && on_live_rows_ != table_.live_rows) {
      context.add(Severity::Warning, def.page, "index", index_label(index) + " entry count",
                  std::to_string(on_live_rows_) + " entries for " + std::to_string(table_.live_rows) +
                      " rows");
    }
  }

  const IndexKeySum& keys() const { return keys_; }

 private:
  struct BadEntry {
    RowPointer row;
    bool deleted;  // else the table holds no such row
  };

  const VerifiedTable& table_;
  std::uint64_t on_live_rows_ = 0;
  std::vector<BadEntry> bad_;
  IndexKeySum keys_;  // over the entries that point at rows which decoded
};

}  // namespace

void check_table_indexes(VerifyContext& context, VerifiedTable& table) {
  if (!table.def) return;
  const TableDef& def = *table.def;
  for (std::size_t i = 0; i < def.real_indexes.size(); ++i) {
    const RealIndexDef& index = def.real_indexes[i];
    IndexWalkOptions options;
    options.page_count = context.page_count();
    EntryTally tally(table);
    IndexWalk walk = check_index_streaming(context.version(), def.page, index.first_page, options,
                                           context.page_source(),
                                           [&](IndexEntry& entry) { tally.take(entry); });
    for (const IndexProblem& problem : walk.problems) {
      context.add(Severity::Error, problem.page, "index page",
                  index_label(index) + (problem.field.empty() ? "" : ", " + problem.field),
                  problem.what + " (table defined on page " + std::to_string(def.page) + ")");
    }
    if (walk.problems_truncated) {
      context.add(Severity::Error, index.first_page, "index page", index_label(index),
                  "more problems than listed");
    }
    for (std::uint32_t page : walk.pages) {
      context.ledger().claim(page, {PageRole::Index, def.page}, context.findings());
    }
    // The index's usage map names its pages; one the walk never reached is
    // lost to the index.
    if (auto mapped = usage_map(context, index.usage_map, def.page,
                                "usage map of " + index_label(index))) {
      std::vector<std::uint32_t> reached = std::move(walk.pages);
      std::sort(reached.begin(), reached.end());
      for (std::uint32_t page : mapped->pages) {
        if (std::binary_search(reached.begin(), reached.end(), page)) continue;
        context.ledger().claim(page, {PageRole::Index, def.page}, context.findings());
        context.add(Severity::Warning, page, "index page", index_label(index),
                    "listed in the usage map of the index but not part of its tree");
      }
    }
    tally.report(context, index, walk);
    // Empty when the rows were not walked (their usage map did not decode).
    if (i < table.index_keys.size()) check_index_keys(context, table, i, table.index_keys[i], tally.keys());
  }
  // No later check looks at the table's rows again.
  table.rows.release();
}

}  // namespace jet
