// A cap on the size of any single allocation, for the robustness tests.
//
// The engine must never size an allocation from a field of a damaged file
// without a bound. While an AllocationLimit is alive, operator new refuses
// (std::bad_alloc) any one request above the limit; since the engine reports
// damage only as jet::Error, a bad_alloc escaping it fails the test that
// provoked it. Outside a guard there is no limit; under AddressSanitizer
// (whose runtime owns operator new) there is none either.
#pragma once

#include <cstddef>

namespace jet::testing {

class AllocationLimit {
 public:
  explicit AllocationLimit(std::size_t max_bytes);
  ~AllocationLimit();
  AllocationLimit(const AllocationLimit&) = delete;
  AllocationLimit& operator=(const AllocationLimit&) = delete;

 private:
  std::size_t previous_;
};

}  // namespace jet::testing
