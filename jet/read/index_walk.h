// Walking a real index's B-tree from its root page.
//
// check_index visits every page below the root, depth first, children in
// entry order and the tail page last, and collects every inconsistency it
// meets instead of stopping at the first: a verifier reports them all, a
// salvage decides what to trust. read_index is the strict form for readers.
//
// What the walk checks:
//   - every page it is led to exists, is an index page, decodes, and belongs
//     to the table;
//   - no page is reached twice (a loop or a shared child);
//   - leaf entries, taken in walk order, are strictly ascending;
//   - an intermediate entry equals the last leaf entry below its child;
//   - all leaves lie at the same depth;
//   - previous/next links chain the leaves in walk order, and the pages of
//     each level above them at least among siblings of one parent.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jet/format/format.h"
#include "jet/format/index_page.h"
#include "jet/format/table_def.h"

namespace jet {

struct IndexProblem {
  std::uint32_t page = 0;
  std::string field;
  std::string what;

  friend bool operator==(const IndexProblem&, const IndexProblem&) = default;
};

struct IndexWalk {
  std::vector<IndexEntry> entries;   // the leaf entries, in walk order
  std::vector<std::uint32_t> pages;  // every index page that decoded, in walk order
  std::vector<IndexProblem> problems;
  // Set when the problem list reached its bound and later ones were dropped.
  bool problems_truncated = false;
};

struct IndexWalkOptions {
  std::uint32_t page_count = 0;  // pages in the file; pointers at or past it are bad
  std::size_t max_problems = 1000;
  std::size_t max_depth = 32;
};

IndexWalk check_index(Version v, std::uint32_t table_page, std::uint32_t root_page, const IndexWalkOptions& options,
                      const PageSource& source);

// The index's leaf entries in order. Raises a Corrupt error for the first
// problem check_index would report.
std::vector<IndexEntry> read_index(Version v, std::uint32_t table_page, std::uint32_t root_page,
                                   std::uint32_t page_count, const PageSource& source);

// Receives each leaf entry of a walk in order, as its page is read. The
// entry may be moved from.
using IndexEntrySink = std::function<void(IndexEntry&)>;

// check_index for an index too large to hold: every problem is collected as
// check_index collects it, but the leaf entries go to `take` instead of into
// IndexWalk::entries (which stays empty), so only one page's entries are
// held at a time.
IndexWalk check_index_streaming(Version v, std::uint32_t table_page, std::uint32_t root_page,
                                const IndexWalkOptions& options, const PageSource& source,
                                const IndexEntrySink& take);

// Receives each leaf entry with the number of the leaf page that holds it.
using IndexLeafEntrySink = std::function<void(IndexEntry&, std::uint32_t leaf_page)>;

// check_index_streaming for a caller that reports where an entry was found.
IndexWalk check_index_streaming_by_leaf(Version v, std::uint32_t table_page, std::uint32_t root_page,
                                        const IndexWalkOptions& options, const PageSource& source,
                                        const IndexLeafEntrySink& take);

// The strict walk for an index too large to hold: each leaf entry goes to
// `take` as its page is read, and only one page's entries are held at a
// time. The first problem raises Corrupt at once, after the entries before
// it were taken.
void stream_index(Version v, std::uint32_t table_page, std::uint32_t root_page, std::uint32_t page_count,
                  const PageSource& source, const IndexEntrySink& take);

}  // namespace jet
