#include "jet/salvage/salvage_table.h"

#include <algorithm>
#include <set>

#include "jet/base/error.h"
#include "jet/format/data_page.h"
#include "jet/format/usage_map.h"

namespace jet {

namespace {

std::string page_text(std::uint32_t page) { return "page " + std::to_string(page); }

// The row a live slot stands for: the slot's own bytes, or for an overflow
// slot the row its pointers lead to (stored as a deleted row of a data page
// of the same table). `target_holder` keeps that row's page.
std::pair<Bytes, std::uint32_t> resolve_slot(const TableContext& table, const RecoveredRow& row,
                                             std::uint32_t page_number, Page& target_holder) {
  if (!row.overflow) return std::make_pair(row.bytes, page_number);
  const RowPointer home{page_number, row.number};
  const auto refuse = [&](RowPointer target, const std::string& what) {
    throw_corrupt(page_number, "data page", "row " + std::to_string(row.number) + " overflow pointer",
                  "leads to row " + std::to_string(target.row) + " of " + page_text(target.page) + ", " + what);
  };
  std::optional<RecoveredDataPage> target_page;
  const MovedRow moved = follow_overflow_row(home, row.bytes, [&](RowPointer target) {
    target_holder = target.page < table.pages.page_count() ? table.pages.try_page(target.page) : nullptr;
    target_page = table.pages.data_page(target_holder);
    if (!target_page || target_page->owner != table.def.page) refuse(target, "which is no data page of the table");
    const RecoveredRow* moved_row = find_row(*target_page, target.row);
    if (moved_row == nullptr) refuse(target, "which is missing");
    return SlotRow{moved_row->bytes, moved_row->overflow};
  });
  return std::make_pair(moved.bytes, moved.at.page);
}

RowContext row_context(const TableContext& table, const LongValueRowFetcher& fetch) {
  return RowContext{table.def, table.code_page, fetch, table.pages.page_count() * 256ull, table.untrusted_columns};
}

}  // namespace

std::vector<std::uint32_t> salvage_table_pages(const TableContext& table, SalvageLog& log) {
  const SalvagePages& pages = table.pages;
  std::string why;
  try {
    UsageMap owned = read_usage_map(pages.pager().version(), table.def.owned_pages, pages.page_count(),
                                    pages.page_source());
    if (owned.pages_beyond_file != 0) {
      log.record(SalvageCode::TruncatedFile, table.name,
                 "The table's usage map names " + std::to_string(owned.pages_beyond_file) +
                     " pages past the end of the file; their rows are lost");
    }
    return owned.pages;
  } catch (const Error& e) {
    if (e.code() == ErrorCode::Io) throw;
    why = e.what();
  }
  log.record(SalvageCode::UsageMapRebuilt, table.name,
             "The table's usage map could not be used (" + why +
                 "); its pages were found from the data pages that name it as their owner");
  return pages.data_pages_owned_by(table.def.page);
}

namespace {

// A row cut short by a damaged neighbour's offset is tried up to this many
// other bounds, never past a row that proved on its own.
constexpr std::size_t kMostOtherBounds = 8;

// The bytes of a row that is not an overflow slot, from its start to end.
Bytes row_to(const RecoveredDataPage& page, const RecoveredRow& row, std::size_t end) {
  std::size_t start = row_start(page, row);
  return page.page.subspan(start, end - start);
}

// How one row of a page proved.
struct Proof {
  const RecoveredRow* row = nullptr;
  std::optional<ProvedRow> proved;  // nothing: it does not decode
  std::string why;                  // why not
  std::optional<std::size_t> end;   // set when proved up to another bound than its own
  std::size_t start = 0;
  std::size_t extent = 0;           // bytes it covers on its page

  // A row kept with a long value cut may have been cut short by a damaged
  // offset rather than by damaged long-value pages.
  bool whole() const { return proved && proved->cuts.empty(); }
};

class PageProver {
 public:
  PageProver(const TableContext& table, const RowContext& context, SalvageLog& log, SalvagedRows& kept)
      : table_(table), context_(context), log_(log), kept_(kept) {}

  // Proves the live rows of one page; returns how many were dropped.
  std::size_t prove(const RecoveredDataPage& page, std::uint32_t page_number) {
    std::vector<Proof> proofs;
    for (const RecoveredRow& row : page.rows) {
      if (!row.deleted) proofs.push_back(prove_own(page, row, page_number));
    }
    drop_rows_inside_others(proofs, page_number);
    drop_guessed_ends(proofs);
    std::set<std::size_t> proven_starts;
    for (const Proof& proof : proofs) {
      if (proof.whole()) proven_starts.insert(proof.start);
    }
    // Only a page whose offsets show damage has rows cut short by it; on
    // another, a row read past its own end would take in its neighbours.
    bool offsets_damaged = page.offsets_rebuilt || page.starts_out_of_order;
    for (Proof& proof : proofs) {
      if (offsets_damaged && !proof.whole() && !proof.row->overflow) {
        try_other_bounds(page, page_number, proven_starts, proof);
      }
    }
    std::size_t dropped = 0;
    std::vector<RowPointer> slots;
    for (const Proof& proof : proofs) {
      RowPointer at{page_number, proof.row->number};
      if (!proof.proved) {
        ++dropped;
        log_.record(SalvageCode::RowDropped, table_.name,
                    "Row " + std::to_string(at.row) + " of " + page_text(page_number) + " does not decode: " + proof.why,
                    record_id(page_number, at.row));
        continue;
      }
      keep(*proof.proved, at);
      slots.push_back(at);
      if (proof.end) {
        kept_.ends[at] = static_cast<std::uint16_t>(*proof.end);
        log_.record(SalvageCode::RowOffsetsRebuilt, table_.name,
                    "Row " + std::to_string(at.row) + " of " + page_text(page_number) +
                        " was cut short by a damaged row offset and was read to its true end",
                    record_id(page_number, at.row));
      }
    }
    kept_.slots.insert(kept_.slots.end(), slots.begin(), slots.end());
    return dropped;
  }

 private:
  Proof prove_own(const RecoveredDataPage& page, const RecoveredRow& row, std::uint32_t page_number) {
    Proof proof;
    proof.row = &row;
    proof.start = row_start(page, row);
    proof.extent = row.bytes.size();
    Page target_holder;
    try {
      const auto [bytes, at_page] = resolve_slot(table_, row, page_number, target_holder);
      proof.proved = prove_row(bytes, at_page, context_);
    } catch (const Error& e) {
      if (e.code() == ErrorCode::Io) throw;
      proof.why = e.what();
    }
    return proof;
  }

  // A row out of slot order that starts inside a row in order which proved
  // is the remains of a damaged offset, not a row.
  void drop_rows_inside_others(std::vector<Proof>& proofs, std::uint32_t page_number) {
    for (Proof& inner : proofs) {
      if (!inner.proved || inner.row->in_order) continue;
      for (const Proof& outer : proofs) {
        if (outer.whole() && outer.row->in_order && outer.start < inner.start &&
            inner.start < outer.start + outer.extent) {
          inner.proved.reset();
          inner.why = "it starts inside row " + std::to_string(outer.row->number) + " of " + page_text(page_number);
          break;
        }
      }
    }
  }

  // A row whose end is a guess is kept only when it proves whole: proving
  // with a long value cut says the guess took in another row's bytes.
  void drop_guessed_ends(std::vector<Proof>& proofs) {
    for (Proof& proof : proofs) {
      if (proof.row->end_unknown && proof.proved && !proof.whole()) {
        proof.proved.reset();
        proof.why = "the row-offset entry that says where it ends is damaged";
      }
    }
  }

  // Tries the row's other bounds, nearest first, not past a row that proved
  // whole: the first whole proof wins; failing that, a first proof of a row
  // that had none.
  void try_other_bounds(const RecoveredDataPage& page, std::uint32_t page_number,
                        const std::set<std::size_t>& proven_starts, Proof& proof) {
    std::size_t tries = 0;
    for (std::size_t end : other_bounds(page, *proof.row)) {
      auto blocking = proven_starts.upper_bound(proof.start);
      if ((blocking != proven_starts.end() && *blocking < end) || ++tries > kMostOtherBounds) return;
      ProvedRow proved;
      try {
        proved = prove_row(row_to(page, *proof.row, end), page_number, context_);
      } catch (const Error& e) {
        if (e.code() == ErrorCode::Io) throw;
        continue;
      }
      if (proved.cuts.empty() || (!proof.proved && !proof.row->end_unknown)) {
        bool whole = proved.cuts.empty();
        proof.proved = std::move(proved);
        proof.end = end;
        if (whole) return;
      }
    }
  }

  void keep(const ProvedRow& proved, RowPointer at) {
    for (const auto& cut : proved.cuts) {
      log_.record(SalvageCode::LongValueCut, table_.name,
                  "Row " + std::to_string(at.row) + " of " + page_text(at.page) + ", " + cut +
                      "; the value was kept as far as it is sound",
                  record_id(at.page, at.row));
    }
  }

  const TableContext& table_;
  const RowContext& context_;
  SalvageLog& log_;
  SalvagedRows& kept_;
};

}  // namespace

SalvagedRows salvage_table_rows(const TableContext& table, SalvageLog& log) {
  SalvagedRows kept;
  std::size_t dropped = 0;
  const LongValueRowFetcher fetch = table.pages.long_value_rows();
  const RowContext context = row_context(table, fetch);
  PageProver prover(table, context, log, kept);
  for (std::uint32_t page_number : salvage_table_pages(table, log)) {
    Page holder = table.pages.try_page(page_number);
    auto page = table.pages.data_page(holder);
    if (!page || page->owner != table.def.page) {
      log.record(SalvageCode::PageDropped, table.name,
                 "The table's " + page_text(page_number) + " is no longer one of its data pages; its rows are lost");
      continue;
    }
    if (page->offsets_rebuilt) {
      log.record(SalvageCode::RowOffsetsRebuilt, table.name,
                 "The row-offset table of " + page_text(page_number) + " was damaged and rebuilt from its rows");
    }
    for (std::uint8_t slot : page->lost_slots) {
      ++dropped;
      log.record(SalvageCode::RowDropped, table.name,
                 "Row " + std::to_string(slot) + " of " + page_text(page_number) + " has no usable offset",
                 record_id(page_number, slot));
    }
    dropped += prover.prove(*page, page_number);
  }
  std::size_t found = kept.slots.size() + dropped;
  if (found < table.def.row_count) {
    log.record(SalvageCode::RowDropped, table.name,
               std::to_string(table.def.row_count - found) + " of the " + std::to_string(table.def.row_count) +
                   " rows the table's definition counts were not found");
  }
  return kept;
}

std::optional<ProvedRow> read_salvaged_row(const TableContext& table, RowPointer slot,
                                           std::optional<std::uint16_t> end) {
  const LongValueRowFetcher fetch = table.pages.long_value_rows();
  Page holder = table.pages.try_page(slot.page);
  auto page = table.pages.data_page(holder);
  if (!page) return std::nullopt;
  const RecoveredRow* row = find_row(*page, slot.row);
  if (row == nullptr) return std::nullopt;
  if (end && (row->overflow || *end <= row_start(*page, *row) || *end > page->page.size())) return std::nullopt;
  Page target_holder;
  try {
    const auto [bytes, at_page] = end ? std::make_pair(row_to(*page, *row, *end), slot.page)
                                      : resolve_slot(table, *row, slot.page, target_holder);
    return prove_row(bytes, at_page, row_context(table, fetch));
  } catch (const Error& e) {
    if (e.code() == ErrorCode::Io) throw;
    return std::nullopt;
  }
}

}  // namespace jet
