#include "platform/connection_text.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "platform/jet_engine.h"
#include "platform/runtime_error.h"

namespace dbrepair {

namespace {

std::string Trim(const std::string& text) {
  auto begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// A quoted value loses its quotes and the blanks around them; any other
// value is kept whole, blanks included, since a path may begin or end with
// one.
std::string Unquote(const std::string& value) {
  std::string trimmed = Trim(value);
  if (trimmed.size() >= 2 && (trimmed.front() == '"' || trimmed.front() == '\'') &&
      trimmed.back() == trimmed.front()) {
    return trimmed.substr(1, trimmed.size() - 2);
  }
  return value;
}

[[noreturn]] void Refuse(const std::string& why, const std::string& text) {
  throw RuntimeError(kErrUnspecifiedFailure, why + " in the connection text '" + text + "'.");
}

}  // namespace

std::string MakeConnectionText(const std::string& path) {
  return std::string("Provider=") + kJet4Provider + ";Data Source=" + path;
}

ConnectionText ParseConnectionText(const std::string& text) {
  std::optional<std::string> provider;
  std::optional<std::string> data_source;
  std::optional<std::string>* last = nullptr;

  size_t position = 0;
  while (position <= text.size()) {
    size_t end = text.find(';', position);
    if (end == std::string::npos) end = text.size();
    std::string segment = text.substr(position, end - position);
    position = end + 1;
    if (end == text.size() && Trim(segment).empty()) break;  // a closing ";"

    // A segment that starts no known key continues the value before it: a
    // path may hold ";" and "=".
    size_t equals = segment.find('=');
    std::string key = equals == std::string::npos ? "" : Lower(Trim(segment.substr(0, equals)));
    std::optional<std::string>* slot = key == "provider"      ? &provider
                                       : key == "data source" ? &data_source
                                                              : nullptr;
    if (slot == nullptr) {
      if (last == nullptr) Refuse("No known key in '" + segment + "'", text);
      **last += ";" + segment;
      continue;
    }
    if (slot->has_value()) Refuse("Repeated key '" + key + "'", text);
    *slot = segment.substr(equals + 1);
    last = slot;
  }
  if (!provider) Refuse("No provider", text);
  if (!data_source) Refuse("No data source", text);
  return ConnectionText{Trim(*provider), Unquote(*data_source)};
}

}  // namespace dbrepair
