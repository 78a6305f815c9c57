// Old table ids to new ones, for a writer that moves table definitions.
//
// A table's catalog Id is its definition page (bits 0-23) under flag bits
// (24-31) that stay as they were. Other objects' ids (containers, queries,
// forms) have flag bits of their own over low bits that may equal any page,
// so only a value that is the whole id of a moved table is remapped: a
// container 0x0F000005 keeps its id when the table 0x00000005 moves.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "jet/read/catalog.h"

namespace jet {

class TableIdMap {
 public:
  // The table with catalog Id old_id now has its definition at new_page.
  void add(std::int32_t old_id, std::uint32_t new_page) {
    const auto raw = static_cast<std::uint32_t>(old_id);
    ids_[old_id] = static_cast<std::int32_t>((raw & ~kObjectIdPageMask) | new_page);
    pages_[raw & kObjectIdPageMask] = new_page;
  }
  // The new id of a moved table's old id; nothing for any other value.
  std::optional<std::int32_t> id(std::int32_t old_id) const {
    const auto it = ids_.find(old_id);
    if (it == ids_.end()) return std::nullopt;
    return it->second;
  }
  // The new definition page of a moved table's old one (foreign keys name
  // their related table by page).
  std::optional<std::uint32_t> page(std::uint32_t old_page) const {
    const auto it = pages_.find(old_page);
    if (it == pages_.end()) return std::nullopt;
    return it->second;
  }

 private:
  std::map<std::int32_t, std::int32_t> ids_;
  std::map<std::uint32_t, std::uint32_t> pages_;
};

}  // namespace jet
