#include "jet/salvage_table.h"

#include <algorithm>

#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/usage_map.h"

namespace jet {

namespace {

std::string page_text(std::uint32_t page) { return "page " + std::to_string(page); }

// The row a live slot stands for: the slot's own bytes, or for an overflow
// slot the row its pointer leads to (stored as a deleted row of a data page
// of the same table).
std::optional<std::pair<Bytes, std::uint32_t>> resolve_slot(const TableContext& table, const RecoveredDataPage& page,
                                                            const RecoveredRow& row, std::uint32_t page_number,
                                                            Page& target_holder, std::string& why) {
  if (!row.overflow) return std::make_pair(row.bytes, page_number);
  if (row.bytes.size() < 4) {
    why = "its overflow pointer is cut short";
    return std::nullopt;
  }
  RowPointer target = RowPointer::from_u32(load_u32(row.bytes.data()));
  target_holder = target.page < table.pages.page_count() ? table.pages.try_page(target.page) : nullptr;
  auto target_page = table.pages.data_page(target_holder);
  if (!target_page || target_page->owner != table.def.page) {
    why = "its overflow pointer leads to " + page_text(target.page) + ", which is no data page of the table";
    return std::nullopt;
  }
  const RecoveredRow* moved = find_row(*target_page, target.row);
  if (moved == nullptr || moved->overflow) {
    why = "its overflow pointer leads to a missing row " + std::to_string(target.row) + " of " +
          page_text(target.page);
    return std::nullopt;
  }
  (void)page;
  return std::make_pair(moved->bytes, target.page);
}

RowContext row_context(const TableContext& table, const LongValueRowFetcher& fetch) {
  return RowContext{table.def, table.code_page, fetch, table.pages.page_count() * 256ull};
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

std::vector<RowPointer> salvage_table_rows(const TableContext& table, SalvageLog& log) {
  std::vector<RowPointer> kept;
  std::size_t dropped = 0;
  const LongValueRowFetcher fetch = table.pages.long_value_rows();
  const RowContext context = row_context(table, fetch);
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
    for (const RecoveredRow& row : page->rows) {
      if (row.deleted) continue;
      Page target_holder;
      std::string why;
      auto bytes = resolve_slot(table, *page, row, page_number, target_holder, why);
      try {
        if (!bytes) throw_corrupt(page_number, "row", "overflow pointer", why);
        ProvedRow proved = prove_row(bytes->first, bytes->second, context);
        for (const auto& cut : proved.cuts) {
          log.record(SalvageCode::LongValueCut, table.name,
                     "Row " + std::to_string(row.number) + " of " + page_text(page_number) + ", " + cut +
                         "; the value was kept as far as it is sound",
                     record_id(page_number, row.number));
        }
        kept.push_back(RowPointer{page_number, row.number});
      } catch (const Error& e) {
        if (e.code() == ErrorCode::Io) throw;
        ++dropped;
        log.record(SalvageCode::RowDropped, table.name,
                   "Row " + std::to_string(row.number) + " of " + page_text(page_number) +
                       " does not decode: " + e.what(),
                   record_id(page_number, row.number));
      }
    }
  }
  if (kept.size() + dropped < table.def.row_count) {
    log.record(SalvageCode::RowDropped, table.name,
               std::to_string(table.def.row_count - kept.size() - dropped) + " of the " +
                   std::to_string(table.def.row_count) + " rows the table's definition counts were not found");
  }
  return kept;
}

std::optional<ProvedRow> read_salvaged_row(const TableContext& table, RowPointer slot) {
  const LongValueRowFetcher fetch = table.pages.long_value_rows();
  Page holder = table.pages.try_page(slot.page);
  auto page = table.pages.data_page(holder);
  if (!page) return std::nullopt;
  const RecoveredRow* row = find_row(*page, slot.row);
  if (row == nullptr) return std::nullopt;
  Page target_holder;
  std::string why;
  auto bytes = resolve_slot(table, *page, *row, slot.page, target_holder, why);
  if (!bytes) return std::nullopt;
  try {
    return prove_row(bytes->first, bytes->second, row_context(table, fetch));
  } catch (const Error& e) {
    if (e.code() == ErrorCode::Io) throw;
    return std::nullopt;
  }
}

}  // namespace jet
