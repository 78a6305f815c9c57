// The cases of the damage proof: every damage class (support/damage_classes.h)
// on every source database, generated ones (so the proof runs without the
// samples) and sample files holding between them every structure: long
// values inline, in one row and chained, overflow rows, deleted rows, many
// data pages and multi-level indexes. Each case has a seed of its own, so a
// failure replays alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "support/damage.h"
#include "support/damage_classes.h"
#include "support/intact_rows.h"

namespace jet::testing {

// (source, class) indexes.
using DamageCase = std::tuple<std::size_t, std::size_t>;

std::size_t damage_source_count();
const std::string& damage_source_name(std::size_t source);
// Whether the source is generated (always present).
bool damage_source_generated(std::size_t source);
// The source's bytes, loaded once; nullptr when a sample file is absent.
const Image* damage_source_image(std::size_t source);

std::uint64_t damage_case_seed(const DamageCase& c);
std::string damage_case_name(const ::testing::TestParamInfo<DamageCase>& info);

// Every case, for INSTANTIATE_TEST_SUITE_P.
inline auto all_damage_cases() {
  return ::testing::Combine(::testing::Range<std::size_t>(0, damage_source_count()),
                            ::testing::Range<std::size_t>(0, damage_classes().size()));
}

// Rows of wanted missing from have (as multisets).
RowTexts missing_from(const RowTexts& wanted, const RowTexts& have);
// The first row, short enough for a failure message.
std::string sample_of(const RowTexts& rows);
// Whether a row kept with cut long values is a sound row with those values
// cut: each cell equal, or for a cut value, a prefix of the sound value or
// null.
bool is_cut_from_any(const RowCells& kept, const RowTexts& sound);

}  // namespace jet::testing
