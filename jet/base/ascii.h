// Case folding for names.
//
// Jet compares table, column, index and property names without regard to
// the case of ASCII letters, and only of those: what Access lets a name hold
// beyond ASCII keeps its case. The C library's tolower would follow the
// process locale (the program sets the user's) and could change the bytes of
// a UTF-8 name, so names fold here.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace jet {

constexpr char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The name with its ASCII letters in small letters: a key under which names
// that Jet holds the same compare equal.
inline std::string name_key(std::string_view name) {
  std::string out(name);
  std::transform(out.begin(), out.end(), out.begin(), ascii_lower);
  return out;
}

inline bool same_name(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return ascii_lower(x) == ascii_lower(y); });
}

}  // namespace jet
