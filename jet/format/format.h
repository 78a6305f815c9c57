// The two Jet file formats this engine reads and writes.
//
// The version byte at offset 0x14 of the header page selects the format, and
// the format fixes the page size: Jet 3 (Access 97) has 2 KiB pages, Jet 4
// (Access 2000 to 2003) 4 KiB pages. Each structure's header keeps its own
// per-format offsets next to its encoder and decoder.
#pragma once

#include <cstdint>
#include <string_view>

namespace jet {

enum class Version : std::uint8_t { Jet3 = 0, Jet4 = 1 };

constexpr std::uint32_t page_size(Version v) { return v == Version::Jet3 ? 2048u : 4096u; }
constexpr bool is_jet4(Version v) { return v == Version::Jet4; }
constexpr std::string_view to_string(Version v) { return v == Version::Jet3 ? "Jet3" : "Jet4"; }

// Page type, the first byte of every page but the header.
enum class PageType : std::uint8_t {
  Header = 0x00,
  Data = 0x01,
  TableDefinition = 0x02,
  IndexIntermediate = 0x03,
  IndexLeaf = 0x04,
  UsageMap = 0x05,
  // Seen in files written by Access, named by no document: 0x08 is a discarded
  // table definition (it keeps the 1625 magic), 0x09 a long-value page whose
  // rows are all deleted.
  DiscardedTableDefinition = 0x08,
  DiscardedLongValue = 0x09,
};

// Byte 1 of every page but the header: 0x01 in each kind above.
constexpr std::uint8_t kPageMark = 0x01;

// Column types as stored in a table definition.
enum class ColumnType : std::uint8_t {
  Boolean = 0x01,
  Byte = 0x02,
  Integer = 0x03,   // 16-bit signed
  Long = 0x04,      // 32-bit signed
  Currency = 0x05,  // 64-bit signed, scaled by 10^4
  Single = 0x06,
  Double = 0x07,
  DateTime = 0x08,  // double: days since 1899-12-30, fraction = time of day
  Binary = 0x09,    // up to 255 bytes, stored in the row
  Text = 0x0A,      // up to 255 characters, stored in the row
  Ole = 0x0B,       // long value
  Memo = 0x0C,      // long value
  Guid = 0x0F,      // 16 bytes
  Numeric = 0x10,   // Decimal: 17 bytes, sign byte then 128-bit magnitude
};

}  // namespace jet
