// A file that passes operations to another until `budget` of them have
// succeeded, then fails every further one with an Io error, as a full disk or
// a pulled cable would: tests run the engine over it to check that a failure
// at any point is reported and never leaves a half-written result.
#pragma once

#include <cstdint>

#include "jet/base/file.h"

namespace jet::testing {

class FailAfterFile : public File {
 public:
  FailAfterFile(File& inner, std::uint64_t budget) : inner_(inner), budget_(budget) {}

  std::uint64_t size() const override { return inner_.size(); }
  void read_at(std::uint64_t offset, MutableBytes out) const override;
  void read_parts_at(std::uint64_t offset, std::span<const MutableBytes> parts) const override;
  void write_at(std::uint64_t offset, Bytes data) override;
  void truncate(std::uint64_t size) override;
  void sync() override;
  void start_writeback(std::uint64_t offset, std::uint64_t length) override { inner_.start_writeback(offset, length); }

  std::uint64_t operations() const { return used_; }

 private:
  void spend() const;

  File& inner_;
  std::uint64_t budget_;
  mutable std::uint64_t used_ = 0;
};

}  // namespace jet::testing
