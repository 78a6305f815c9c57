#include "support/damage.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "jet/base/bytes.h"

namespace jet::testing {

namespace {

constexpr std::size_t kVersionOffset = 0x14;

bool is_jet3(const Image& image) {
  return image.size() > kVersionOffset && image[kVersionOffset] == 0;
}

// Offsets of the row count in a data page and of the next-sibling pointer in
// an index page; they differ by format.
std::size_t data_row_count_offset(const Image& image) { return is_jet3(image) ? 8 : 12; }
std::size_t index_next_offset(const Image& image) { return is_jet3(image) ? 12 : 16; }

std::size_t page_offset(const Image& image, std::size_t page) { return page * image_page_size(image); }

bool page_is_long_value(const Image& image, std::size_t page) {
  std::size_t at = page_offset(image, page);
  return image[at] == 0x01 && std::memcmp(image.data() + at + 4, "LVAL", 4) == 0;
}

}  // namespace

std::size_t image_page_size(const Image& image) { return is_jet3(image) ? 2048 : 4096; }

std::size_t page_count(const Image& image) { return image.size() / image_page_size(image); }

std::vector<std::size_t> sample_positions(std::size_t begin, std::size_t end, std::size_t budget,
                                          std::uint64_t seed) {
  std::vector<std::size_t> positions;
  if (end <= begin || budget == 0) return positions;
  std::size_t span = end - begin;
  if (span <= budget) {
    for (std::size_t i = begin; i < end; ++i) positions.push_back(i);
    return positions;
  }
  if (budget == 1) return {begin};
  std::mt19937_64 random(seed);
  positions.push_back(begin);
  positions.push_back(end - 1);
  // Evenly spread strides, each moved by a jitter within its stride.
  std::size_t inner = budget > 2 ? budget - 2 : 0;
  for (std::size_t i = 0; i < inner; ++i) {
    std::size_t lo = begin + 1 + i * (span - 2) / inner;
    std::size_t hi = begin + 1 + (i + 1) * (span - 2) / inner;
    positions.push_back(lo + (hi > lo ? random() % (hi - lo) : 0));
  }
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  return positions;
}

std::vector<std::uint8_t> sweep_values(std::uint8_t original) {
  std::vector<std::uint8_t> values{0x00, 0xFF, static_cast<std::uint8_t>(original ^ 0x80),
                                   static_cast<std::uint8_t>(original + 1)};
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  values.erase(std::remove(values.begin(), values.end(), original), values.end());
  return values;
}

Image with_byte(Image image, std::size_t offset, std::uint8_t value) {
  image.at(offset) = value;
  return image;
}

Image with_u16(Image image, std::size_t offset, std::uint16_t value) {
  if (offset + 2 > image.size()) throw std::out_of_range("with_u16 past the end");
  store_u16(image.data() + offset, value);
  return image;
}

Image with_u32(Image image, std::size_t offset, std::uint32_t value) {
  if (offset + 4 > image.size()) throw std::out_of_range("with_u32 past the end");
  store_u32(image.data() + offset, value);
  return image;
}

Image truncated(const Image& image, std::size_t size) {
  return Image(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(std::min(size, image.size())));
}

Image with_noise_page(Image image, std::size_t page, std::uint64_t seed, bool keep_type) {
  std::size_t size = image_page_size(image);
  std::size_t at = page * size;
  if (at + size > image.size()) throw std::out_of_range("noise page past the end");
  std::mt19937_64 random(seed ^ (page * 0x9E3779B97F4A7C15ull));
  for (std::size_t i = keep_type ? 2 : 0; i < size; ++i) {
    image[at + i] = static_cast<std::uint8_t>(random());
  }
  return image;
}

std::vector<std::size_t> pages_of_type(const Image& image, std::uint8_t type) {
  std::vector<std::size_t> pages;
  for (std::size_t page = 1; page < page_count(image); ++page) {
    if (image[page_offset(image, page)] != type) continue;
    if (type == 0x01 && page_is_long_value(image, page)) continue;
    pages.push_back(page);
  }
  return pages;
}

std::vector<std::size_t> catalog_pages(const Image& image, std::uint8_t type) {
  std::vector<std::size_t> pages;
  for (std::size_t page : pages_of_type(image, type)) {
    if (load_u32(image.data() + page_offset(image, page) + 4) == 2) pages.push_back(page);
  }
  return pages;
}

Image with_zeroed_pages(Image image, const std::vector<std::size_t>& pages) {
  for (std::size_t page : pages) {
    std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(page_offset(image, page)), image_page_size(image), 0);
  }
  return image;
}

Image with_catalog_rows_deleted(Image image) {
  for (std::size_t page : catalog_pages(image, 0x01)) {
    const std::size_t count_at = page_offset(image, page) + data_row_count_offset(image);
    const std::size_t rows = load_u16(image.data() + count_at);
    for (std::size_t i = 0; i < rows && count_at + 4 + 2 * i <= image.size(); ++i) {
      const std::size_t at = count_at + 2 + 2 * i;
      image = with_u16(std::move(image), at, static_cast<std::uint16_t>(load_u16(image.data() + at) | 0x8000));
    }
  }
  return image;
}

std::vector<std::size_t> long_value_pages(const Image& image) {
  std::vector<std::size_t> pages;
  for (std::size_t page = 1; page < page_count(image); ++page) {
    if (page_is_long_value(image, page)) pages.push_back(page);
  }
  return pages;
}

std::optional<std::size_t> first_user_data_page(const Image& image) {
  for (std::size_t page : pages_of_type(image, 0x01)) {
    std::size_t at = page_offset(image, page);
    std::uint32_t owner = load_u32(image.data() + at + 4);
    std::uint16_t rows = load_u16(image.data() + at + data_row_count_offset(image));
    if (owner > 2 && owner < page_count(image) && rows > 0) return page;
  }
  return std::nullopt;
}

Image with_tdef_next(Image image, std::size_t page, std::uint32_t target) {
  return with_u32(std::move(image), page_offset(image, page) + 4, target);
}

Image with_lval_rows_linked_to_self(Image image, std::size_t page) {
  std::size_t at = page_offset(image, page);
  std::size_t count_at = at + data_row_count_offset(image);
  std::uint16_t rows = load_u16(image.data() + count_at);
  std::size_t size = image_page_size(image);
  for (std::uint16_t row = 0; row < rows && row < 256; ++row) {
    std::size_t slot = count_at + 2 + 2 * row;
    if (slot + 2 > at + size) break;
    std::size_t start = load_u16(image.data() + slot) & 0x1FFF;
    if (start + 4 > size) continue;
    // A chain pointer: row number in the low byte, page in the upper three.
    store_u32(image.data() + at + start, static_cast<std::uint32_t>(page << 8 | row));
  }
  return image;
}

Image with_index_next(Image image, std::size_t page, std::uint32_t target) {
  return with_u32(std::move(image), page_offset(image, page) + index_next_offset(image), target);
}

Image load_image(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  return Image(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace jet::testing
