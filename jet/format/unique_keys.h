// The keys a table's unique indexes hold so far, so that a writer refuses a
// row duplicating one before anything of the row is written.
//
// Jet compares keys by their encoded bytes only: two texts that differ only
// in case have the same key and collide. A key whose columns are all null
// never collides, so a unique index may hold it any number of times (a
// primary key or a Required index refuses nulls before this check).
//
// Memory is bounded: once the keys held pass the budget, the index forgets
// them and says so, and the duplicate is then found when the index builder
// sorts the index's entries (IndexBuildOptions::unique).
#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

#include "jet/base/bytes.h"

namespace jet {

class UniqueKeys {
 public:
  // `indexes` sets of keys sharing `budget` bytes.
  UniqueKeys(std::size_t indexes, std::size_t budget);

  // True when the index already holds the key. False also once the index's
  // keys were forgotten: remembering() tells which.
  bool contains(std::size_t index, Bytes key) const;
  bool remembering(std::size_t index) const { return !forgotten_[index]; }

  void add(std::size_t index, Bytes key);

 private:
  // A set's cost per key beyond the key's bytes: node, hash and bucket.
  static constexpr std::size_t kOverheadPerKey = 64;

  std::vector<std::unordered_set<std::string>> keys_;
  std::vector<bool> forgotten_;
  std::size_t budget_;
  std::size_t held_ = 0;
};

}  // namespace jet
