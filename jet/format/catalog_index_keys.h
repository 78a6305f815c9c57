// Reading the catalog's own index keys back into values.
//
// MSysObjects keeps two indexes whose keys hold what its rows say: one on
// (ParentId, Name) and one on Id. When the catalog's data pages are lost,
// their entries, joined on the row pointer both lead to, still tell which
// object had which name (index_key.h gives the key layout). A text key
// holds its characters' sort codes with case folded away, so what comes
// back is the text in capitals: the right letters, not their case.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "jet/base/bytes.h"
#include "jet/format/index_key.h"

namespace jet {

// A Long key column starting at `at`: its flag byte and four value bytes.
// Advances `at` past it; nothing when the bytes are no such column or the
// column is null.
std::optional<std::int32_t> decode_long_key(Bytes key, std::size_t& at);

// A Text key column running from `at` to the end of the key (the last key
// column), as UTF-8 in capitals. Nothing when the bytes are no text key in
// that sort order, when the column is null, or when the text holds
// characters the key cannot give back (unprintable ones); only text whose
// key is exactly these bytes is returned.
std::optional<std::string> decode_last_text_key(Bytes key, std::size_t at, TextSortOrder order);

}  // namespace jet
