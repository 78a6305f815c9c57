// The kinds of damage a repair is proved against, one at a time.
//
// Each class damages a copy of a sound database image and says which bytes
// it changed (for truncation: from the first page it no longer holds whole
// to the old end), so that the rows a careful salvage must keep can be
// worked out from the sound file (support/intact_rows.h). Which page, slot
// or bit is hit follows from the seed alone: a failing case replays.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/damage.h"
#include "support/intact_rows.h"

namespace jet::testing {

struct DamagedImage {
  Image image;
  std::vector<ByteRange> ranges;
};

struct DamageClass {
  std::string name;
  // The damage only removes or blanks what it hits, so no row a reader keeps
  // can differ from a row of the sound file. Noise and flipped bits can
  // leave a row that still decodes with other values.
  bool only_removes = false;
  // Nothing when the image holds nothing of the kind (no long values, say).
  std::function<std::optional<DamagedImage>(const Image& sound, std::uint64_t seed)> apply;
};

// "undamaged" first (the control), then every class.
const std::vector<DamageClass>& damage_classes();

}  // namespace jet::testing
