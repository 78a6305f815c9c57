// Ways to damage a database image for robustness tests.
//
// Every mutator takes the bytes of a healthy file and returns a damaged copy,
// deterministically: the same arguments give the same bytes on every run, so
// a failure found once can be replayed. Sweeps that would take minutes under
// the sanitizers sample their positions instead of trying each one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace jet::testing {

using Image = std::vector<std::uint8_t>;

// The page size an image's header claims (2048 or 4096), or 4096 when the
// version byte is unknown.
std::size_t image_page_size(const Image& image);
std::size_t page_count(const Image& image);

// Positions in [begin, end): all of them when there are at most `budget`,
// otherwise `budget` of them, the first and last included and the rest spread
// evenly with a seeded jitter so that every field width gets hit.
std::vector<std::size_t> sample_positions(std::size_t begin, std::size_t end, std::size_t budget,
                                          std::uint64_t seed);

// The values a byte sweep writes at each position: the extremes, the
// original with its top bit flipped, and the original plus one (which turns
// counts and offsets into off-by-one errors).
std::vector<std::uint8_t> sweep_values(std::uint8_t original);

Image with_byte(Image image, std::size_t offset, std::uint8_t value);
Image with_u16(Image image, std::size_t offset, std::uint16_t value);
Image with_u32(Image image, std::size_t offset, std::uint32_t value);
Image truncated(const Image& image, std::size_t size);
// Page `page` overwritten with seeded noise; with keep_type the first two
// bytes (page type and its companion byte) stay, so that decoders go past
// the type check into the noise.
Image with_noise_page(Image image, std::size_t page, std::uint64_t seed, bool keep_type);

// Page numbers whose first byte is `type` (for data pages, excluding the
// long-value pages).
std::vector<std::size_t> pages_of_type(const Image& image, std::uint8_t type);
// Data pages carrying "LVAL" in the owner field: long-value pages.
std::vector<std::size_t> long_value_pages(const Image& image);
// Pages of the given type that name the catalog (page 2) as their owner:
// its data pages (0x01) or its index pages (0x03, 0x04).
std::vector<std::size_t> catalog_pages(const Image& image, std::uint8_t type);
// The pages overwritten with zeros.
Image with_zeroed_pages(Image image, const std::vector<std::size_t>& pages);
// Every row of the catalog's data pages flagged deleted: what remains of
// them are older copies, as a freed page of the catalog holds them.
Image with_catalog_rows_deleted(Image image);
// The first data page owned by a table other than the catalog and holding
// at least one row, if any.
std::optional<std::size_t> first_user_data_page(const Image& image);

// Pointer loops.
// The continuation pointer of the table definition on `page` aimed at `target`.
Image with_tdef_next(Image image, std::size_t page, std::uint32_t target);
// Every row of long-value page `page` linked to itself: a chained value that
// passes through the page loops forever unless the reader counts its steps.
Image with_lval_rows_linked_to_self(Image image, std::size_t page);
// The next-sibling pointer of index page `page` aimed at `target`.
Image with_index_next(Image image, std::size_t page, std::uint32_t target);

// Reads a file into an image.
Image load_image(const std::string& path);

}  // namespace jet::testing
