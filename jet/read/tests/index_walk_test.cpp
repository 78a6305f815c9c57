#include "jet/read/index_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "jet/base/error.h"
#include "support/corpus_files.h"

namespace jet {
namespace {

constexpr Version kV = Version::Jet4;
constexpr std::uint32_t kTable = 2;

IndexEntry entry(std::uint8_t k, std::uint32_t child = 0) {
  return IndexEntry{{0x7F, k}, RowPointer{100, k}, child};
}

// A two-level tree: root 3 over leaves 4 (keys 1-3), 5 (4-6) and tail 6
// (7-9).
std::map<std::uint32_t, IndexPage> two_level_tree() {
  std::map<std::uint32_t, IndexPage> pages;
  auto leaf = [](std::uint32_t prev, std::uint32_t next, std::uint8_t first) {
    IndexPage p;
    p.table_page = kTable;
    p.prev_page = prev;
    p.next_page = next;
    for (std::uint8_t k = first; k < first + 3; ++k) p.entries.push_back(entry(k));
    return p;
  };
  pages[4] = leaf(0, 5, 1);
  pages[5] = leaf(4, 6, 4);
  pages[6] = leaf(5, 0, 7);
  IndexPage root;
  root.leaf = false;
  root.level = 1;
  root.table_page = kTable;
  root.entries = {entry(3, 4), entry(6, 5)};
  root.tail_page = 6;
  pages[3] = root;
  return pages;
}

PageSource source_of(const std::map<std::uint32_t, IndexPage>& pages) {
  std::map<std::uint32_t, std::vector<std::uint8_t>> encoded;
  for (const auto& [n, p] : pages) encoded[n] = encode_index_page(kV, p);
  return [encoded](std::uint32_t n) {
    auto it = encoded.find(n);
    if (it != encoded.end()) return it->second;
    std::vector<std::uint8_t> data_page(page_size(kV), 0);
    data_page[0] = 0x01;
    return data_page;
  };
}

IndexWalk walk(const std::map<std::uint32_t, IndexPage>& pages, std::uint32_t root = 3) {
  return check_index(kV, kTable, root, IndexWalkOptions{20, 1000, 32}, source_of(pages));
}

TEST(IndexWalk, YieldsLeafEntriesInOrderThroughEntriesAndTail) {
  IndexWalk w = walk(two_level_tree());
  EXPECT_TRUE(w.problems.empty()) << w.problems.front().what;
  ASSERT_EQ(w.entries.size(), 9u);
  for (std::uint8_t k = 1; k <= 9; ++k) EXPECT_EQ(w.entries[k - 1], entry(k));
  EXPECT_EQ(w.pages, (std::vector<std::uint32_t>{3, 4, 5, 6}));
}

// Damage to the tree and the problems (page, field) the walk must report.
struct TreeDamage {
  const char* name;
  std::function<void(std::map<std::uint32_t, IndexPage>&)> apply;
  std::vector<std::pair<std::uint32_t, std::string>> expected;
};

std::vector<TreeDamage> tree_damages() {
  return {
      {"tail loops back to the root", [](auto& t) { t[3].tail_page = 3; }, {{3, "tail page"}, {5, "next page"}}},
      {"child outside the file", [](auto& t) { t[3].entries[0].child = 99; }, {{3, "entry 0"}, {5, "previous page"}}},
      {"child is a data page", [](auto& t) { t[3].entries[1].child = 12; }, {{12, "page type"}, {4, "next page"}, {6, "previous page"}}},
      {"leaf of another table", [](auto& t) { t[5].table_page = 9; }, {{5, "table definition page"}}},
      {"intermediate entry disagrees with its child",
       [](auto& t) { t[3].entries[0].key = {0x7F, 0x02}; },
       {{3, "entry 0"}}},
      {"leaves out of order",
       [](auto& t) { std::swap(t[4].entries, t[6].entries); },
       {{5, "entry 0"}, {6, "entry 0"}, {3, "entry 0"}}},
      {"broken sibling links",
       [](auto& t) {
         t[4].next_page = 0;
         t[6].prev_page = 4;
       },
       {{4, "next page"}, {6, "previous page"}}},
  };
}

// The walk's problems as (page, field), against the case's, both sorted.
void expect_problems(const IndexWalk& w, std::vector<std::pair<std::uint32_t, std::string>> want) {
  std::vector<std::pair<std::uint32_t, std::string>> got;
  for (const auto& p : w.problems) got.emplace_back(p.page, p.field);
  std::sort(got.begin(), got.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(got, want);
}

TEST(IndexWalk, CollectsEveryProblemInsteadOfStopping) {
  for (const TreeDamage& d : tree_damages()) {
    SCOPED_TRACE(d.name);
    auto tree = two_level_tree();
    d.apply(tree);
    expect_problems(walk(tree), d.expected);
  }
}

// Four levels, linked as Access links them: the leaves 4-5-6-9-11-12 (three
// keys each) in one chain; above them pages link only to siblings under the
// same parent: 7-8 (under 14), 13 (under 15), and 14-15 (under the root 3).
std::map<std::uint32_t, IndexPage> four_level_tree() {
  std::map<std::uint32_t, IndexPage> pages;
  const std::vector<std::uint32_t> leaves = {4, 5, 6, 9, 11, 12};
  for (std::size_t i = 0; i < leaves.size(); ++i) {
    IndexPage& p = pages[leaves[i]];
    p.table_page = kTable;
    p.prev_page = i == 0 ? 0 : leaves[i - 1];
    p.next_page = i + 1 == leaves.size() ? 0 : leaves[i + 1];
    for (std::size_t k = 1; k <= 3; ++k) p.entries.push_back(entry(static_cast<std::uint8_t>(3 * i + k)));
  }
  auto node = [&](std::uint32_t number, std::uint8_t level, std::vector<IndexEntry> entries, std::uint32_t tail,
                  std::uint32_t prev, std::uint32_t next) {
    IndexPage& p = pages[number];
    p.leaf = false;
    p.level = level;
    p.table_page = kTable;
    p.entries = std::move(entries);
    p.tail_page = tail;
    p.prev_page = prev;
    p.next_page = next;
  };
  node(7, 1, {entry(3, 4)}, 5, 0, 8);
  node(8, 1, {entry(9, 6)}, 9, 7, 0);
  node(13, 1, {entry(15, 11)}, 12, 0, 0);
  node(14, 2, {entry(6, 7)}, 8, 0, 15);
  node(15, 2, {entry(18, 13)}, 0, 14, 0);
  node(3, 3, {entry(12, 14)}, 15, 0, 0);
  return pages;
}

TEST(IndexWalk, AboveTheLeavesLinksStopAtTheParentOrRunOn) {
  const std::vector<TreeDamage> cases = {
      {"as Access links them", [](auto&) {}, {}},
      {"linked across the parents", [](auto& t) { t[8].next_page = 13, t[13].prev_page = 8; }, {}},
      {"siblings unlinked", [](auto& t) { t[7].next_page = 0, t[8].prev_page = 0; }, {{7, "next page"}, {8, "previous page"}}},
      {"a link to a page of another level", [](auto& t) { t[8].next_page = 11; }, {{8, "next page"}}},
      {"leaves cut where their parents change",
       [](auto& t) { t[9].next_page = 0, t[11].prev_page = 0; },
       {{9, "next page"}, {11, "previous page"}}},
  };
  for (const TreeDamage& c : cases) {
    SCOPED_TRACE(c.name);
    auto tree = four_level_tree();
    c.apply(tree);
    const IndexWalk w = walk(tree);
    expect_problems(w, c.expected);
    EXPECT_EQ(w.entries.size(), 18u);
  }
}

TEST(IndexWalk, ReadIndexRaisesTheFirstProblem) {
  auto tree = two_level_tree();
  tree[3].tail_page = 3;
  try {
    read_index(kV, kTable, 3, 20, source_of(tree));
    FAIL() << "read a looping index";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::Corrupt);
    EXPECT_EQ(e.where().page, 3u);
  }
}

// Streaming hands on what the collecting walk returns, and stops at the
// first problem: whatever was taken before it is still in strict order.
TEST(IndexWalk, StreamTakesTheEntriesInOrderAndRaisesTheFirstProblem) {
  std::vector<IndexEntry> taken;
  const IndexEntrySink take = [&](IndexEntry& e) { taken.push_back(e); };
  stream_index(kV, kTable, 3, 20, source_of(two_level_tree()), take);
  EXPECT_EQ(taken, walk(two_level_tree()).entries);
  for (const TreeDamage& d : tree_damages()) {
    SCOPED_TRACE(d.name);
    auto tree = two_level_tree();
    d.apply(tree);
    taken.clear();
    try {
      stream_index(kV, kTable, 3, 20, source_of(tree), take);
      ADD_FAILURE() << "streamed a damaged index to the end";
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::Corrupt);
      const IndexProblem first = walk(tree).problems.front();
      EXPECT_EQ(e.where().page, first.page);
      EXPECT_EQ(e.where().field, first.field);
    }
    EXPECT_TRUE(std::is_sorted(taken.begin(), taken.end()));
    EXPECT_EQ(std::adjacent_find(taken.begin(), taken.end()), taken.end());
  }
}

// The verifier's streaming walk: the problems of the collecting walk, every
// one of them, and the entries it would have collected, handed on instead.
TEST(IndexWalk, StreamingCheckReportsWhatTheCollectingWalkReports) {
  std::vector<TreeDamage> cases = tree_damages();
  cases.push_back({"undamaged", [](auto&) {}, {}});
  for (const TreeDamage& d : cases) {
    SCOPED_TRACE(d.name);
    auto tree = two_level_tree();
    d.apply(tree);
    std::vector<IndexEntry> taken;
    IndexWalk streamed = check_index_streaming(kV, kTable, 3, IndexWalkOptions{20, 1000, 32}, source_of(tree),
                                               [&](IndexEntry& e) { taken.push_back(e); });
    IndexWalk collected = walk(tree);
    EXPECT_EQ(streamed.problems, collected.problems);
    EXPECT_EQ(streamed.pages, collected.pages);
    EXPECT_TRUE(streamed.entries.empty());
    EXPECT_EQ(taken, collected.entries);
  }
}

TEST(IndexWalk, EveryCorpusIndexTreeWalksCleanly) {
  if (!testing::corpus_available()) GTEST_SKIP() << "no sample databases at " << JET_CORPUS_DIR;
  std::size_t roots = 0;
  for (const testing::CorpusFile& file : testing::load_corpus()) {
    SCOPED_TRACE(file.name);
    for (const testing::IndexRoot& root : testing::index_roots(file)) {
      ++roots;
      IndexWalk w = check_index(file.version, root.table_page, root.root_page, IndexWalkOptions{file.page_count(), 1000, 32},
                                file.page_source());
      for (const auto& problem : w.problems) ADD_FAILURE() << "page " << problem.page << " " << problem.field << ": " << problem.what;
      std::size_t streamed = 0;
      stream_index(file.version, root.table_page, root.root_page, file.page_count(), file.page_source(),
                   [&](IndexEntry& e) {
                     if (streamed < w.entries.size()) {
                       EXPECT_EQ(e, w.entries[streamed]);
                     }
                     ++streamed;
                   });
      EXPECT_EQ(streamed, w.entries.size());
    }
  }
  EXPECT_GT(roots, 200u);
}

}  // namespace
}  // namespace jet

namespace jet {
namespace {

// Damage never crashes the walk, hangs it or goes unreported: every single
// byte change to an index page of the samples either leaves a tree that
// still walks or is reported as a problem.
TEST(IndexWalk, EveryByteOfDamageIsReportedOrHarmless) {
  if (!testing::corpus_available()) GTEST_SKIP() << "no sample databases at " << JET_CORPUS_DIR;
  std::size_t damaged = 0;
  std::size_t reported = 0;
  for (const testing::CorpusFile& file : testing::load_corpus()) {
    if (file.name.find("compIndexTest") == std::string::npos && file.name.find("v1997-indexTest") == std::string::npos) {
      continue;
    }
    std::vector<std::uint8_t> bytes(file.bytes);
    const PageSource source = [&](std::uint32_t n) {
      const std::size_t size = page_size(file.version);
      return std::vector<std::uint8_t>(bytes.begin() + n * size, bytes.begin() + (n + 1) * size);
    };
    for (const testing::IndexRoot& root : testing::index_roots(file)) {
      const IndexWalk clean = check_index(file.version, root.table_page, root.root_page,
                                          IndexWalkOptions{file.page_count(), 1000, 32}, file.page_source());
      const std::size_t header_end = index_page_layout(file.version).entries + 24;
      for (std::uint32_t page : clean.pages) {
        for (std::size_t offset = 0; offset < header_end; offset += 3) {
          for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t{0x5A}}) {
            std::uint8_t& target = bytes[page * page_size(file.version) + offset];
            const std::uint8_t original = target;
            if (original == value) continue;
            target = value;
            ++damaged;
            IndexWalk w = check_index(file.version, root.table_page, root.root_page,
                                      IndexWalkOptions{file.page_count(), 1000, 32}, source);
            if (!w.problems.empty()) {
              ++reported;
            } else {
              // Unreported damage must have left a sound, ordered index.
              EXPECT_TRUE(std::is_sorted(w.entries.begin(), w.entries.end()));
              EXPECT_LE(w.entries.size(), clean.entries.size() + 1);
            }
            target = original;
          }
        }
      }
    }
  }
  EXPECT_GT(damaged, 1000u);
  EXPECT_GT(reported, damaged / 4);
}

}  // namespace
}  // namespace jet
