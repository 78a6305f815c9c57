#include "jet/write/index_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "jet/base/error.h"
#include "jet/read/index_walk.h"
#include "support/corpus_files.h"

namespace jet {
namespace {

// Pages numbered from `first` on, kept in memory; each written once. The
// order of the calls is kept too.
class MemorySink : public PageStore {
 public:
  explicit MemorySink(std::uint32_t first) : next_(first) {}
  std::uint32_t allocate_page() override {
    calls.push_back("allocate " + std::to_string(next_));
    return next_++;
  }
  void write_page(std::uint32_t number, Bytes page) override {
    calls.push_back("write " + std::to_string(number));
    EXPECT_LT(number, next_) << "page written before it was allocated";
    EXPECT_TRUE(pages.emplace(number, std::vector<std::uint8_t>(page.begin(), page.end())).second)
        << "page " << number << " written twice";
  }
  PageSource source() const {
    return [this](std::uint32_t n) {
      auto it = pages.find(n);
      if (it == pages.end()) throw Error(ErrorCode::Io, "no page " + std::to_string(n));
      return it->second;
    };
  }
  std::uint32_t end() const { return next_; }

  std::map<std::uint32_t, std::vector<std::uint8_t>> pages;
  std::vector<std::string> calls;

 private:
  std::uint32_t next_;
};

struct Built {
  IndexBuildResult result;
  MemorySink sink{10};
};

std::unique_ptr<Built> build(Version v, const std::vector<IndexEntry>& entries, std::size_t budget) {
  auto built = std::make_unique<Built>();
  IndexBuilder builder(IndexBuildOptions{v, 2, budget});
  for (const IndexEntry& e : entries) builder.add(e.key, e.row);
  built->result = builder.finish(built->sink);
  return built;
}

IndexWalk walk(Version v, const Built& built) {
  return check_index(v, 2, built.result.root_page, IndexWalkOptions{built.sink.end(), 1000, 32}, built.sink.source());
}

// Keys like a text index's: shared stems, varied lengths, some duplicates.
std::vector<IndexEntry> synthetic_entries(std::size_t count, std::size_t key_length, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<IndexEntry> entries;
  for (std::size_t i = 0; i < count; ++i) {
    IndexEntry e;
    e.key = {0x7F};
    const std::size_t length = key_length / 2 + rng() % key_length;
    for (std::size_t k = 0; k < length; ++k) e.key.push_back(static_cast<std::uint8_t>(0x40 + rng() % (k < 3 ? 2 : 40)));
    e.key.push_back(0x01);
    e.row = RowPointer{static_cast<std::uint32_t>(100 + i / 200), static_cast<std::uint8_t>(i % 200)};
    entries.push_back(std::move(e));
    if (i % 10 == 0 && i > 0) {  // a duplicate key on another row
      IndexEntry dup = entries.back();
      dup.row = RowPointer{static_cast<std::uint32_t>(50000 + i), 0};
      entries.push_back(std::move(dup));
    }
  }
  return entries;
}

// What a built tree looks like from its root down: its height by the root's
// level byte, and whatever departs from how Access shapes a tree (a level
// byte that is not its parent's less one, a link between two pages above
// the leaves that have different parents).
struct Shape {
  std::size_t levels = 0;
  std::vector<std::string> departures;
};

Shape shape_of(Version v, const Built& built) {
  std::map<std::uint32_t, IndexPage> pages;
  std::map<std::uint32_t, std::uint32_t> parent_of;
  std::vector<std::uint32_t> todo{built.result.root_page};
  Shape shape;
  while (!todo.empty()) {
    const std::uint32_t number = todo.back();
    todo.pop_back();
    const IndexPage& page = pages[number] = decode_index_page(v, number, built.sink.pages.at(number));
    if (page.leaf) continue;
    std::vector<std::uint32_t> children;
    for (const IndexEntry& e : page.entries) children.push_back(e.child);
    if (page.tail_page != 0) children.push_back(page.tail_page);
    for (std::uint32_t child : children) {
      parent_of[child] = number;
      todo.push_back(child);
    }
  }
  shape.levels = pages.at(built.result.root_page).level + 1u;
  for (const auto& [number, page] : pages) {
    const auto parent = parent_of.find(number);
    if (parent == parent_of.end()) continue;
    if (page.level + 1 != pages.at(parent->second).level) {
      shape.departures.push_back("page " + std::to_string(number) + " is at level " + std::to_string(page.level));
    }
    if (!page.leaf && page.next_page != 0 && parent_of.at(page.next_page) != parent->second) {
      shape.departures.push_back("page " + std::to_string(number) + " links on to the next parent's page " +
                                 std::to_string(page.next_page));
    }
  }
  return shape;
}

TEST(IndexBuilder, BuildsTreesThatWalkBackToTheSortedEntries) {
  struct Case {
    Version version;
    std::size_t count;
    std::size_t key_length;
    std::size_t min_depth_pages;
    std::size_t min_levels;  // four and up: pages above the leaves with different parents
  };
  for (const Case& c : {Case{Version::Jet4, 0, 8, 1, 1}, Case{Version::Jet4, 1, 8, 1, 1},
                        Case{Version::Jet4, 300, 8, 1, 1}, Case{Version::Jet4, 20000, 60, 100, 3},
                        Case{Version::Jet3, 20000, 60, 200, 4}, Case{Version::Jet4, 60000, 120, 1000, 4},
                        Case{Version::Jet3, 3000, 250, 500, 5}}) {
    SCOPED_TRACE(std::string(to_string(c.version)) + " " + std::to_string(c.count));
    std::vector<IndexEntry> entries = synthetic_entries(c.count, c.key_length, 7);
    auto built = build(c.version, entries, std::size_t{64} << 20);
    IndexWalk w = walk(c.version, *built);
    for (const auto& p : w.problems) ADD_FAILURE() << "page " << p.page << " " << p.field << ": " << p.what;
    const Shape shape = shape_of(c.version, *built);
    EXPECT_GE(shape.levels, c.min_levels);
    EXPECT_EQ(shape.departures, std::vector<std::string>{});
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(w.entries, entries);
    EXPECT_EQ(built->result.entry_count, entries.size());
    EXPECT_GE(built->result.pages.size(), c.min_depth_pages);
    EXPECT_EQ(built->result.pages.size(), built->sink.pages.size());
    std::size_t distinct = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) distinct += i == 0 || entries[i].key != entries[i - 1].key;
    EXPECT_EQ(built->result.unique_entry_count, distinct);
  }
}

TEST(IndexBuilder, SpillingBeyondTheBudgetGivesIdenticalPages) {
  for (Version v : {Version::Jet3, Version::Jet4}) {
    std::vector<IndexEntry> entries = synthetic_entries(30000, 40, 11);
    std::shuffle(entries.begin(), entries.end(), std::mt19937(3));
    auto in_memory = build(v, entries, std::size_t{256} << 20);
    EXPECT_EQ(in_memory->result.spilled_runs, 0u);
    // 64 KiB: tens of runs merged at once; 8 KiB: hundreds, merged in passes.
    for (std::size_t budget : {64 * 1024, 8 * 1024}) {
      auto spilled = build(v, entries, budget);
      EXPECT_GT(spilled->result.spilled_runs, budget == 8 * 1024 ? 200u : 10u);
      EXPECT_EQ(spilled->result.root_page, in_memory->result.root_page);
      EXPECT_EQ(spilled->result.unique_entry_count, in_memory->result.unique_entry_count);
      EXPECT_TRUE(spilled->sink.pages == in_memory->sink.pages) << to_string(v) << " " << budget;
    }
  }
}

// Entries that arrive in key order but with equal keys' rows out of order,
// as a compaction passes an index's entries with remapped rows, build the
// same pages as any other order.
TEST(IndexBuilder, TheOrderEntriesArriveInChangesNoPage) {
  std::vector<IndexEntry> sorted = synthetic_entries(6000, 6, 5);  // short keys: many repeats
  std::sort(sorted.begin(), sorted.end());
  std::vector<IndexEntry> shuffled = sorted;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(9));
  std::vector<IndexEntry> keys_ordered_rows_reversed = sorted;
  std::stable_sort(keys_ordered_rows_reversed.begin(), keys_ordered_rows_reversed.end(),
                   [](const IndexEntry& a, const IndexEntry& b) {
                     if (const auto c = IndexEntry::compare_keys(a.key, b.key); c != 0) return c < 0;
                     return a.row > b.row;
                   });
  ASSERT_NE(keys_ordered_rows_reversed, sorted) << "the keys should repeat";
  std::vector<IndexEntry> reversed(sorted.rbegin(), sorted.rend());
  for (Version v : {Version::Jet3, Version::Jet4}) {
    const auto expected = build(v, sorted, std::size_t{64} << 20);
    struct Order {
      const char* name;
      const std::vector<IndexEntry>& entries;
    };
    for (const Order& order : {Order{"shuffled", shuffled}, Order{"equal keys' rows reversed", keys_ordered_rows_reversed},
                               Order{"reversed", reversed}}) {
      for (std::size_t budget : {std::size_t{64} << 20, std::size_t{8} << 10}) {
        const auto built = build(v, order.entries, budget);
        EXPECT_TRUE(built->sink.pages == expected->sink.pages) << to_string(v) << ", " << order.name << ", " << budget;
        EXPECT_EQ(built->result.unique_entry_count, expected->result.unique_entry_count);
      }
    }
  }
}

TEST(IndexBuilder, RebuildsEveryCorpusIndexFromItsOwnEntries) {
  if (!testing::corpus_available()) GTEST_SKIP() << "no sample databases at " << JET_CORPUS_DIR;
  std::size_t indexes = 0;
  for (const testing::CorpusFile& file : testing::load_corpus()) {
    SCOPED_TRACE(file.name);
    for (const testing::IndexRoot& root : testing::index_roots(file)) {
      std::vector<IndexEntry> entries =
          read_index(file.version, root.table_page, root.root_page, file.page_count(), file.page_source());
      std::vector<IndexEntry> shuffled = entries;
      std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(root.root_page));
      auto built = build(file.version, shuffled, 4096);
      IndexWalk w = walk(file.version, *built);
      EXPECT_TRUE(w.problems.empty()) << "root " << root.root_page;
      EXPECT_EQ(w.entries, entries) << "root " << root.root_page;
      ++indexes;
    }
  }
  EXPECT_GT(indexes, 200u);
}

TEST(IndexBuilder, CountsUniqueEntriesAsAccessDoes) {
  if (!testing::corpus_available()) GTEST_SKIP() << "no sample databases at " << JET_CORPUS_DIR;
  // Table1 of either file has one real index over 512 rows, spread over
  // several pages; Access counted 511 distinct keys (two rows share a null
  // key). The count is at +4 of the first real-index block.
  struct Case {
    const char* file;
    std::uint32_t tdef;
    std::uint32_t root;
    std::size_t count_offset;
  };
  std::size_t proved = 0;
  for (const Case& c : {Case{"v1997-compIndexTest.mdb", 29, 36, 43 + 4}, Case{"v2000-compIndexTest.mdb", 15, 29, 63 + 4}}) {
    for (const testing::CorpusFile& file : testing::load_corpus()) {
      if (file.name.find(c.file) == std::string::npos) continue;
      SCOPED_TRACE(file.name);
      const std::uint32_t access_count = load_u32(&file.page(c.tdef)[c.count_offset]);
      ASSERT_EQ(access_count, 511u);
      std::vector<IndexEntry> entries = read_index(file.version, c.tdef, c.root, file.page_count(), file.page_source());
      EXPECT_EQ(entries.size(), 512u);
      EXPECT_EQ(build(file.version, entries, 1 << 20)->result.unique_entry_count, access_count);
      ++proved;
    }
  }
  if (proved == 0) GTEST_SKIP() << "neither compIndexTest sample is there";
}

TEST(IndexBuilder, RefusesDuplicatesAndKeysTooLongForAPage) {
  for (std::size_t budget : {std::size_t{1} << 20, std::size_t{64}}) {
    IndexBuilder builder(IndexBuildOptions{Version::Jet4, 2, budget});
    for (int i = 0; i < 10; ++i) builder.add({0x7F, static_cast<std::uint8_t>(i)}, RowPointer{5, 1});
    builder.add({0x7F, 3}, RowPointer{5, 1});
    MemorySink sink(1);
    try {
      builder.finish(sink);
      FAIL() << "built an index with a duplicate entry";
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
    }
  }
  IndexBuilder builder(IndexBuildOptions{Version::Jet3, 2, 1 << 20});
  try {
    builder.add(std::vector<std::uint8_t>(index_page_capacity(Version::Jet3), 0x7F), RowPointer{5, 1});
    FAIL() << "accepted a key longer than a page";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::LimitExceeded);
  }
}

// Entries in key order (rows of equal keys in any order): what a streaming
// build is given.
std::vector<IndexEntry> in_key_order(std::vector<IndexEntry> entries, std::uint32_t seed) {
  std::shuffle(entries.begin(), entries.end(), std::mt19937(seed));
  std::stable_sort(entries.begin(), entries.end(), [](const IndexEntry& a, const IndexEntry& b) {
    return IndexEntry::compare_keys(a.key, b.key) < 0;
  });
  return entries;
}

// `count` rows under each of the keys, as an index on a yes/no column has.
std::vector<IndexEntry> few_keys(std::initializer_list<std::uint8_t> keys, std::size_t count) {
  std::vector<IndexEntry> entries;
  for (std::uint8_t key : keys) {
    for (std::size_t i = 0; i < count; ++i) {
      entries.push_back(IndexEntry{{0x7F, key}, RowPointer{static_cast<std::uint32_t>(1000 + i / 100),
                                                             static_cast<std::uint8_t>(i % 100)}});
    }
  }
  return entries;
}

struct Outcome {
  std::optional<ErrorCode> error;
  Location where;
  IndexBuildResult result;
  MemorySink sink{10};
};

std::unique_ptr<Outcome> build_with(const std::vector<IndexEntry>& entries, const IndexBuildOptions& options,
                                    bool streaming) {
  auto out = std::make_unique<Outcome>();
  IndexBuilder builder(options);
  try {
    if (streaming) builder.start_streaming(out->sink);
    for (const IndexEntry& e : entries) builder.add(e.key, e.row);
    out->result = streaming ? builder.finish() : builder.finish(out->sink);
  } catch (const Error& e) {
    out->error = e.code();
    out->where = e.where();
  }
  return out;
}

// A streaming build takes and writes the same pages in the same order as a
// sorting build of the same entries, and refuses what it refuses; entries
// out of key order it refuses as a damaged source.
TEST(IndexBuilder, StreamingGivesTheSortingBuildsPages) {
  struct Case {
    const char* name;
    std::vector<IndexEntry> entries;
    std::size_t budget;
    bool unique;
    std::optional<ErrorCode> refused;  // by both builds
    std::optional<ErrorCode> refused_streaming;
    bool spills;
  };
  const std::vector<IndexEntry> text_like = synthetic_entries(20000, 12, 21);
  std::vector<IndexEntry> out_of_order = in_key_order(text_like, 1);
  std::swap(out_of_order[15000], out_of_order[15100]);
  std::vector<IndexEntry> repeated = in_key_order(text_like, 2);
  repeated.insert(repeated.begin() + 9000, repeated[9000]);
  std::vector<IndexEntry> unique_keys;
  for (const IndexEntry& e : in_key_order(text_like, 3)) {
    if (unique_keys.empty() || unique_keys.back().key != e.key) unique_keys.push_back(e);
  }
  std::vector<IndexEntry> with_nulls = few_keys({0x00}, 3000);  // a unique index's null key, many times
  with_nulls.insert(with_nulls.end(), unique_keys.begin(), unique_keys.end());
  const std::vector<Case> cases = {
      {"an empty index", {}, 1 << 20, false, {}, {}, false},
      {"one entry", {text_like.front()}, 1 << 20, false, {}, {}, false},
      {"text keys, rows of equal keys shuffled", in_key_order(text_like, 4), 1 << 20, false, {}, {}, false},
      {"text keys within a small budget", in_key_order(text_like, 5), 8 << 10, false, {}, {}, false},
      {"many equal keys across the budget", in_key_order(few_keys({0x00, 0x01, 0xFF}, 12000), 6), 16 << 10, false,
       {}, {}, true},
      {"equal keys across hundreds of runs", in_key_order(few_keys({0x00, 0xFF}, 20000), 7), 2 << 10, false, {}, {},
       true},
      {"a unique index with the null key many times", with_nulls, 8 << 10, true, {}, {}, true},
      {"a unique index with a key twice", in_key_order(text_like, 8), 1 << 20, true, ErrorCode::InvalidArgument, {},
       false},
      {"the same key and row twice", repeated, 1 << 20, false, ErrorCode::InvalidArgument, {}, false},
      {"a key out of order", out_of_order, 1 << 20, false, {}, ErrorCode::Corrupt, false},
  };
  for (Version v : {Version::Jet3, Version::Jet4}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(to_string(v)) + ", " + c.name);
      const IndexBuildOptions options{v, 2, c.budget, c.unique, {0x7F, 0x00}};
      const auto sorted = build_with(c.entries, options, false);
      const auto streamed = build_with(c.entries, options, true);
      EXPECT_EQ(sorted->error, c.refused);
      EXPECT_EQ(streamed->error, c.refused ? c.refused : c.refused_streaming);
      if (streamed->error) {
        EXPECT_EQ(streamed->where.structure, "index");
        EXPECT_EQ(streamed->where.field, "entries");
      }
      if (sorted->error || streamed->error) continue;
      EXPECT_EQ(streamed->sink.calls, sorted->sink.calls);
      EXPECT_TRUE(streamed->sink.pages == sorted->sink.pages);
      EXPECT_EQ(streamed->result.root_page, sorted->result.root_page);
      EXPECT_EQ(streamed->result.entry_count, c.entries.size());
      EXPECT_EQ(streamed->result.unique_entry_count, sorted->result.unique_entry_count);
      EXPECT_EQ(streamed->result.pages, sorted->result.pages);
      EXPECT_EQ(streamed->result.spilled_runs > 0, c.spills);
    }
  }
}

}  // namespace
}  // namespace jet
