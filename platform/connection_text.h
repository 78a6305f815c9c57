// OLE DB connection texts: "Provider=...;Data Source=..." pairs, keys
// compared without case and trimmed of blanks.
#pragma once

#include <string>

namespace dbrepair {

inline constexpr const char* kJet4Provider = "Microsoft.Jet.OLEDB.4.0";

struct ConnectionText {
  std::string provider;
  std::string dataSource;
};

// The connection text naming path through the Jet 4.0 provider.
std::string MakeConnectionText(const std::string& path);

// Splits a connection text into its provider and data source. A segment
// that starts with no known key belongs to the value before it (a ";" inside
// a path), and a value may be quoted with " or '; an unquoted data source
// is kept whole, blanks included. Raises RuntimeError
// -2147467259 when the text starts with an unknown key, repeats a key, or
// lacks the provider or the data source.
ConnectionText ParseConnectionText(const std::string& text);

}  // namespace dbrepair
