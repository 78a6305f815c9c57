#include "jet/verify/page_ledger.h"

namespace jet {

const char* to_string(PageRole role) {
  switch (role) {
    case PageRole::Unclaimed: return "nothing";
    case PageRole::Header: return "header";
    case PageRole::FreeSpaceMap: return "free-page map";
    case PageRole::TableDefinition: return "table definition";
    case PageRole::Data: return "data page";
    case PageRole::LongValue: return "long-value page";
    case PageRole::Index: return "index page";
    case PageRole::UsageMap: return "usage map page";
  }
  return "unknown";
}

std::string describe(const PageClaim& claim) {
  std::string text = to_string(claim.role);
  if (claim.table != 0) text += " of the table defined on page " + std::to_string(claim.table);
  return text;
}

bool PageLedger::claim(std::uint32_t page, PageClaim claim, FindingList& findings) {
  if (page >= claims_.size()) {
    findings.add(Severity::Error, page, "page ownership", to_string(claim.role),
                 "the " + describe(claim) + " lies beyond the end of the file (" +
                     std::to_string(claims_.size()) + " pages)");
    return false;
  }
  if (claim.table >> kTableBits != 0) {
    throw Error(ErrorCode::InvalidArgument,
                "a page claim names table page " + std::to_string(claim.table) + ", wider than 24 bits");
  }
  const PageClaim held = unpack(claims_[page]);
  if (held.role == PageRole::Unclaimed) {
    claims_[page] = pack(claim);
    return true;
  }
  if (held == claim) return true;
  findings.add(Severity::Error, page, "page ownership", to_string(claim.role),
               "used both as " + describe(held) + " and as " + describe(claim));
  return false;
}

std::vector<std::uint32_t> PageLedger::compare_with_free_map(
    const std::function<bool(std::uint32_t)>& is_free, FindingList& findings) const {
  std::vector<std::uint32_t> unaccounted;
  for (std::uint32_t page = 0; page < claims_.size(); ++page) {
    const PageClaim held = unpack(claims_[page]);
    bool free = is_free(page);
    if (held.role != PageRole::Unclaimed && free) {
      Finding finding{Severity::Error, page, "free-page map", "page bit",
                      "marked free but used as " + describe(held)};
      if (held.table != 0) finding.table = held.table;
      findings.add(std::move(finding));
    } else if (held.role == PageRole::Unclaimed && !free) {
      unaccounted.push_back(page);
    }
  }
  return unaccounted;
}

}  // namespace jet
