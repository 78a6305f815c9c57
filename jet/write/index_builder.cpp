#include "jet/write/index_builder.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <string>

#include "jet/base/error.h"
#include "jet/format/value.h"

namespace jet {

namespace {

// The arena's offsets are 32 bits wide: a run is spilled before it outgrows
// them, whatever the budget.
constexpr std::size_t kMaxArenaBytes = std::size_t{0xFFFFFFFF} - 0xFFFF;

// Record layout of a spilled run: u16 key length, key, u32 page, u8 row.
void write_record(std::FILE* f, Bytes key, RowPointer row) {
  std::uint8_t head[2];
  store_u16(head, static_cast<std::uint16_t>(key.size()));
  std::uint8_t tail[5];
  store_u32(tail, row.page);
  tail[4] = row.row;
  if (std::fwrite(head, 1, 2, f) != 2 || std::fwrite(key.data(), 1, key.size(), f) != key.size() ||
      std::fwrite(tail, 1, 5, f) != 5) {
    throw Error(ErrorCode::Io, "cannot write a sorted run of index entries to a temporary file");
  }
}

// The size an index page's entries will take once encode_index_page has
// taken out their shared prefix, kept up to date entry by entry.
class PageSize {
 public:
  // What the size would be with `record` appended (and the state to keep).
  std::size_t with(Bytes record, std::size_t trailer, std::size_t& common, std::size_t& limit) const {
    limit = std::min(limit_, record.size() - trailer + 3);  // never into the row byte
    if (count_ == 0) {
      common = record.size();
      return record.size();
    }
    std::size_t lcp = 0;
    const std::size_t bound = std::min(common_, record.size());
    while (lcp < bound && first_[lcp] == record[lcp]) ++lcp;
    common = lcp;
    return raw_ + record.size() - std::min(common, limit) * count_;
  }

  void append(Bytes record, std::size_t common, std::size_t limit) {
    if (count_ == 0) first_.assign(record.begin(), record.end());
    raw_ += record.size();
    common_ = common;
    limit_ = limit;
    ++count_;
  }

  // An empty page again, the first record's buffer kept; no prefix will be
  // longer than `max_prefix` (what the page header can name).
  void clear(std::size_t max_prefix) {
    first_.clear();
    raw_ = 0;
    common_ = 0;
    limit_ = max_prefix;
    count_ = 0;
  }

 private:
  std::vector<std::uint8_t> first_;
  std::size_t raw_ = 0;
  std::size_t common_ = 0;
  std::size_t limit_ = SIZE_MAX;
  std::size_t count_ = 0;
};

// One level of the tree under construction: its open page and, above the
// leaves, the latest child, held back until it is known whether it is the
// page's last (its tail). The open page's entries are kept written out, in
// buffers reused from page to page.
struct Level {
  IndexPage page;  // the header fields; its entries stay empty
  IndexRecords records;
  PageSize size;
  std::uint32_t number = 0;
  bool open = false;
  std::size_t closed_pages = 0;
  std::optional<IndexEntry> held;  // last leaf entry below the child, child page in `child`
  IndexEntry last_leaf;            // the last leaf entry below the open page
};

class PageStream {
 public:
  PageStream(const IndexBuildOptions& options, PageStore& sink, IndexBuildResult& result)
      : options_(options), sink_(sink), result_(result) {}

  void add_leaf_entry(const IndexEntry& entry) {
    if (!level(0).open) open_page(0, 0, allocate());
    if (!try_append(0, entry)) {
      close_page(0, true);
      try_append(0, entry);
    }
  }

  void finish() {
    if (!level(0).open) open_page(0, 0, allocate());  // an empty index is one empty leaf
    for (std::size_t depth = 0;; ++depth) {
      Level& l = levels_[depth];
      if (depth > 0) settle_last_child(depth);
      if (l.closed_pages == 0) {
        write_page(depth, 0);
        result_.root_page = l.number;
        return;
      }
      close_page(depth, false);
    }
  }

 private:
  std::uint32_t allocate() { return sink_.allocate_page(); }

  Level& level(std::size_t depth) {
    if (levels_.size() <= depth) levels_.resize(depth + 1);
    return levels_[depth];
  }

  void open_page(std::size_t depth, std::uint32_t prev, std::uint32_t number) {
    Level& l = level(depth);
    l.page.leaf = depth == 0;
    l.page.table_page = options_.table_page;
    l.page.prev_page = prev;
    l.page.next_page = 0;
    l.page.tail_page = 0;
    l.page.level = static_cast<std::uint8_t>(std::min<std::size_t>(depth, 255));
    l.records.clear();
    l.size.clear(max_shared_prefix(options_.version));
    l.number = number;
    l.open = true;
  }

  // Writes `entry` out into record_ and says whether the open page at
  // `depth` has room for it (with what PageSize::append then needs).
  bool room_for(std::size_t depth, const IndexEntry& entry, std::size_t& common, std::size_t& limit) {
    Level& l = levels_[depth];
    record_.clear();
    append_index_entry(record_, entry, l.page.leaf);
    const std::size_t trailer = l.page.leaf ? 4 : 8;
    return l.size.with(record_, trailer, common, limit) <= index_page_capacity(options_.version);
  }

  bool try_append(std::size_t depth, const IndexEntry& entry) {
    Level& l = levels_[depth];
    std::size_t common = 0, limit = 0;
    if (!room_for(depth, entry, common, limit)) {
      if (l.records.empty()) {
        throw Error(ErrorCode::LimitExceeded, Location{std::nullopt, "index", "key"},
                    "a key of " + std::to_string(entry.key.size()) + " bytes does not fit an index page");
      }
      return false;
    }
    l.size.append(record_, common, limit);
    l.records.append(record_);
    if (l.page.leaf) l.last_leaf = entry;
    return true;
  }

  void write_page(std::size_t depth, std::uint32_t next) {
    Level& l = levels_[depth];
    l.page.next_page = next;
    encode_index_page_into(options_.version, l.page, l.records, encoded_);
    sink_.write_page(l.number, encoded_);
    result_.pages.push_back(l.number);
  }

  // Passes the open page up as a child of the level above, writes it, and
  // opens the one after it when `more`. Leaves link from first to last;
  // above them, as Access links them, a page links only to its siblings
  // under the same parent, so the link between two pages is cut where the
  // first becomes its parent's tail.
  void close_page(std::size_t depth, bool more) {
    const std::uint32_t next = more ? allocate() : 0;
    Level& l = levels_[depth];
    IndexEntry up = l.last_leaf;
    up.child = l.number;
    ++l.closed_pages;
    add_child(depth + 1, std::move(up));
    const bool linked = more && (depth == 0 || held_child_fits(depth + 1));
    write_page(depth, linked ? next : 0);
    if (more) {
      open_page(depth, linked ? l.number : 0, next);
    } else {
      l.open = false;
    }
  }

  // Whether the child held at `depth` will become an entry of the open page
  // there rather than its tail, should another child follow: add_child
  // appends it then if it fits, and nothing changes the page before.
  bool held_child_fits(std::size_t depth) {
    std::size_t common = 0, limit = 0;
    return room_for(depth, *levels_[depth].held, common, limit);
  }

  // Intermediate levels: the held child becomes an entry once another child
  // follows, or the tail of a page that has no room for it.
  void add_child(std::size_t depth, IndexEntry child) {
    Level& l = level(depth);
    if (!l.open) open_page(depth, 0, allocate());
    if (l.held) {
      IndexEntry previous = std::move(*l.held);
      l.held.reset();
      if (!try_append(depth, previous)) {
        levels_[depth].page.tail_page = previous.child;
        levels_[depth].last_leaf = previous;
        close_page(depth, true);
      } else {
        levels_[depth].last_leaf = previous;
      }
    }
    levels_[depth].held = std::move(child);
  }

  // At the end: the last child of an intermediate page is its tail, unless it
  // is the page's only child.
  void settle_last_child(std::size_t depth) {
    Level& l = levels_[depth];
    if (!l.held) return;
    IndexEntry child = std::move(*l.held);
    l.held.reset();
    if (l.records.empty()) {
      try_append(depth, child);
    } else {
      l.page.tail_page = child.child;
    }
    l.last_leaf = child;
  }

  const IndexBuildOptions& options_;
  PageStore& sink_;
  IndexBuildResult& result_;
  std::deque<Level> levels_;  // references stay valid as levels are added
  std::vector<std::uint8_t> record_;   // the entry being appended, written out
  std::vector<std::uint8_t> encoded_;  // the page being written
};

}  // namespace

// The pages under way, and the checks each entry passes on its way to them.
struct IndexBuilder::Output {
  Output(const IndexBuildOptions& options, PageStore& sink)
      : options(options), sink(sink), stream(options, sink, result) {}

  // Takes the next entry in index order.
  void emit(const IndexEntry& e) {
    if (has_previous) {
      if (!(previous < e)) {
        throw Error(ErrorCode::InvalidArgument, Location{std::nullopt, "index", "entries"},
                    "the same key and row were added twice (row " + std::to_string(e.row.row) + " of page " +
                        std::to_string(e.row.page) + ")");
      }
      if (previous.key != e.key) {
        ++result.unique_entry_count;
      } else if (options.unique && e.key != options.null_key) {
        throw Error(ErrorCode::InvalidArgument, Location{std::nullopt, "index", "entries"},
                    "the key " + hex_text(e.key) + " is there twice in a unique index");
      }
    } else {
      ++result.unique_entry_count;
    }
    ++result.entry_count;
    previous.key.assign(e.key.begin(), e.key.end());
    previous.row = e.row;
    has_previous = true;
    stream.add_leaf_entry(e);
  }

  const IndexBuildOptions& options;
  PageStore& sink;
  IndexBuildResult result;
  PageStream stream;
  IndexEntry previous;  // its key buffer reused
  bool has_previous = false;
};

struct IndexBuilder::Run {
  std::FILE* file = nullptr;
  ~Run() {
    if (file) std::fclose(file);
  }
  // An unnamed temporary file: the system removes it when it is closed, or
  // when the process ends however it ends.
  void open() {
    file = std::tmpfile();
    if (!file) throw Error(ErrorCode::Io, "cannot create a temporary file for sorting index entries");
  }
  void rewind() {
    if (std::fflush(file) != 0 || std::fseek(file, 0, SEEK_SET) != 0) {
      throw Error(ErrorCode::Io, "cannot write a sorted run of index entries to a temporary file");
    }
  }
  // Reads the next entry of the run into `e`, its key buffer reused; false
  // at the run's end.
  bool next(IndexEntry& e) {
    std::uint8_t head[2];
    const std::size_t got = std::fread(head, 1, 2, file);
    if (got == 0 && std::feof(file)) return false;
    e.key.resize(got == 2 ? load_u16(head) : 0);
    std::uint8_t tail[5];
    if (got != 2 || std::fread(e.key.data(), 1, e.key.size(), file) != e.key.size() ||
        std::fread(tail, 1, 5, file) != 5) {
      throw Error(ErrorCode::Io, "cannot read back a sorted run of index entries");
    }
    e.row = RowPointer{load_u32(tail), tail[4]};
    return true;
  }
};

// Merges sorted runs into one sorted stream, smallest entry first. Each run
// keeps one head entry, read back into the same buffer each time.
void IndexBuilder::merge_runs(std::vector<std::unique_ptr<Run>>& runs,
                              const std::function<void(const IndexEntry&)>& out) {
  struct Head {
    IndexEntry entry;
    std::size_t run;
  };
  const auto later = [](const Head& a, const Head& b) { return b.entry < a.entry; };
  std::vector<Head> heads;
  heads.reserve(runs.size());
  for (std::size_t r = 0; r < runs.size(); ++r) {
    Head head{IndexEntry{}, r};
    if (runs[r]->next(head.entry)) heads.push_back(std::move(head));
  }
  std::make_heap(heads.begin(), heads.end(), later);
  while (!heads.empty()) {
    std::pop_heap(heads.begin(), heads.end(), later);
    Head& smallest = heads.back();
    out(smallest.entry);
    if (runs[smallest.run]->next(smallest.entry)) {
      std::push_heap(heads.begin(), heads.end(), later);
    } else {
      heads.pop_back();
    }
  }
}

IndexBuilder::IndexBuilder(IndexBuildOptions options) : options_(options) {}
IndexBuilder::~IndexBuilder() = default;

void IndexBuilder::add(Bytes key, RowPointer row) {
  if (key.size() + 8 > index_page_capacity(options_.version)) {
    throw Error(ErrorCode::LimitExceeded, Location{std::nullopt, "index", "key"},
                "a key of " + std::to_string(key.size()) + " bytes does not fit an index page");
  }
  if (output_) {
    const bool group_open = !held_.empty() || !runs_.empty();
    const auto order = group_open ? IndexEntry::compare_keys(key, group_key_) : std::strong_ordering::greater;
    if (order < 0) {
      throw Error(ErrorCode::Corrupt, Location{std::nullopt, "index", "entries"},
                  "the key " + hex_text(key) + " comes after the greater key " + hex_text(group_key_) +
                      ": the index is out of order");
    }
    if (order > 0) {
      // No entry can come before the held group any more.
      if (group_open) drain([this](const IndexEntry& e) { output_->emit(e); });
      group_key_.assign(key.begin(), key.end());
    }
  }
  held_.push_back(Held{static_cast<std::uint32_t>(keys_.size()), static_cast<std::uint16_t>(key.size()), row});
  keys_.insert(keys_.end(), key.begin(), key.end());
  if (keys_.size() + held_.size() * sizeof(Held) >= options_.memory_budget || keys_.size() >= kMaxArenaBytes) {
    spill();
    ++spilled_runs_;
  }
}

// Sorts the held entries into index order. Entries that arrive in key order,
// as a compaction takes them from an existing index, only need each run of
// equal keys put in row order, which costs little next to a full sort.
void IndexBuilder::sort_held() {
  const auto key_less = [this](const Held& a, const Held& b) {
    return IndexEntry::compare_keys(key_of(a), key_of(b)) < 0;
  };
  if (!std::is_sorted(held_.begin(), held_.end(), key_less)) {
    std::sort(held_.begin(), held_.end(), [this](const Held& a, const Held& b) {
      const auto order = IndexEntry::compare_keys(key_of(a), key_of(b));
      return order != 0 ? order < 0 : a.row < b.row;
    });
    return;
  }
  for (auto first = held_.begin(); first != held_.end();) {
    auto last = std::next(first);
    while (last != held_.end() && IndexEntry::compare_keys(key_of(*first), key_of(*last)) == 0) ++last;
    if (std::distance(first, last) > 1) {
      std::sort(first, last, [](const Held& a, const Held& b) { return a.row < b.row; });
    }
    first = last;
  }
}

void IndexBuilder::spill() {
  sort_held();
  auto run = std::make_unique<Run>();
  run->open();
  for (const Held& e : held_) write_record(run->file, key_of(e), e.row);
  run->rewind();
  runs_.push_back(std::move(run));
  // The capacity stays for the next run, which fills it again.
  held_.clear();
  keys_.clear();
}

void IndexBuilder::drain(const std::function<void(const IndexEntry&)>& out) {
  if (runs_.empty()) {
    sort_held();
    for (const Held& e : held_) {
      entry_.key.assign(key_of(e).begin(), key_of(e).end());
      entry_.row = e.row;
      out(entry_);
    }
  } else {
    if (!held_.empty()) spill();
    // Merge at most kMaxFanIn runs at a time, so that open files stay few
    // however small the budget was for the index.
    while (runs_.size() > kMaxFanIn) {
      std::vector<std::unique_ptr<Run>> group;
      for (std::size_t i = 0; i < kMaxFanIn; ++i) group.push_back(std::move(runs_[i]));
      runs_.erase(runs_.begin(), runs_.begin() + static_cast<std::ptrdiff_t>(kMaxFanIn));
      auto merged = std::make_unique<Run>();
      merged->open();
      merge_runs(group, [&](const IndexEntry& e) { write_record(merged->file, e.key, e.row); });
      merged->rewind();
      runs_.push_back(std::move(merged));
    }
    merge_runs(runs_, out);
    runs_.clear();
  }
  // The capacity stays for the next group, which fills it again.
  held_.clear();
  keys_.clear();
}

IndexBuildResult IndexBuilder::finish(PageStore& sink) {
  if (output_) throw Error(ErrorCode::InvalidArgument, "a streaming index build already writes to its own sink");
  output_ = std::make_unique<Output>(options_, sink);
  drain([this](const IndexEntry& e) { output_->emit(e); });
  return close();
}

void IndexBuilder::start_streaming(PageStore& sink) {
  if (output_ || !held_.empty() || !runs_.empty()) {
    throw Error(ErrorCode::InvalidArgument, "an index build streams from its first entry or not at all");
  }
  output_ = std::make_unique<Output>(options_, sink);
}

IndexBuildResult IndexBuilder::finish() {
  if (!output_) throw Error(ErrorCode::InvalidArgument, "only a streaming index build knows where its pages go");
  drain([this](const IndexEntry& e) { output_->emit(e); });
  return close();
}

IndexBuildResult IndexBuilder::close() {
  output_->stream.finish();
  IndexBuildResult result = std::move(output_->result);
  result.spilled_runs = spilled_runs_;
  output_.reset();
  held_ = {};
  keys_ = {};
  return result;
}

}  // namespace jet
