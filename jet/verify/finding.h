// What the verifier reports: one Finding per inconsistency it meets.
//
// A finding names where it was seen the way a decode error does (page,
// structure, field) and says what is wrong. Its severity tells a reader how
// much to worry:
//   info     something Access itself leaves behind in healthy files (freed
//            pages keeping their old bytes, discarded page kinds 0x08/0x09);
//   warning  a disagreement that loses nothing (a stale count, an orphan page);
//   error    data that cannot be read as the file claims it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/base/error.h"

namespace jet {

enum class Severity : std::uint8_t { Info = 0, Warning = 1, Error = 2 };

const char* to_string(Severity severity);

struct Finding {
  Severity severity = Severity::Error;
  std::optional<std::uint32_t> page;
  std::string structure;  // "data page", "table definition", "index leaf", ...
  std::string field;      // "row 3 offset", "next page", ...
  std::string message;
  // The definition page of the table the finding concerns, when the
  // verifier knows it: what a repair uses to say which table it mended.
  std::optional<std::uint32_t> table = std::nullopt;

  bool operator==(const Finding&) const = default;
};

// One line of text: "error: page 12: data page, row 3 offset: leaves the page".
std::string format_finding(const Finding& finding);

// A decode error seen while walking a damaged file, as a finding.
Finding finding_from_error(const Error& error, Severity severity = Severity::Error);

// The findings of one verification. Memory stays bounded on a file damaged
// everywhere: past `limit` findings only the count per severity grows, and
// the report says how many were left out.
class FindingList {
 public:
  static constexpr std::size_t kDefaultLimit = 10000;

  explicit FindingList(std::size_t limit = kDefaultLimit) : limit_(limit) {}

  void add(Finding finding);
  void add(Severity severity, std::optional<std::uint32_t> page, std::string structure,
           std::string field, std::string message);
  void add_error(const Error& error, Severity severity = Severity::Error);

  // Findings added from now on that name no table concern the table defined
  // on `page` (nothing: none). The verifier sets it while it walks a table.
  void set_current_table(std::optional<std::uint32_t> page) { current_table_ = page; }

  const std::vector<Finding>& items() const { return items_; }
  std::size_t count(Severity severity) const { return counts_[static_cast<int>(severity)]; }
  std::size_t total() const { return count(Severity::Info) + count(Severity::Warning) + count(Severity::Error); }
  std::size_t omitted() const { return total() - items_.size(); }
  // The worst severity seen, or nothing when the file is clean.
  std::optional<Severity> worst() const;
  // True when nothing is above info: the file is consistent.
  bool clean() const { return count(Severity::Warning) == 0 && count(Severity::Error) == 0; }

 private:
  std::size_t limit_;
  std::vector<Finding> items_;
  std::size_t counts_[3] = {0, 0, 0};
  std::optional<std::uint32_t> current_table_;
};

// The whole report as lines of text in the order the walk met them, ending
// with a summary line ("2 errors, 1 warning, 3 notes" or "no problems found").
std::string format_report(const FindingList& findings);

}  // namespace jet
