// Page usage checks: the global free-page map (row 0 of page 1) set against
// what the walk claimed, and a judgement of each page nobody claims.
#include <algorithm>

#include "jet/format/data_page.h"
#include "jet/verify/verify_context.h"

namespace jet {

namespace {

constexpr std::uint32_t kFreeMapPage = 1;
constexpr const char* kStructure = "page usage";

bool is_blank(const std::vector<std::uint8_t>& page) {
  return std::all_of(page.begin(), page.end(), [](std::uint8_t b) { return b == 0; });
}

// What an unclaimed page holds, and whether Access leaves such pages behind
// in healthy files (then it is worth a note, not a warning).
struct Judgement {
  Severity severity;
  std::string message;
  std::optional<std::uint32_t> table = std::nullopt;  // the table whose rows are lost
};

Judgement judge_unclaimed(VerifyContext& context, std::uint32_t page_number) {
  Page page = context.pager().page(page_number);
  const std::vector<std::uint8_t>& bytes = *page;
  if (is_blank(bytes)) return {Severity::Info, "a blank page that no structure uses"};
  std::uint8_t type = bytes[0];
  switch (static_cast<PageType>(type)) {
    case PageType::DiscardedTableDefinition:
      return {Severity::Info, "a discarded table definition (page kind 0x08)"};
    case PageType::DiscardedLongValue:
      return {Severity::Info, "a discarded long-value page (page kind 0x09)"};
    case PageType::TableDefinition:
      return {Severity::Info, "the definition of a table the catalog does not name (a dropped table)"};
    case PageType::Data: {
      std::uint32_t owner = load_u32(bytes.data() + 4);
      if (owner == kLongValueOwner) return {Severity::Info, "a long-value page no table reaches"};
      // Pages of usage-map rows carry no owner.
      if (owner == 0) return {Severity::Info, "a page of usage maps no table uses"};
      if (context.table_at(owner) == nullptr) {
        return {Severity::Info, "a data page of a table the catalog does not name (a dropped table)"};
      }
      return {Severity::Warning,
              "a data page of the table defined on page " + std::to_string(owner) +
                  " that its usage map does not list: its rows are lost",
              owner};
    }
    case PageType::IndexIntermediate:
    case PageType::IndexLeaf:
      return {Severity::Info, "an index page no index reaches"};
    case PageType::UsageMap:
      return {Severity::Info, "a usage map page no map reaches"};
    default:
      return {Severity::Warning, "a page of unknown type " + std::to_string(type) + " that no structure uses"};
  }
}

}  // namespace

void check_page_usage(VerifyContext& context) {
  PageLedger& ledger = context.ledger();
  FindingList& findings = context.findings();
  ledger.claim(0, {PageRole::Header, 0}, findings);

  // The free-page map is a usage map like a table's, kept in row 0 of page
  // 1; it counts every page it does not cover as free.
  auto free_map = usage_map(context, RowPointer{kFreeMapPage, 0}, 0, "global free-page map");
  if (!free_map) return;
  Version version = context.version();
  std::vector<std::uint32_t> unaccounted = ledger.compare_with_free_map(
      [&](std::uint32_t page) { return free_map->contains(page) || !free_map->covers(page, version); },
      findings);
  // A run of neighbouring pages judged alike is one finding, so that a
  // freed multi-page long value reads as one note rather than hundreds.
  for (std::size_t i = 0; i < unaccounted.size();) {
    Judgement judgement = judge_unclaimed(context, unaccounted[i]);
    std::size_t end = i + 1;
    while (end < unaccounted.size() && unaccounted[end] == unaccounted[end - 1] + 1) {
      Judgement next = judge_unclaimed(context, unaccounted[end]);
      if (next.severity != judgement.severity || next.message != judgement.message) break;
      ++end;
    }
    std::size_t run = end - i;
    std::string message = judgement.message;
    if (run > 1) {
      message += " (pages " + std::to_string(unaccounted[i]) + " to " + std::to_string(unaccounted[end - 1]) +
                 ", " + std::to_string(run) + " pages)";
    }
    Finding finding{judgement.severity, unaccounted[i], kStructure, "owner", message};
    finding.table = judgement.table;
    findings.add(std::move(finding));
    i = end;
  }
}

}  // namespace jet
