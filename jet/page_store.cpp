#include "jet/page_store.h"

#include <string>

#include "jet/error.h"
#include "jet/pager.h"

namespace jet {

namespace {
// Row pointers and usage maps hold page numbers in three bytes.
constexpr std::uint32_t kMaxPageNumber = 0xFFFFFF;
}  // namespace

PageFile::PageFile(File& file, Version version, std::uint32_t database_key, std::uint32_t first_free_page)
    : file_(file), version_(version), database_key_(database_key), next_page_(first_free_page) {}

std::uint32_t PageFile::allocate_page() {
  if (next_page_ >= kMaxPageNumber) {
    throw Error(ErrorCode::LimitExceeded,
                "the database would exceed " + std::to_string(kMaxPageNumber) + " pages");
  }
  return next_page_++;
}

void PageFile::write_page(std::uint32_t number, Bytes page) {
  if (page.size() != page_size(version_)) {
    throw Error(ErrorCode::InvalidArgument, "page " + std::to_string(number) + " has " +
                                                std::to_string(page.size()) + " bytes, not " +
                                                std::to_string(page_size(version_)));
  }
  const std::uint64_t offset = std::uint64_t{number} * page_size(version_);
  if (database_key_ == 0 || number == 0) {
    file_.write_at(offset, page);
    return;
  }
  scratch_.assign(page.begin(), page.end());
  crypt_page(database_key_, number, scratch_);
  file_.write_at(offset, scratch_);
}

}  // namespace jet
