#include "jet/salvage/salvage_log.h"

namespace jet {

void SalvageLog::record(SalvageCode code, const std::string& table, const std::string& description,
                        std::int32_t record_id) {
  std::size_t& seen = per_kind_[{static_cast<std::int32_t>(code), table}];
  ++seen;
  if (seen <= limit_) kept_.push_back({static_cast<std::int32_t>(code), description, record_id, table});
}

std::vector<CompactErrorEntry> SalvageLog::entries() const {
  std::vector<CompactErrorEntry> all = kept_;
  for (const auto& [key, seen] : per_kind_) {
    if (seen <= limit_) continue;
    all.push_back({static_cast<std::int32_t>(SalvageCode::SummaryOfMore),
                   std::to_string(seen - limit_) + " more losses of kind " + std::to_string(key.first) +
                       " not listed one by one",
                   0, key.second});
  }
  return all;
}

std::size_t SalvageLog::count(SalvageCode code) const {
  std::size_t total = 0;
  for (const auto& [key, seen] : per_kind_) {
    if (key.first == static_cast<std::int32_t>(code)) total += seen;
  }
  return total;
}

}  // namespace jet
