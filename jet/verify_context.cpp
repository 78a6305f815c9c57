#include "jet/verify_context.h"

namespace jet {

std::optional<RowState> VerifiedTable::row_state(RowPointer pointer) const {
  auto it = rows.find(pointer.page);
  if (it == rows.end() || pointer.row >= it->second.size()) return std::nullopt;
  return it->second[pointer.row];
}

VerifyContext::VerifyContext(const File& file, Header header, FindingList& findings)
    : header_(std::move(header)),
      pager_(file, header_.version, header_.database_key),
      findings_(findings),
      ledger_(pager_.page_count()) {}

Page VerifyContext::page(std::uint32_t n, const std::string& structure, const std::string& field) {
  try {
    return pager_.page(n);
  } catch (const Error& error) {
    if (!is_damage(error)) throw;
    findings_.add(Severity::Error, n, structure, field, error.message());
    return nullptr;
  }
}

PageSource VerifyContext::page_source() const {
  return [this](std::uint32_t n) { return *pager_.page(n); };
}

std::optional<std::uint8_t> VerifyContext::page_type(std::uint32_t n) const {
  if (n >= pager_.page_count()) return std::nullopt;
  return (*pager_.page(n))[0];
}

const VerifiedTable* VerifyContext::table_at(std::uint32_t definition_page) const {
  for (const VerifiedTable& table : tables_) {
    if (table.definition_page == definition_page) return &table;
  }
  return nullptr;
}

}  // namespace jet
