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

#include "jet/verify/finding.h"

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
  // The owning table's definition page; 0 for the database itself. A page
  // number of 24 bits, as every table's id holds it.
  std::uint32_t table = 0;

  bool operator==(const PageClaim&) const = default;
};

std::string describe(const PageClaim& claim);

class PageLedger {
 public:
  explicit PageLedger(std::uint32_t page_count) : claims_(page_count, 0) {}

  std::uint32_t page_count() const { return static_cast<std::uint32_t>(claims_.size()); }

  // Records that `claim` uses `page`. A page beyond the file, or one that
  // another claim holds already, becomes an error finding naming both owners
  // and returns false; the same claim made twice is harmless. A table page
  // wider than 24 bits is the caller's mistake: InvalidArgument.
  bool claim(std::uint32_t page, PageClaim claim, FindingList& findings);

  PageClaim at(std::uint32_t page) const { return unpack(claims_.at(page)); }

  // Compares the claims with the global free-page map: a claimed page the
  // map frees is an error. Returns the pages nobody claims and the map does
  // not free, for the caller to judge by their contents.
  std::vector<std::uint32_t> compare_with_free_map(const std::function<bool(std::uint32_t)>& is_free,
                                                   FindingList& findings) const;

 private:
  // A claim in four bytes: the role in the top byte, the table below it. A
  // ledger of a 1 GiB file then takes 1 MiB.
  static constexpr std::uint32_t kTableBits = 24;
  static std::uint32_t pack(PageClaim claim) {
    return static_cast<std::uint32_t>(claim.role) << kTableBits | claim.table;
  }
  static PageClaim unpack(std::uint32_t packed) {
    return PageClaim{static_cast<PageRole>(packed >> kTableBits), packed & ((1u << kTableBits) - 1)};
  }

  std::vector<std::uint32_t> claims_;
};

}  // namespace jet
