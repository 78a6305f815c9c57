// Salvaging Memo and OLE values whose storage is damaged.
//
// The strict reader (jet/format/long_value.h) refuses a value whose chain dangles,
// loops or disagrees with its length. Salvage keeps what can be trusted: the
// pieces read in chain order up to the first row that cannot be fetched or
// decoded, the first repeated row, or the recorded length, whichever comes
// first. A value cut this way is still the user's text or document up to the
// damage, which is worth more than nothing; the cut is reported.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/long_value.h"

namespace jet {

struct SalvagedLongValue {
  std::vector<std::uint8_t> bytes;
  bool cut = false;
  std::string why;  // what was wrong, when cut
};

// Reads the value field describes; never raises on damage in the long-value
// rows (fetch failures included), only cuts. max_rows bounds a chain walk.
SalvagedLongValue salvage_long_value(const LongValueField& field, const LongValueRowFetcher& fetch,
                                     std::size_t max_rows);

}  // namespace jet
