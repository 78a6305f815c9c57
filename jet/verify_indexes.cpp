// Index checks: each real index walked from its root (page kinds, order,
// bitmaps and prefixes, levels and sibling links, all collected by
// check_index), its pages set against the index's usage map, and every
// entry set against the rows the table really holds.
#include <unordered_set>

#include "jet/index_walk.h"
#include "jet/verify_context.h"

namespace jet {

namespace {

std::string index_label(const RealIndexDef& index) { return "index " + std::to_string(index.number); }

void check_entries(VerifyContext& context, const VerifiedTable& table, const RealIndexDef& index,
                   const IndexWalk& walk) {
  const TableDef& def = *table.def;
  std::uint64_t entries_on_live_rows = 0;
  for (const IndexEntry& entry : walk.entries) {
    std::optional<RowState> state = table.row_state(entry.row);
    std::string where = "points at row " + std::to_string(entry.row.row) + " of page " +
                        std::to_string(entry.row.page);
    if (!state) {
      context.add(Severity::Error, def.page, "index", index_label(index) + " entry",
                  where + ", which the table does not hold");
    } else if (*state == RowState::Deleted) {
      context.add(Severity::Error, def.page, "index", index_label(index) + " entry",
                  where + ", which is deleted");
    } else {
      ++entries_on_live_rows;
    }
  }
  // An index that keeps nulls has one entry per row. Only worth saying when
  // the walk itself found nothing wrong: otherwise the count is no evidence.
  if (walk.problems.empty() && !index.ignores_nulls() && entries_on_live_rows != table.live_rows) {
    context.add(Severity::Warning, def.page, "index", index_label(index) + " entry count",
                std::to_string(entries_on_live_rows) + " entries for " +
                    std::to_string(table.live_rows) + " rows");
  }
}

}  // namespace

void check_table_indexes(VerifyContext& context, VerifiedTable& table) {
  if (!table.def) return;
  const TableDef& def = *table.def;
  for (const RealIndexDef& index : def.real_indexes) {
    IndexWalkOptions options;
    options.page_count = context.page_count();
    IndexWalk walk = check_index(context.version(), def.page, index.first_page, options,
                                 context.page_source());
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
      std::unordered_set<std::uint32_t> reached(walk.pages.begin(), walk.pages.end());
      for (std::uint32_t page : mapped->pages) {
        if (reached.count(page)) continue;
        context.ledger().claim(page, {PageRole::Index, def.page}, context.findings());
        context.add(Severity::Warning, page, "index page", index_label(index),
                    "listed in the usage map of the index but not part of its tree");
      }
    }
    check_entries(context, table, index, walk);
  }
}

}  // namespace jet
