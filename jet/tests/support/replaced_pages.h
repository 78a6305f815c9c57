// The contents the atomic-replacement tests replace a file's with: an old
// file of three pages and a new one of five, written page by page.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/base/file.h"

namespace jet::testing {

inline const std::vector<std::uint8_t> kOld(3 * 2048, 0x11);
inline const std::vector<std::uint8_t> kNew(5 * 2048, 0x22);

// Writes the new contents page by page, the way the database writer does.
inline void write_pages(File& out) {
  for (std::size_t offset = 0; offset < kNew.size(); offset += 2048) {
    out.write_at(offset, Bytes(kNew).subspan(offset, 2048));
  }
}

}  // namespace jet::testing
