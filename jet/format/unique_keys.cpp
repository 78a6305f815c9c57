#include "jet/format/unique_keys.h"

namespace jet {

namespace {
std::string as_string(Bytes key) { return std::string(key.begin(), key.end()); }
}  // namespace

UniqueKeys::UniqueKeys(std::size_t indexes, std::size_t budget)
    : keys_(indexes), forgotten_(indexes, false), budget_(budget) {}

bool UniqueKeys::contains(std::size_t index, Bytes key) const {
  return !forgotten_[index] && keys_[index].count(as_string(key)) != 0;
}

void UniqueKeys::add(std::size_t index, Bytes key) {
  if (forgotten_[index]) return;
  keys_[index].insert(as_string(key));
  held_ += key.size() + kOverheadPerKey;
  while (held_ > budget_) {
    // Forget the largest set: it frees the most.
    std::size_t largest = index;
    for (std::size_t i = 0; i < keys_.size(); ++i) {
      if (keys_[i].size() > keys_[largest].size()) largest = i;
    }
    for (const std::string& k : keys_[largest]) held_ -= k.size() + kOverheadPerKey;
    std::unordered_set<std::string>().swap(keys_[largest]);
    forgotten_[largest] = true;
  }
}

}  // namespace jet
