// Text index keys in the two sort orders this engine knows; used by
// index_key.cpp, which writes the flag byte before them.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "jet/format/index_key.h"

namespace jet {

// Appends the encoded text (without the flag byte). Raises Unsupported for
// an Unknown sort order; every UTF-16 unit has a code in the two known ones.
void append_text_key(std::vector<std::uint8_t>& out, std::u16string_view text, TextSortOrder order, bool ascending);

}  // namespace jet
