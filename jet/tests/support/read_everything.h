// Runs the engine's two reading paths over a database image, the way
// `jetdb check` and `jetdb dump` do: the verifier, then every row of every
// table (system tables included) turned into its canonical text.
//
// Only jet::Error is caught: damage must surface as an error or a finding,
// so anything else (std::bad_alloc, std::out_of_range, a crash) escapes to
// the caller and fails the test or the fuzz run that provoked it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "jet/base/error.h"

namespace jet::testing {

struct ReadOutcome {
  std::optional<Error> check_error;  // verify() refused the file
  std::size_t findings = 0;
  std::size_t findings_above_info = 0;
  std::optional<Error> dump_error;  // reading the rows stopped with an error
  std::size_t rows_read = 0;

  // Whether either path noticed something wrong.
  bool detected() const { return check_error || findings_above_info > 0 || dump_error; }
};

ReadOutcome read_everything(const std::vector<std::uint8_t>& image);

}  // namespace jet::testing
