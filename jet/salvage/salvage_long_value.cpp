#include "jet/salvage/salvage_long_value.h"

#include <set>

#include "jet/base/error.h"

namespace jet {

namespace {

std::string where(RowPointer p) {
  return "row " + std::to_string(p.row) + " of page " + std::to_string(p.page);
}

SalvagedLongValue cut(std::vector<std::uint8_t> bytes, std::string why) {
  return SalvagedLongValue{std::move(bytes), true, std::move(why)};
}

}  // namespace

SalvagedLongValue salvage_long_value(const LongValueField& field, const LongValueRowFetcher& fetch,
                                     std::size_t max_rows) {
  if (field.kind == LongValueKind::Inline) {
    return {std::vector<std::uint8_t>(field.inline_data.begin(), field.inline_data.end()), false, {}};
  }
  if (field.length == 0) return {};

  std::vector<std::uint8_t> data;
  if (field.kind == LongValueKind::SingleRow) {
    try {
      data = fetch(field.first);
    } catch (const Error& e) {
      if (e.code() == ErrorCode::Io) throw;
      return cut({}, "its row is unreadable: " + std::string(e.what()));
    }
    if (data.size() < field.length) {
      std::size_t held = data.size();
      return cut(std::move(data), "its length says " + std::to_string(field.length) + " bytes but " +
                                      where(field.first) + " holds " + std::to_string(held));
    }
    data.resize(field.length);
    return {std::move(data), false, {}};
  }

  std::set<RowPointer> visited;
  for (RowPointer at = field.first; !at.is_null();) {
    if (!visited.insert(at).second) return cut(std::move(data), "its chain loops back to " + where(at));
    if (visited.size() > max_rows) return cut(std::move(data), "its chain is longer than the file");
    ChainRow link;
    std::vector<std::uint8_t> row;
    try {
      row = fetch(at);
      link = decode_chain_row(row, at.page);
    } catch (const Error& e) {
      if (e.code() == ErrorCode::Io) throw;
      return cut(std::move(data), "its chain breaks at " + where(at) + ": " + e.what());
    }
    std::size_t room = field.length - data.size();
    if (link.piece.size() > room) {
      data.insert(data.end(), link.piece.begin(), link.piece.begin() + static_cast<std::ptrdiff_t>(room));
      return cut(std::move(data), "its chain holds more than its length of " + std::to_string(field.length) +
                                      " bytes by " + where(at));
    }
    data.insert(data.end(), link.piece.begin(), link.piece.end());
    at = link.next;
  }
  if (data.size() != field.length) {
    std::size_t held = data.size();
    return cut(std::move(data), "its length says " + std::to_string(field.length) + " bytes but its chain holds " +
                                    std::to_string(held));
  }
  return {std::move(data), false, {}};
}

}  // namespace jet
