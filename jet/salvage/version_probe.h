// Telling a database's format from its pages when its header cannot say.
//
// The header page is the one place that names the format, and a damaged
// header would otherwise make every other page unreadable. The pages
// themselves betray their size: every page starts with its type byte and a
// 0x01, a Jet 3 table definition carries "VC" at byte 2, a Jet 4 one carries
// the table magic 1625 at byte 12. Reading the file at a 2 KiB stride, the
// odd-numbered slots are the middle of 4 KiB pages in a Jet 4 file and whole
// pages in a Jet 3 one; page 2, the catalog's definition, sits at 4 KiB in a
// Jet 3 file and at 8 KiB in a Jet 4 one.
#pragma once

#include <optional>

#include "jet/base/file.h"
#include "jet/format/format.h"

namespace jet {

struct VersionEvidence {
  // Slots at a 2 KiB stride that are not 4 KiB-aligned yet start like a page.
  std::uint32_t page_like_odd_slots = 0;
  // 4 KiB-aligned slots that start like a page.
  std::uint32_t page_like_even_slots = 0;
  bool jet3_catalog_definition = false;  // page 2 at 2 KiB pages decodes as a Jet 3 TDEF
  bool jet4_catalog_definition = false;  // page 2 at 4 KiB pages decodes as a Jet 4 TDEF
};

// Gathers the evidence, reading at most max_slots slots (bounded work on a
// large file).
VersionEvidence gather_version_evidence(const File& file, std::uint32_t max_slots = 4096);

// The format the evidence points to, or nothing when the pages do not look
// like either format (an encrypted file, noise).
std::optional<Version> guess_version(const VersionEvidence& evidence);

}  // namespace jet
