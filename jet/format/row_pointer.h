// A pointer to one row of one page, as Jet stores it in 4 bytes.
//
// Usage-map pointers in a table definition, long-value pointers and
// overflow-row slots all use this form: the low byte is the row number on the
// page, the upper three bytes the page number. Index entries store pages
// big-endian instead and have their own encoding.
//
//   byte 0     row number (0-255)
//   bytes 1-3  page number, little-endian
#pragma once

#include <compare>
#include <cstdint>

#include "jet/base/bytes.h"

namespace jet {

struct RowPointer {
  std::uint32_t page = 0;  // 24 bits
  std::uint8_t row = 0;

  // The all-zero pointer: page 0 is the header page, so no row lives there.
  bool is_null() const { return page == 0 && row == 0; }

  static RowPointer from_u32(std::uint32_t raw) {
    return RowPointer{raw >> 8, static_cast<std::uint8_t>(raw & 0xFF)};
  }
  std::uint32_t to_u32() const { return (page << 8) | row; }

  friend auto operator<=>(const RowPointer&, const RowPointer&) = default;
};

inline RowPointer load_row_pointer(const std::uint8_t* p) { return RowPointer::from_u32(load_u32(p)); }
inline void store_row_pointer(std::uint8_t* p, RowPointer pointer) { store_u32(p, pointer.to_u32()); }

}  // namespace jet
