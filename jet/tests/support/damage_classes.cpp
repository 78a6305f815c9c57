#include "support/damage_classes.h"

#include <algorithm>
#include <random>

#include "jet/format/data_page.h"
#include "jet/read/database.h"

namespace jet::testing {

namespace {

constexpr std::uint32_t kCatalogPage = 2;

// What the classes aim at, found in the sound file through the engine.
struct Targets {
  std::size_t page_size = 0;
  std::size_t data_header = 0;
  std::vector<std::uint32_t> user_definition_pages;
  std::vector<std::uint32_t> user_data_pages;  // holding at least one slot
  std::vector<ByteRange> usage_map_rows;       // owned-pages maps of user tables
};

Targets find_targets(const Image& sound) {
  MemoryFile file(sound);
  Database db(file);
  Targets targets;
  targets.page_size = page_size(db.version());
  targets.data_header = data_page_header_size(db.version());
  for (const CatalogObject& object : db.tables(false)) {
    Table table = db.table(object);
    const TableDef& def = table.def();
    targets.user_definition_pages.insert(targets.user_definition_pages.end(), def.pages.begin(), def.pages.end());
    for (std::uint32_t number : table.data_pages()) {
      Page page = db.page(number);
      if (!decode_data_page(*page, db.version(), number).slots.empty()) targets.user_data_pages.push_back(number);
    }
    RowPointer map = def.owned_pages;
    Page page = db.page(map.page);
    Bytes row = row_bytes(*page, decode_data_page(*page, db.version(), map.page), map.row, db.version(), map.page);
    std::size_t start = map.page * targets.page_size + static_cast<std::size_t>(row.data() - page->data());
    targets.usage_map_rows.push_back({start, start + row.size()});
  }
  return targets;
}

class Damager {
 public:
  Damager(const Image& sound, std::uint64_t seed) : image_{sound, {}}, random_(seed) {}

  template <typename T>
  std::optional<T> pick(const std::vector<T>& candidates) {
    if (candidates.empty()) return std::nullopt;
    return candidates[random_() % candidates.size()];
  }
  std::size_t below(std::size_t n) { return n == 0 ? 0 : random_() % n; }

  void noise(std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) image_.image[i] = static_cast<std::uint8_t>(random_());
    image_.ranges.push_back({begin, end});
  }
  void zero(std::size_t begin, std::size_t end) {
    std::fill(image_.image.begin() + static_cast<std::ptrdiff_t>(begin),
              image_.image.begin() + static_cast<std::ptrdiff_t>(end), 0);
    image_.ranges.push_back({begin, end});
  }
  void flip_bit(std::size_t at) {
    image_.image[at] ^= static_cast<std::uint8_t>(1u << below(8));
    image_.ranges.push_back({at, at + 1});
  }
  // Keeps `keep` bytes; the page they end in is lost whole.
  void truncate(std::size_t keep, std::size_t page_size) {
    image_.ranges.push_back({keep / page_size * page_size, image_.image.size()});
    image_.image.resize(keep);
  }

  DamagedImage done() { return std::move(image_); }

 private:
  DamagedImage image_;
  std::mt19937_64 random_;
};

using Apply = std::function<std::optional<DamagedImage>(const Image&, std::uint64_t)>;

// A class that overwrites part of one page chosen among candidates.
// span(page_size) gives the [begin, end) within the page.
Apply on_one_page(std::function<std::vector<std::uint32_t>(const Image&, const Targets&)> candidates,
                  std::function<ByteRange(std::size_t)> span, bool zero) {
  return [=](const Image& sound, std::uint64_t seed) -> std::optional<DamagedImage> {
    Targets targets = find_targets(sound);
    Damager damager(sound, seed);
    auto page = damager.pick(candidates(sound, targets));
    if (!page) return std::nullopt;
    ByteRange within = span(targets.page_size);
    std::size_t base = *page * targets.page_size;
    zero ? damager.zero(base + within.begin, base + within.end) : damager.noise(base + within.begin, base + within.end);
    return damager.done();
  };
}

std::vector<std::uint32_t> as_pages(const std::vector<std::size_t>& pages) {
  return std::vector<std::uint32_t>(pages.begin(), pages.end());
}

// Truncation keeps at least the header, the free-page map and the catalog.
std::size_t pages_to_keep(const Image& sound, Damager& damager) {
  std::size_t pages = page_count(sound);
  std::size_t spare = pages > 4 ? pages - 4 : 0;
  return pages - 1 - damager.below(std::max<std::size_t>(1, spare / 3));
}

std::vector<DamageClass> make_classes() {
  auto past_type = [](std::size_t size) { return ByteRange{2, size}; };
  std::vector<DamageClass> classes;
  classes.push_back({"undamaged", true, [](const Image& sound, std::uint64_t) {
                       return std::optional(DamagedImage{sound, {}});
                     }});
  classes.push_back({"header", true, [](const Image& sound, std::uint64_t seed) {
                       Damager damager(sound, seed);
                       damager.noise(0x04, 0x84);
                       return std::optional(damager.done());
                     }});
  classes.push_back({"catalog definition", true,
                     on_one_page([](const Image&, const Targets&) { return std::vector<std::uint32_t>{kCatalogPage}; },
                                 [](std::size_t size) { return ByteRange{8, size}; }, false)});
  classes.push_back({"table definition", false,
                     on_one_page([](const Image&, const Targets& t) { return t.user_definition_pages; }, past_type,
                                 false)});
  classes.push_back({"row-offset table", false, [](const Image& sound, std::uint64_t seed) -> std::optional<DamagedImage> {
                       Targets targets = find_targets(sound);
                       Damager damager(sound, seed);
                       auto page = damager.pick(targets.user_data_pages);
                       if (!page) return std::nullopt;
                       std::size_t base = *page * targets.page_size;
                       std::size_t count_at = base + targets.data_header - 2;
                       std::size_t slots = std::size_t{sound[count_at]} | std::size_t{sound[count_at + 1]} << 8;
                       std::size_t first = damager.below(slots);
                       std::size_t last = std::min(slots, first + 1 + damager.below(4));
                       damager.noise(base + targets.data_header + 2 * first, base + targets.data_header + 2 * last);
                       return damager.done();
                     }});
  classes.push_back({"data page zeroed", true,
                     on_one_page([](const Image&, const Targets& t) { return t.user_data_pages; },
                                 [](std::size_t size) { return ByteRange{0, size}; }, true)});
  classes.push_back({"data page half overwritten", false,
                     on_one_page([](const Image&, const Targets& t) { return t.user_data_pages; },
                                 [](std::size_t size) { return ByteRange{size / 2, size}; }, false)});
  classes.push_back({"long-value page", false,
                     on_one_page([](const Image& sound, const Targets&) { return as_pages(long_value_pages(sound)); },
                                 past_type, false)});
  classes.push_back({"index page", true,
                     on_one_page(
                         [](const Image& sound, const Targets&) {
                           auto pages = as_pages(pages_of_type(sound, 0x03));
                           auto leaves = as_pages(pages_of_type(sound, 0x04));
                           pages.insert(pages.end(), leaves.begin(), leaves.end());
                           return pages;
                         },
                         past_type, false)});
  classes.push_back({"usage map", true, [](const Image& sound, std::uint64_t seed) -> std::optional<DamagedImage> {
                       Targets targets = find_targets(sound);
                       Damager damager(sound, seed);
                       auto row = damager.pick(targets.usage_map_rows);
                       if (!row) return std::nullopt;
                       damager.noise(row->begin, row->end);
                       return damager.done();
                     }});
  classes.push_back({"truncated at a page", true, [](const Image& sound, std::uint64_t seed) {
                       Damager damager(sound, seed);
                       std::size_t size = image_page_size(sound);
                       damager.truncate(pages_to_keep(sound, damager) * size, size);
                       return std::optional(damager.done());
                     }});
  classes.push_back({"truncated inside a page", true, [](const Image& sound, std::uint64_t seed) {
                       Damager damager(sound, seed);
                       std::size_t size = image_page_size(sound);
                       std::size_t keep = pages_to_keep(sound, damager) * size;
                       damager.truncate(keep + 1 + damager.below(size - 1), size);
                       return std::optional(damager.done());
                     }});
  classes.push_back({"scattered bit flips", false, [](const Image& sound, std::uint64_t seed) {
                       Damager damager(sound, seed);
                       std::size_t size = image_page_size(sound);
                       for (int i = 0; i < 32; ++i) damager.flip_bit(size + damager.below(sound.size() - size));
                       return std::optional(damager.done());
                     }});
  return classes;
}

}  // namespace

const std::vector<DamageClass>& damage_classes() {
  static const std::vector<DamageClass> classes = make_classes();
  return classes;
}

}  // namespace jet::testing
