// The verifier: walks every structure of a Jet 3 or Jet 4 database and
// reports each inconsistency it meets as a Finding (jet/verify/finding.h).
//
// What it checks, family by family:
//   header      fields out of range, a partial last page
//   tables      each catalog table's definition: continuation pages, counts
//               that disagree with the columns and indexes, pointers that
//               lead to pages of the wrong kind
//   rows        the pages the table's usage map names: data pages of the
//               table, row offsets inside the page and not overlapping,
//               every row decoding against the definition, overflow rows,
//               long values (dangling, looping, length disagreeing), the
//               stored row count
//   indexes     every real index walked from its root: page kinds, order,
//               entry bitmaps and prefixes, levels and sibling links, entries
//               that point at missing or deleted rows
//   pages       who uses each page: pages used twice, used but marked free in
//               the global free-page map, or used by nobody
//
// A healthy file written by Access gives no finding above info: what Access
// routinely leaves behind (freed pages keeping old bytes, discarded table
// definitions and long-value pages, definitions of dropped tables) is noted
// as info.
//
// The verifier never throws on damage. A structure that does not decode
// becomes a finding and the walk goes on with the rest; every loop over links
// taken from the file is bounded by the file's page count.
#pragma once

#include <string>

#include "jet/base/file.h"
#include "jet/verify/finding.h"

namespace jet {

struct VerifyOptions {
  std::size_t max_findings = FindingList::kDefaultLimit;
};

// Verifies the database held by file. Raises UnrecognisedFormat when the
// file is no Jet 3 or Jet 4 database (see decode_header), and Io when it
// cannot be read; everything found wrong after that is a finding.
FindingList verify(const File& file, const VerifyOptions& options = {});

// The same for the file at path (NotFound or Io when it cannot be opened).
FindingList verify(const std::string& path, const VerifyOptions& options = {});

}  // namespace jet
