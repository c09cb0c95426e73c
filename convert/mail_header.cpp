#include "convert/mail_header.h"

#include <cstring>

#include "base/ascii.h"
#include "kanji/header.h"

namespace ferrolt {
namespace {

bool IsContinuation(std::string_view text, size_t at) {
  return at < text.size() && (text[at] == ' ' || text[at] == '\t');
}

std::string Trimmed(const std::string& value) {
  size_t start = value.find_first_not_of(' ');
  if (start == std::string::npos) return {};
  size_t end = value.find_last_not_of(' ');
  return value.substr(start, end - start + 1);
}

}  // namespace

size_t LineEnd(std::string_view text, size_t at) {
  const void* lf = std::memchr(text.data() + at, '\n', text.size() - at);
  if (lf == nullptr) return text.size();
  return static_cast<size_t>(static_cast<const char*>(lf) - text.data()) + 1;
}

size_t HeaderEnd(std::string_view message) {
  return kanji::FindHeaderEnd(reinterpret_cast<const uint8_t*>(message.data()), message.size());
}

bool IsHeaderField(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':') return false;
  return ascii::EqualsIgnoringCase(line.substr(0, name.size()), name);
}

std::string HeaderFieldValue(std::string_view header, std::string_view name) {
  header = header.substr(0, HeaderEnd(header));
  size_t at = 0;
  while (at < header.size() && !IsHeaderField(header.substr(at), name)) {
    at = LineEnd(header, at);
  }
  if (at >= header.size()) return {};
  std::string value;
  size_t end = LineEnd(header, at);
  while (IsContinuation(header, end)) end = LineEnd(header, end);
  for (size_t i = at + name.size() + 1; i < end; ++i) {
    char c = header[i];
    if (c == '\r' || c == '\n') continue;
    value += c == '\t' ? ' ' : c;
  }
  return Trimmed(value);
}

}  // namespace ferrolt
