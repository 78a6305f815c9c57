// Property blobs: the LvProp column of a catalog row, holding the
// properties of an object and of its columns (captions, formats, default
// values, validation rules, ...).
//
//   bytes 0-3   "MR2\0" (Jet 4) or "KKD\0" (Jet 3)
//   then chunks, each:
//     0-3       chunk length, these 6 header bytes included
//     4-5       chunk type: 0x80 the name pool; 0x00, 0x01, 0x02 a block of
//               property values
//   Name pool: names, each a 2-byte byte length and the name (UTF-16LE in
//   Jet 4, the code page in Jet 3). Values refer to names by their index.
//   Value block:
//     0-3       length of the block's name record (these 4 bytes, the next
//               2 and the name)
//     4-5       byte length of the block's name: empty for the object
//               itself, a column's name for that column's properties
//     6-        the name, then the values, each:
//       0-1     length of this value record (8 + value length)
//       2       DDL flag (1: set by data definition, kept by Access)
//       3       value type (a column type)
//       4-5     index of the property's name in the pool
//       6-7     value length
//       8-      the value, stored as a column of that type stores it
//
// A blob names its pool before its value blocks; the encoder writes the
// pool first: the blob's names, then any other name a value uses, in order of
// first use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/format.h"

namespace jet {

struct Property {
  std::string name;  // UTF-8
  std::uint8_t ddl_flag = 0;
  ColumnType type = ColumnType::Text;
  std::vector<std::uint8_t> value;  // as stored

  friend bool operator==(const Property&, const Property&) = default;
};

struct PropertyBlock {
  std::uint16_t chunk_type = 0;  // 0x00, 0x01 or 0x02
  std::string name;              // empty for the object itself, else a column name
  std::vector<Property> properties;

  const Property* find(std::string_view property) const;  // ASCII case-insensitive
  friend bool operator==(const PropertyBlock&, const PropertyBlock&) = default;
};

struct PropertyBlob {
  // The name pool as stored: Access keeps names no value uses any more, in
  // the order they were first defined.
  std::vector<std::string> names;
  std::vector<PropertyBlock> blocks;

  friend bool operator==(const PropertyBlob&, const PropertyBlob&) = default;
};

// Raises Corrupt naming `page` (the catalog row's page, for the message) and
// the chunk and field that do not decode: a wrong signature, a chunk or
// record that leaves the blob, a name index past the pool, values before any
// pool, a chunk of an unknown type.
PropertyBlob decode_properties(Version version, Bytes blob, std::uint32_t page = 0);

std::vector<std::uint8_t> encode_properties(Version version, const PropertyBlob& blob);

}  // namespace jet
