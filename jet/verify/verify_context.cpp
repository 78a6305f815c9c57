#include "jet/verify/verify_context.h"

#include <algorithm>

namespace jet {

std::span<RowState> RowStates::add_page(std::uint32_t page, std::size_t slots) {
  if (!pages_.empty() && page <= pages_.back()) return {};
  if (starts_.empty()) starts_.push_back(0);
  const std::size_t bucket = (page - (pages_.empty() ? page : pages_.front())) >> kBucketShift;
  // The runs up to this page's that the last page added did not reach start
  // their search here.
  buckets_.resize(bucket + 1, static_cast<std::uint32_t>(pages_.size()));
  pages_.push_back(page);
  states_.resize(states_.size() + slots, RowState::Broken);
  starts_.push_back(static_cast<std::uint32_t>(states_.size()));
  return std::span<RowState>(states_).last(slots);
}

std::optional<std::size_t> RowStates::slot_of(RowPointer pointer) const {
  std::size_t k = last_;
  if (k >= pages_.size() || pages_[k] != pointer.page) {
    if (pages_.empty() || pointer.page < pages_.front()) return std::nullopt;
    const std::size_t bucket = (pointer.page - pages_.front()) >> kBucketShift;
    if (bucket >= buckets_.size()) return std::nullopt;
    const auto from = pages_.begin() + buckets_[bucket];
    const auto to = bucket + 1 < buckets_.size() ? pages_.begin() + buckets_[bucket + 1] : pages_.end();
    const auto it = std::lower_bound(from, to, pointer.page);
    if (it == to || *it != pointer.page) return std::nullopt;
    k = static_cast<std::size_t>(it - pages_.begin());
    last_ = k;
  }
  const std::size_t slot = starts_[k] + std::size_t{pointer.row};
  if (slot >= starts_[k + 1]) return std::nullopt;
  return slot;
}

void RowStates::release() {
  last_ = 0;
  pages_ = {};
  starts_ = {};
  states_ = {};
  buckets_ = {};
}

VerifyContext::VerifyContext(const File& file, Header header, FindingList& findings)
    : header_(std::move(header)),
      // The checks go through the file mostly in page order.
      pager_(file, header_.version, header_.database_key, Pager::kDefaultCachePages,
             Pager::kPassReadAheadPages),
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

VerifiedTable* VerifyContext::add_table(std::string name, std::uint32_t definition_page) {
  if (!table_by_page_.emplace(definition_page, tables_.size()).second) return nullptr;
  VerifiedTable& table = tables_.emplace_back();
  table.name = std::move(name);
  table.definition_page = definition_page;
  return &table;
}

const VerifiedTable* VerifyContext::table_at(std::uint32_t definition_page) const {
  auto it = table_by_page_.find(definition_page);
  return it == table_by_page_.end() ? nullptr : &tables_[it->second];
}

}  // namespace jet
