// Index keys set against the rows they index.
//
// Every entry of a real index carries the key its row has in that index
// (jet/format/stored_row_key.h). The check holds nothing per row or per entry: as
// the rows are walked, each row's key in each index is digested together
// with the row's pointer and the digests are summed; as the index is walked,
// each entry's key and pointer are digested and summed the same way. A sum
// does not depend on the order of its terms, so equal sums and counts mean
// the entries are exactly the rows' keys, whatever order either walk met
// them in. Only when they differ does a second walk name the entries at
// fault, reading each entry's row again, and the rows no entry names.
//
// Internal to the verifier.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "jet/base/bytes.h"
#include "jet/format/row_pointer.h"

namespace jet {

// An order-free sum over (key, row pointer) pairs.
struct IndexKeySum {
  std::uint64_t digests = 0;  // modulo 2^64
  std::uint64_t count = 0;

  void add(Bytes key, RowPointer row);
  bool operator==(const IndexKeySum&) const = default;
};

// What the rows say one index holds.
struct ExpectedIndexKeys {
  IndexKeySum sum;  // over the rows the index should hold
  // Set, with the reason, once a row's key could not be computed: the sum
  // is then incomplete and the index's keys are not compared.
  std::optional<std::string> not_compared;
  // Whether that was damage, reported as an error where it was met, rather
  // than a key this engine cannot encode (noted once as info).
  bool damaged = false;
};

}  // namespace jet
