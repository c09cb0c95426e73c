#pragma once

// ASCII's case rule, for every name that ignores case: charsets, header fields, registry keys,
// file extensions. It sits below every layer, the platform and the code converter included:
// standard library only, so that every part of the program may include it.

#include <cstddef>
#include <string>
#include <string_view>

namespace ascii {

constexpr char ToLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ToLower(a[i]) != ToLower(b[i])) return false;
  }
  return true;
}

inline std::string ToLower(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = ToLower(c);
  return lowered;
}

}  // namespace ascii
