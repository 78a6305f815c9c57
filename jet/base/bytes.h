// Little-endian access to the bytes of a page.
//
// Decoders read through ByteReader, which checks every access against the
// buffer and raises a Corrupt error naming the page, the structure and the
// field when a length or offset taken from the file points outside it.
// Encoders write through the put_* helpers into buffers they sized themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "jet/base/error.h"

namespace jet {

using Bytes = std::span<const std::uint8_t>;
using MutableBytes = std::span<std::uint8_t>;

inline std::uint16_t load_u16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t load_u24(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16);
}
inline std::uint32_t load_u32(const std::uint8_t* p) {
  return load_u24(p) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t load_u64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(load_u32(p)) | (static_cast<std::uint64_t>(load_u32(p + 4)) << 32);
}

inline void store_u16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void store_u24(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
}
inline void store_u32(std::uint8_t* p, std::uint32_t v) {
  store_u24(p, v);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline void store_u64(std::uint8_t* p, std::uint64_t v) {
  store_u32(p, static_cast<std::uint32_t>(v));
  store_u32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

// Bounds-checked reads from one structure. `page` and `structure` only label
// the errors raised.
class ByteReader {
 public:
  ByteReader(Bytes data, std::uint32_t page, std::string_view structure)
      : data_(data), page_(page), structure_(structure) {}

  std::size_t size() const { return data_.size(); }
  Bytes data() const { return data_; }
  std::uint32_t page() const { return page_; }

  bool fits(std::size_t offset, std::size_t length) const {
    return offset <= data_.size() && length <= data_.size() - offset;
  }

  std::uint8_t u8(std::size_t offset, std::string_view field) const {
    check(offset, 1, field);
    return data_[offset];
  }
  std::uint16_t u16(std::size_t offset, std::string_view field) const {
    check(offset, 2, field);
    return load_u16(data_.data() + offset);
  }
  std::uint32_t u24(std::size_t offset, std::string_view field) const {
    check(offset, 3, field);
    return load_u24(data_.data() + offset);
  }
  std::uint32_t u32(std::size_t offset, std::string_view field) const {
    check(offset, 4, field);
    return load_u32(data_.data() + offset);
  }
  std::uint64_t u64(std::size_t offset, std::string_view field) const {
    check(offset, 8, field);
    return load_u64(data_.data() + offset);
  }
  Bytes bytes(std::size_t offset, std::size_t length, std::string_view field) const {
    check(offset, length, field);
    return data_.subspan(offset, length);
  }

  [[noreturn]] void fail(std::string_view field, const std::string& what) const {
    throw_corrupt(page_, std::string(structure_), std::string(field), what);
  }

 private:
  // Inlined into every read, which the decoders make millions of: the
  // message is built out of line, only when a read does not fit.
  void check(std::size_t offset, std::size_t length, std::string_view field) const {
    if (!fits(offset, length)) [[unlikely]] fail_beyond_end(offset, length, field);
  }
  [[noreturn, gnu::noinline, gnu::cold]] void fail_beyond_end(std::size_t offset, std::size_t length,
                                                              std::string_view field) const {
    fail(field, "reads " + std::to_string(length) + " bytes at offset " + std::to_string(offset) +
                    " beyond the end of " + std::to_string(data_.size()) + " bytes");
  }

  Bytes data_;
  std::uint32_t page_;
  std::string_view structure_;
};

}  // namespace jet
