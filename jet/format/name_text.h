// Object names as table definitions and property blobs store them.
//
// Jet 4 keeps names in UTF-16LE (a name may also use the compressed form that
// starts FF FE, which the decoder accepts); Jet 3 keeps them in the database's
// code page, which for the databases this engine writes is Windows-1252.
// In memory every name is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/format.h"

namespace jet {

// Raises Corrupt (page and structure taken from `where`) on UTF-16 that does
// not decode.
std::string decode_name(Version version, Bytes stored, const ByteReader& where, std::string_view field);

// Raises InvalidArgument for a name that Jet 3's code page cannot hold or that
// is not valid UTF-8.
std::vector<std::uint8_t> encode_name(Version version, std::string_view utf8);

}  // namespace jet
