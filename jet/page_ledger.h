// Who uses which page: the verifier's record of page ownership.
//
// Every structure the verifier walks claims the pages it reaches (a table
// its definition pages, data pages, long-value pages, index pages and usage
// map pages). A page claimed twice is shared by two structures that each
// believe they own it; a claimed page marked free in the global free-page
// map will be handed out again and overwritten; a page nobody claims and the
// map does not free is lost space.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jet/finding.h"

namespace jet {

enum class PageRole : std::uint8_t {
  Unclaimed,
  Header,
  FreeSpaceMap,
  TableDefinition,
  Data,
  LongValue,
  Index,
  UsageMap,
};

const char* to_string(PageRole role);

struct PageClaim {
  PageRole role = PageRole::Unclaimed;
  std::uint32_t table = 0;  // the owning table's definition page; 0 for the database itself

  bool operator==(const PageClaim&) const = default;
};

std::string describe(const PageClaim& claim);

class PageLedger {
 public:
  explicit PageLedger(std::uint32_t page_count) : claims_(page_count) {}

  std::uint32_t page_count() const { return static_cast<std::uint32_t>(claims_.size()); }

  // Records that `claim` uses `page`. A page beyond the file, or one that
  // another claim holds already, becomes an error finding naming both owners
  // and returns false; the same claim made twice is harmless.
  bool claim(std::uint32_t page, PageClaim claim, FindingList& findings);

  const PageClaim& at(std::uint32_t page) const { return claims_.at(page); }

  // Compares the claims with the global free-page map: a claimed page the
  // map frees is an error. Returns the pages nobody claims and the map does
  // not free, for the caller to judge by their contents.
  std::vector<std::uint32_t> compare_with_free_map(const std::function<bool(std::uint32_t)>& is_free,
                                                   FindingList& findings) const;

 private:
  std::vector<PageClaim> claims_;
};

}  // namespace jet
