// Reading the usage maps the other checks walk by, as findings rather than
// errors, claiming the pages that hold each map.
#include "jet/verify/verify_context.h"

namespace jet {

std::optional<UsageMap> usage_map(VerifyContext& context, RowPointer map, std::uint32_t table_page,
                                  const std::string& what) {
  std::optional<std::uint32_t> owner_page;
  if (table_page != 0) owner_page = table_page;
  UsageMap decoded;
  try {
    decoded = read_usage_map(context.version(), map, context.page_count(), context.page_source());
  } catch (const Error& error) {
    if (!is_damage(error)) throw;
    Finding finding = finding_from_error(error);
    finding.message = what + (owner_page ? " of the table on page " + std::to_string(table_page) : "") +
                      ": " + finding.message;
    context.findings().add(std::move(finding));
    return std::nullopt;
  }
  // Map rows share pages that belong to no one table; bitmap pages likewise.
  context.ledger().claim(map.page, {PageRole::UsageMap, 0}, context.findings());
  for (std::uint32_t page : decoded.map_pages) {
    if (page != 0) context.ledger().claim(page, {PageRole::UsageMap, 0}, context.findings());
  }
  // The global free-page map may cover pages past the end of the file (they
  // are free either way); every other map names pages that must exist.
  if (decoded.pages_beyond_file != 0 && table_page != 0) {
    context.add(Severity::Error, owner_page, "usage map", what,
                "names " + std::to_string(decoded.pages_beyond_file) +
                    " pages beyond the end of the file");
  }
  if (decoded.stale_slots != 0) {
    context.add(Severity::Info, map.page, "usage map", what,
                std::to_string(decoded.stale_slots) +
                    " unused reference slots name pages although their ranges lie past the end of the file");
  }
  return decoded;
}

}  // namespace jet
