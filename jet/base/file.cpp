#include "jet/base/file.h"

#include <algorithm>

namespace jet {

void File::read_parts_at(std::uint64_t offset, std::span<const MutableBytes> parts) const {
  for (const MutableBytes& part : parts) {
    read_at(offset, part);
    offset += part.size();
  }
}

void MemoryFile::read_at(std::uint64_t offset, MutableBytes out) const {
  if (offset > bytes_.size() || out.size() > bytes_.size() - offset) {
    throw Error(ErrorCode::Io, "read of " + std::to_string(out.size()) + " bytes at " +
                                   std::to_string(offset) + " past the end of the file");
  }
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
}

void MemoryFile::write_at(std::uint64_t offset, Bytes data) {
  if (offset + data.size() > bytes_.size()) bytes_.resize(offset + data.size());
  std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
}

void MemoryFile::truncate(std::uint64_t size) { bytes_.resize(size); }

void StoppableFile::read_at(std::uint64_t offset, MutableBytes out) const {
  if (stopped_.load(std::memory_order_relaxed)) throw ReadsStopped();
  inner_.read_at(offset, out);
}

void StoppableFile::read_parts_at(std::uint64_t offset, std::span<const MutableBytes> parts) const {
  if (stopped_.load(std::memory_order_relaxed)) throw ReadsStopped();
  inner_.read_parts_at(offset, parts);
}

void StoppableFile::write_at(std::uint64_t, Bytes) {
  throw Error(ErrorCode::InvalidArgument, "a stoppable view of a file is read-only");
}

void StoppableFile::truncate(std::uint64_t) {
  throw Error(ErrorCode::InvalidArgument, "a stoppable view of a file is read-only");
}

std::vector<std::uint8_t> read_all(const File& file) {
  std::vector<std::uint8_t> bytes(file.size());
  file.read_at(0, bytes);
  return bytes;
}

}  // namespace jet
