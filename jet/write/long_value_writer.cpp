#include "jet/write/long_value_writer.h"

#include <algorithm>
#include <string>

#include "jet/base/error.h"
#include "jet/format/long_value.h"

namespace jet {

namespace {
constexpr std::size_t kChainPointerSize = 4;
// A chain piece smaller than this is not worth a row: start a new page.
constexpr std::size_t kMinChainPiece = 64;
}  // namespace

std::vector<std::uint8_t> LongValueWriter::place(Bytes data, bool allow_inline) {
  if (data.size() > kMaxLongValueLength) {
    throw Error(ErrorCode::LimitExceeded,
                "a long value of " + std::to_string(data.size()) + " bytes is longer than Jet allows");
  }
  if (allow_inline && data.size() <= kMaxInlineLongValue) {
    LongValueField field;
    field.length = static_cast<std::uint32_t>(data.size());
    field.kind = LongValueKind::Inline;
    field.inline_data = data;
    return encode_long_value_field(field);
  }
  const LongValueField field = begin_value(static_cast<std::uint32_t>(data.size()));
  add_piece(data);
  return encode_long_value_field(field);
}

LongValueField LongValueWriter::begin_value(std::uint32_t length) {
  if (length > kMaxLongValueLength) {
    throw Error(ErrorCode::LimitExceeded,
                "a long value of " + std::to_string(length) + " bytes is longer than Jet allows");
  }
  ensure_value_whole("a new value begun");
  LongValueField field;
  field.length = length;
  remaining_ = length;
  if (length <= DataPagePacker::max_row_size(version_)) {
    field.kind = LongValueKind::SingleRow;
    if (packer_.room() < length) open_new_page();
    const DataPagePacker::ReservedRow row = packer_.reserve({}, length);
    field.first = row.at;
    row_ = row.body;
    return field;
  }
  // A chain: each piece fills what is left of the open page, and the next
  // piece starts a fresh page, whose number is taken before this piece's
  // row is laid out so the row can point at it.
  field.kind = LongValueKind::Chain;
  field.first = start_chain_row();
  return field;
}

RowPointer LongValueWriter::start_chain_row() {
  if (packer_.room() < kChainPointerSize + kMinChainPiece) open_new_page();
  const std::size_t piece = std::min(remaining_, packer_.room() - kChainPointerSize);
  next_page_ = piece == remaining_ ? 0 : store_.allocate_page();
  std::uint8_t pointer[kChainPointerSize];
  store_row_pointer(pointer, next_page_ == 0 ? RowPointer{} : RowPointer{next_page_, 0});
  const DataPagePacker::ReservedRow row = packer_.reserve(pointer, piece);
  row_ = row.body;
  return row.at;
}

void LongValueWriter::add_piece(Bytes piece) {
  if (piece.size() > remaining_) {
    throw Error(ErrorCode::InvalidArgument, "a long value was given more bytes than its length");
  }
  while (!piece.empty()) {
    const std::size_t n = std::min(piece.size(), row_.size());
    std::copy(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n), row_.begin());
    row_ = row_.subspan(n);
    piece = piece.subspan(n);
    remaining_ -= n;
    if (row_.empty() && next_page_ != 0) {
      move_to_next_page();
      start_chain_row();
    }
  }
}

void LongValueWriter::move_to_next_page() {
  close_page();
  packer_.open(next_page_);
  pages_.push_back(next_page_);
  next_page_ = 0;
}

void LongValueWriter::ensure_value_whole(const char* action) const {
  if (remaining_ == 0) return;
  throw Error(ErrorCode::InvalidArgument, std::string(action) + " while the long value before still lacks " +
                                              std::to_string(remaining_) + " bytes");
}

void LongValueWriter::open_new_page() {
  close_page();
  const std::uint32_t number = store_.allocate_page();
  packer_.open(number);
  pages_.push_back(number);
}

void LongValueWriter::close_page() {
  if (!packer_.is_open()) return;
  const std::uint32_t number = packer_.page();
  store_.write_page(number, packer_.close());
}

void LongValueWriter::finish() {
  ensure_value_whole("finished");
  close_page();
}

}  // namespace jet
