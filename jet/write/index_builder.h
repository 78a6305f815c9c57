// Building a real index's pages in one pass from its entries.
//
// Entries arrive in any order. The builder keeps them in memory up to a
// budget (their keys side by side in one arena, so that an entry costs its
// key bytes and 16 more); beyond it, it sorts what it holds into a run in an unnamed
// temporary file and starts again, and at the end merges the runs. The
// sorted entries then stream into pages: leaves filled as full as the page
// allows (with the shared prefix taken out), each finished page's last entry
// passed up to the level above, whose pages name every child but the last
// in an entry and the last as their tail. Only one open page per level is
// held, so memory stays flat however large the index.
//
// Pages are numbered by the caller's sink, in the order the builder asks for
// them, and each is written once, complete, with its previous/next links:
// the leaves chained from first to last, the pages above them only among
// siblings of one parent, as Access links them.
// The same entries with the same sink give the same pages whatever the budget.
//
// Entries taken from an existing index (a compaction's) already arrive in
// key order; only the rows of equal keys may be out of order once remapped.
// A streaming build then skips the sorting: it holds only the current group
// of equal keys, and when a greater key arrives puts the group in row order
// and passes it straight on to the pages. A group larger than the budget
// (every row of a yes/no column, say) is spilled in runs and merged by row
// like any entries. The pages are the same as the sorting build gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/format.h"
#include "jet/format/index_page.h"
#include "jet/format/row_pointer.h"
#include "jet/write/page_store.h"

namespace jet {

struct IndexBuildOptions {
  Version version = Version::Jet4;
  std::uint32_t table_page = 0;  // the owning table's TDEF page
  // Bytes of entries held in memory before a run is spilled to disk.
  std::size_t memory_budget = std::size_t{32} << 20;
  // A unique index: finish() refuses two entries with the same key, but for
  // null_key (the key of a row whose key columns are all null), which a
  // unique index may hold any number of times.
  bool unique = false;
  std::vector<std::uint8_t> null_key{};
};

struct IndexBuildResult {
  std::uint32_t root_page = 0;
  std::uint64_t entry_count = 0;
  // Entries with distinct keys: the count a table definition keeps per real
  // index.
  std::uint32_t unique_entry_count = 0;
  std::vector<std::uint32_t> pages;  // every page written, for the index's usage map
  std::size_t spilled_runs = 0;
};

class IndexBuilder {
 public:
  explicit IndexBuilder(IndexBuildOptions options);
  ~IndexBuilder();
  IndexBuilder(const IndexBuilder&) = delete;
  IndexBuilder& operator=(const IndexBuilder&) = delete;

  // Raises LimitExceeded for a key too long to fit an index page, Io when a
  // run cannot be spilled. In a streaming build, raises what finish() raises
  // as soon as the entry's group of equal keys is complete, and Corrupt for a
  // key smaller than the one before: the entries' source is out of order.
  void add(Bytes key, RowPointer row);
  void add(std::initializer_list<std::uint8_t> key, RowPointer row) { add(Bytes(key.begin(), key.size()), row); }

  // Sorts, merges and writes the pages. Raises InvalidArgument when the same
  // key and row were added twice, or, in a unique index, the same key (the
  // message shows it in hex). The builder is spent afterwards.
  IndexBuildResult finish(PageStore& sink);

  // Makes this a streaming build whose pages go to `sink` as entries are
  // added, which must then come in key order. Before the first add().
  void start_streaming(PageStore& sink);
  // Finishes a streaming build: the last group, the upper levels, the root.
  IndexBuildResult finish();

 private:
  struct Run;
  struct Output;
  // An entry held in memory: where its key is in the arena, and its row.
  struct Held {
    std::uint32_t offset;
    std::uint16_t length;
    RowPointer row;
  };
  static constexpr std::size_t kMaxFanIn = 64;
  Bytes key_of(const Held& entry) const { return Bytes(keys_.data() + entry.offset, entry.length); }
  void sort_held();
  void spill();
  // Passes every entry added so far to `out` in index order, from memory or
  // through the runs, and empties the builder for more.
  void drain(const std::function<void(const IndexEntry&)>& out);
  IndexBuildResult close();
  static void merge_runs(std::vector<std::unique_ptr<Run>>& runs, const std::function<void(const IndexEntry&)>& out);

  IndexBuildOptions options_;
  std::vector<std::uint8_t> keys_;  // the arena
  std::vector<Held> held_;
  std::vector<std::unique_ptr<Run>> runs_;
  std::size_t spilled_runs_ = 0;  // spilled because the budget was reached
  std::unique_ptr<Output> output_;  // the pages under way; set while streaming
  std::vector<std::uint8_t> group_key_;  // streaming: the key of the held group
  IndexEntry entry_;                     // the entry being passed on, its key buffer reused
};

}  // namespace jet
