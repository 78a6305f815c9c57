#include "jet/salvage/salvage_pages.h"

#include "jet/base/error.h"
#include "jet/format/data_page.h"

namespace jet {

namespace {
constexpr std::uint8_t kDataPage = static_cast<std::uint8_t>(PageType::Data);
}

SalvagePages::SalvagePages(const Pager& pager, std::optional<std::vector<bool>> free_pages)
    : pager_(pager), free_pages_(std::move(free_pages)), kinds_(pager.page_count(), 0xFF),
      owners_(pager.page_count(), 0) {
  for (std::uint32_t n = 1; n < pager.page_count(); ++n) {
    Page page = try_page(n);
    if (!page) continue;
    kinds_[n] = (*page)[0];
    if ((*page)[0] == kDataPage && (*page)[1] == kPageMark) owners_[n] = load_u32(page->data() + kDataPageOwnerOffset);
  }
}

Page SalvagePages::try_page(std::uint32_t n) const {
  try {
    return pager_.page(n);
  } catch (const Error& e) {
    if (e.code() == ErrorCode::Io) throw;
    return nullptr;
  }
}

PageSource SalvagePages::page_source() const {
  return [this](std::uint32_t n) { return *pager_.page(n); };
}

bool SalvagePages::known_free(std::uint32_t n) const {
  return free_pages_ && n < free_pages_->size() && (*free_pages_)[n];
}

std::vector<std::uint32_t> SalvagePages::data_pages_owned_by(std::uint32_t table_page) const {
  std::vector<std::uint32_t> pages;
  for (std::uint32_t n = 1; n < owners_.size(); ++n) {
    if (kinds_[n] == kDataPage && owners_[n] == table_page && !known_free(n)) pages.push_back(n);
  }
  return pages;
}

std::optional<RecoveredDataPage> SalvagePages::data_page(const Page& holder) const {
  if (!holder || holder->size() != pager_.page_size() || (*holder)[0] != kDataPage || (*holder)[1] != kPageMark) {
    return std::nullopt;
  }
  return recover_data_page(*holder, pager_.version());
}

LongValueRowFetcher SalvagePages::long_value_rows() const {
  return [this](RowPointer at) -> std::vector<std::uint8_t> {
    Page page = at.page < page_count() ? try_page(at.page) : nullptr;
    auto recovered = data_page(page);
    if (!recovered || recovered->owner != kLongValueOwner) {
      throw_corrupt(at.page, "long-value page", "page type", "the page holds no long values");
    }
    const RecoveredRow* row = find_row(*recovered, at.row);
    if (row == nullptr || row->deleted) {
      throw_corrupt(at.page, "long-value page", "row " + std::to_string(at.row), "no such live row");
    }
    return std::vector<std::uint8_t>(row->bytes.begin(), row->bytes.end());
  };
}

}  // namespace jet
