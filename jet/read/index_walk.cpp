#include "jet/read/index_walk.h"

#include <optional>

#include "jet/base/error.h"

namespace jet {

namespace {

std::string entry_text(const IndexEntry& e) {
  static const char* hex = "0123456789abcdef";
  std::string text;
  for (std::uint8_t b : e.key) {
    text += hex[b >> 4];
    text += hex[b & 15];
  }
  return text + " -> row " + std::to_string(e.row.row) + " of page " + std::to_string(e.row.page);
}

class Walker {
 public:
  // What the walk does with leaf entries and problems.
  enum class Mode {
    Collect,  // entries and problems into the IndexWalk
    Stream,   // entries to `take`, problems into the IndexWalk
    Strict,   // entries to `take`; the first problem raises Corrupt
  };

  Walker(Version v, std::uint32_t table_page, const IndexWalkOptions& options, const PageSource& source,
         Mode mode = Mode::Collect, const IndexLeafEntrySink* take = nullptr)
      : version_(v),
        table_page_(table_page),
        options_(options),
        source_(source),
        mode_(mode),
        take_(take),
        seen_(options.page_count),
        decoded_(options.max_depth + 1) {}

  IndexWalk run(std::uint32_t root) {
    visit(root, 0, 0, "root page");
    check_level_links();
    return std::move(walk_);
  }

 private:
  // One page of one level, for the sibling-link check.
  struct LevelPage {
    std::uint32_t number;
    std::uint32_t prev;
    std::uint32_t next;
    std::uint32_t parent;  // 0 for the root
  };

  void problem(std::uint32_t page, std::string field, std::string what) {
    if (mode_ == Mode::Strict) throw_corrupt(page, "index", field, what);
    if (walk_.problems.size() >= options_.max_problems) {
      walk_.problems_truncated = true;
      return;
    }
    walk_.problems.push_back(IndexProblem{page, std::move(field), std::move(what)});
  }

  // Page `number` decoded into the buffer of its depth, or nullptr (with a
  // problem). The page a level above stays in its own buffer while the walk
  // goes down from it.
  IndexPage* load(std::uint32_t number, std::uint32_t parent, std::size_t depth, const std::string& pointer_field) {
    if (number == 0 || number >= options_.page_count) {
      problem(parent, pointer_field,
              "points at page " + std::to_string(number) + ", outside the file's " +
                  std::to_string(options_.page_count) + " pages");
      return nullptr;
    }
    if (seen_[number]) {
      problem(parent, pointer_field, "leads to page " + std::to_string(number) + " a second time (a loop)");
      return nullptr;
    }
    seen_[number] = true;
    IndexPage& page = decoded_[depth];
    try {
      decode_index_page_into(version_, number, source_(number), page);
    } catch (const Error& e) {
      problem(e.where().page.value_or(number), e.where().field.empty() ? "page" : e.where().field, e.message());
      return nullptr;
    }
    if (page.table_page != table_page_) {
      problem(number, "table definition page",
              "is " + std::to_string(page.table_page) + ", not the index's table " + std::to_string(table_page_));
    }
    walk_.pages.push_back(number);
    return &page;
  }

  // Visits the subtree at `number`; true when it held a leaf entry, the last
  // of which is then last_leaf_.
  bool visit(std::uint32_t number, std::uint32_t parent, std::size_t depth, const std::string& pointer_field) {
    if (depth > options_.max_depth) {
      problem(parent, pointer_field, "leads deeper than " + std::to_string(options_.max_depth) + " levels");
      return false;
    }
    IndexPage* page = load(number, parent, depth, pointer_field);
    if (page == nullptr) return false;
    if (levels_.size() <= depth) levels_.resize(depth + 1);
    levels_[depth].push_back(LevelPage{number, page->prev_page, page->next_page, parent});
    if (page->leaf) return visit_leaf(number, *page, depth);
    return visit_intermediate(number, *page, depth);
  }

  bool visit_leaf(std::uint32_t number, IndexPage& page, std::size_t depth) {
    if (leaf_depth_ && *leaf_depth_ != depth) {
      problem(number, "page type",
              "is a leaf at depth " + std::to_string(depth) + " where other leaves are at " +
                  std::to_string(*leaf_depth_));
    }
    leaf_depth_ = depth;
    if (page.entries.empty()) return false;
    if (last_leaf_ && !(*last_leaf_ < page.entries.front())) {
      problem(number, "entry 0",
              entry_text(page.entries.front()) + " is not after the previous page's last entry " +
                  entry_text(*last_leaf_));
    }
    last_leaf_ = page.entries.back();
    if (mode_ != Mode::Collect) {
      for (IndexEntry& e : page.entries) (*take_)(e, number);
    } else {
      for (IndexEntry& e : page.entries) walk_.entries.push_back(std::move(e));
    }
    return true;
  }

  bool visit_intermediate(std::uint32_t number, const IndexPage& page, std::size_t depth) {
    if (page.entries.empty() && page.tail_page == 0) problem(number, "entries", "has neither entries nor a tail page");
    bool any = false;
    for (std::size_t i = 0; i < page.entries.size(); ++i) {
      const IndexEntry& entry = page.entries[i];
      const std::string field = "entry " + std::to_string(i);
      const bool below = visit(entry.child, number, depth + 1, field);
      if (below && (last_leaf_->key != entry.key || last_leaf_->row != entry.row)) {
        problem(number, field,
                entry_text(entry) + " differs from the last entry below child page " + std::to_string(entry.child) +
                    ", " + entry_text(*last_leaf_));
      }
      any = any || below;
    }
    if (page.tail_page != 0) any = visit(page.tail_page, number, depth + 1, "tail page") || any;
    return any;
  }

  // Leaves chain from first to last. Above them Access links a page only to
  // its siblings under the same parent; a link on to the next parent's
  // first child is taken too.
  void check_level_links() {
    for (std::size_t depth = 0; depth < levels_.size(); ++depth) {
      const std::vector<LevelPage>& level = levels_[depth];
      const bool leaves = leaf_depth_ == depth;
      for (std::size_t i = 0; i < level.size(); ++i) {
        const std::uint32_t want_prev = i == 0 ? 0 : level[i - 1].number;
        const std::uint32_t want_next = i + 1 == level.size() ? 0 : level[i + 1].number;
        const bool first_child = i == 0 || level[i - 1].parent != level[i].parent;
        const bool last_child = i + 1 == level.size() || level[i + 1].parent != level[i].parent;
        if (level[i].prev != want_prev && !(!leaves && first_child && level[i].prev == 0)) {
          problem(level[i].number, "previous page",
                  "is " + std::to_string(level[i].prev) + ", not " + std::to_string(want_prev));
        }
        if (level[i].next != want_next && !(!leaves && last_child && level[i].next == 0)) {
          problem(level[i].number, "next page",
                  "is " + std::to_string(level[i].next) + ", not " + std::to_string(want_next));
        }
      }
    }
  }

  Version version_;
  std::uint32_t table_page_;
  const IndexWalkOptions& options_;
  const PageSource& source_;
  Mode mode_;
  const IndexLeafEntrySink* take_;
  IndexWalk walk_;
  std::optional<IndexEntry> last_leaf_;  // the last leaf entry met so far
  std::vector<bool> seen_;  // a bit a page of the file: the pages already reached
  std::vector<IndexPage> decoded_;  // by depth: the page being walked at each level
  std::vector<std::vector<LevelPage>> levels_;
  std::optional<std::size_t> leaf_depth_;
};

}  // namespace

IndexWalk check_index(Version v, std::uint32_t table_page, std::uint32_t root_page, const IndexWalkOptions& options,
                      const PageSource& source) {
  return Walker(v, table_page, options, source).run(root_page);
}

std::vector<IndexEntry> read_index(Version v, std::uint32_t table_page, std::uint32_t root_page,
                                   std::uint32_t page_count, const PageSource& source) {
  IndexWalkOptions options;
  options.page_count = page_count;
  options.max_problems = 1;
  IndexWalk walk = check_index(v, table_page, root_page, options, source);
  if (!walk.problems.empty()) {
    const IndexProblem& p = walk.problems.front();
    throw_corrupt(p.page, "index", p.field, p.what);
  }
  return std::move(walk.entries);
}

IndexWalk check_index_streaming(Version v, std::uint32_t table_page, std::uint32_t root_page,
                                const IndexWalkOptions& options, const PageSource& source,
                                const IndexEntrySink& take) {
  const IndexLeafEntrySink by_leaf = [&take](IndexEntry& entry, std::uint32_t) { take(entry); };
  return check_index_streaming_by_leaf(v, table_page, root_page, options, source, by_leaf);
}

IndexWalk check_index_streaming_by_leaf(Version v, std::uint32_t table_page, std::uint32_t root_page,
                                        const IndexWalkOptions& options, const PageSource& source,
                                        const IndexLeafEntrySink& take) {
  return Walker(v, table_page, options, source, Walker::Mode::Stream, &take).run(root_page);
}

void stream_index(Version v, std::uint32_t table_page, std::uint32_t root_page, std::uint32_t page_count,
                  const PageSource& source, const IndexEntrySink& take) {
  IndexWalkOptions options;
  options.page_count = page_count;
  const IndexLeafEntrySink by_leaf = [&take](IndexEntry& entry, std::uint32_t) { take(entry); };
  Walker(v, table_page, options, source, Walker::Mode::Strict, &by_leaf).run(root_page);
}

}  // namespace jet
