#include "jet/long_value_writer.h"

#include <algorithm>

#include "jet/error.h"
#include "jet/long_value.h"

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
  LongValueField field;
  field.length = static_cast<std::uint32_t>(data.size());
  if (allow_inline && data.size() <= kMaxInlineLongValue) {
    field.kind = LongValueKind::Inline;
    field.inline_data = data;
    return encode_long_value_field(field);
  }

  if (data.size() <= DataPagePacker::max_row_size(version_)) {
    field.kind = LongValueKind::SingleRow;
    if (packer_.room() < data.size()) open_new_page();
    field.first = packer_.add(data);
    return encode_long_value_field(field);
  }

  // A chain: each piece fills what is left of the open page, and the next
  // piece starts a fresh page, whose number is taken before this piece is
  // written so the piece can point at it.
  field.kind = LongValueKind::Chain;
  std::size_t offset = 0;
  bool first = true;
  while (offset < data.size()) {
    if (packer_.room() < kChainPointerSize + kMinChainPiece) open_new_page();
    const std::size_t piece = std::min(data.size() - offset, packer_.room() - kChainPointerSize);
    const bool last = offset + piece == data.size();
    RowPointer next;
    std::uint32_t next_page = 0;
    if (!last) {
      next_page = store_.allocate_page();
      next = RowPointer{next_page, 0};
    }
    std::uint8_t pointer[kChainPointerSize];
    store_row_pointer(pointer, next);
    const RowPointer at = packer_.add(pointer, data.subspan(offset, piece));
    if (first) field.first = at;
    first = false;
    offset += piece;
    if (!last) {
      close_page();
      packer_.open(next_page);
      pages_.push_back(next_page);
    }
  }
  return encode_long_value_field(field);
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

void LongValueWriter::finish() { close_page(); }

}  // namespace jet
