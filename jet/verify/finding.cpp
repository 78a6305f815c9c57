#include "jet/verify/finding.h"

namespace jet {

const char* to_string(Severity severity) {
  switch (severity) {
    case Severity::Info: return "info";
    case Severity::Warning: return "warning";
    case Severity::Error: return "error";
  }
  return "error";
}

std::string format_finding(const Finding& finding) {
  std::string text = to_string(finding.severity);
  text += ": ";
  if (finding.page) text += "page " + std::to_string(*finding.page) + ": ";
  text += finding.structure;
  if (!finding.field.empty()) text += (finding.structure.empty() ? "" : ", ") + finding.field;
  if (!finding.structure.empty() || !finding.field.empty()) text += ": ";
  return text + finding.message;
}

Finding finding_from_error(const Error& error, Severity severity) {
  const Location& where = error.where();
  return Finding{severity, where.page, where.structure, where.field, error.message()};
}

void FindingList::add(Finding finding) {
  if (!finding.table) finding.table = current_table_;
  ++counts_[static_cast<int>(finding.severity)];
  if (items_.size() < limit_) items_.push_back(std::move(finding));
}

void FindingList::add(Severity severity, std::optional<std::uint32_t> page, std::string structure,
                      std::string field, std::string message) {
  add(Finding{severity, page, std::move(structure), std::move(field), std::move(message)});
}

void FindingList::add_error(const Error& error, Severity severity) {
  add(finding_from_error(error, severity));
}

std::optional<Severity> FindingList::worst() const {
  if (count(Severity::Error)) return Severity::Error;
  if (count(Severity::Warning)) return Severity::Warning;
  if (count(Severity::Info)) return Severity::Info;
  return std::nullopt;
}

namespace {

std::string counted(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string format_report(const FindingList& findings) {
  std::string text;
  for (const Finding& finding : findings.items()) text += format_finding(finding) + "\n";
  if (findings.omitted()) {
    text += "(" + counted(findings.omitted(), "more finding", "more findings") + " not shown)\n";
  }
  if (findings.total() == 0) return text + "no problems found\n";
  text += counted(findings.count(Severity::Error), "error", "errors") + ", " +
          counted(findings.count(Severity::Warning), "warning", "warnings") + ", " +
          counted(findings.count(Severity::Info), "note", "notes") + "\n";
  return text;
}

}  // namespace jet
