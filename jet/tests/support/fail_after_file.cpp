#include "support/fail_after_file.h"

#include <string>

#include "jet/base/error.h"

namespace jet::testing {

void FailAfterFile::spend() const {
  if (used_ >= budget_) {
    throw Error(ErrorCode::Io, "injected failure after " + std::to_string(budget_) + " operations");
  }
  ++used_;
}

void FailAfterFile::read_at(std::uint64_t offset, MutableBytes out) const {
  spend();
  inner_.read_at(offset, out);
}

void FailAfterFile::read_parts_at(std::uint64_t offset, std::span<const MutableBytes> parts) const {
  spend();
  inner_.read_parts_at(offset, parts);
}

void FailAfterFile::write_at(std::uint64_t offset, Bytes data) {
  spend();
  inner_.write_at(offset, data);
}

void FailAfterFile::truncate(std::uint64_t size) {
  spend();
  inner_.truncate(size);
}

void FailAfterFile::sync() {
  spend();
  inner_.sync();
}

}  // namespace jet::testing
