#include "jet/salvage/version_probe.h"

#include <algorithm>
#include <array>

#include "jet/format/catalog_definition.h"
#include "jet/format/table_def.h"

namespace jet {

namespace {

// The smaller page size: each Jet 4 page spans two slots.
constexpr std::uint32_t kSlot = page_size(Version::Jet3);

// The first two bytes of every page kind the engine knows, but the header.
bool starts_like_page(const std::uint8_t* head) {
  const auto type = static_cast<PageType>(head[0]);
  return type >= PageType::Data && type <= PageType::UsageMap && head[1] == kPageMark;
}

bool starts_like_definition(const std::array<std::uint8_t, 16>& head) {
  return head[0] == static_cast<std::uint8_t>(PageType::TableDefinition) && head[1] == kPageMark;
}

bool read_slot_head(const File& file, std::uint64_t offset, std::array<std::uint8_t, 16>& head) {
  if (offset + head.size() > file.size()) return false;
  file.read_at(offset, head);
  return true;
}

}  // namespace

VersionEvidence gather_version_evidence(const File& file, std::uint32_t max_slots) {
  VersionEvidence evidence;
  std::array<std::uint8_t, 16> head{};
  std::uint64_t slots = file.size() / kSlot;
  if (slots > max_slots) slots = max_slots;
  // Slot 0 is the header page in either format.
  for (std::uint64_t slot = 1; slot < slots; ++slot) {
    if (!read_slot_head(file, slot * kSlot, head) || !starts_like_page(head.data())) continue;
    if (slot % 2 == 1) {
      ++evidence.page_like_odd_slots;
    } else {
      ++evidence.page_like_even_slots;
    }
  }
  if (read_slot_head(file, std::uint64_t{kCatalogPage} * page_size(Version::Jet3), head)) {
    evidence.jet3_catalog_definition =
        starts_like_definition(head) &&
        std::equal(std::begin(kJet3DefinitionMark), std::end(kJet3DefinitionMark), head.begin() + 2);
  }
  if (read_slot_head(file, std::uint64_t{kCatalogPage} * page_size(Version::Jet4), head)) {
    evidence.jet4_catalog_definition =
        starts_like_definition(head) && load_u16(head.data() + kJet4TableMagicOffset) == kTableMagic;
  }
  return evidence;
}

std::optional<Version> guess_version(const VersionEvidence& evidence) {
  // The catalog's definition is the strongest single sign, when only one
  // format's reads as one.
  if (evidence.jet3_catalog_definition != evidence.jet4_catalog_definition) {
    return evidence.jet3_catalog_definition ? Version::Jet3 : Version::Jet4;
  }
  // Otherwise count: in a Jet 3 file the odd slots are pages like the even
  // ones; in a Jet 4 file they are the middle of pages and almost never start
  // with a page type followed by 0x01. Half the even count allows for a Jet 3
  // file whose odd pages happen to be blank more often.
  std::uint32_t even = evidence.page_like_even_slots;
  std::uint32_t odd = evidence.page_like_odd_slots;
  if (even == 0 && odd == 0) return std::nullopt;
  if (2 * odd >= even) return Version::Jet3;
  return Version::Jet4;
}

}  // namespace jet
