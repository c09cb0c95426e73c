#include "convert/mail_header.h"

#include <cstring>
#include <span>
#include <vector>

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

namespace {

// The value of the field starting at `at` and ending at `end` (past its folded lines).
std::string ValueOf(std::string_view header, size_t at, size_t end, size_t name_size) {
  std::string value;
  for (size_t i = at + name_size + 1; i < end; ++i) {
    char c = header[i];
    if (c == '\r' || c == '\n') continue;
    value += c == '\t' ? ' ' : c;
  }
  return Trimmed(value);
}

// Where the field starting at `at` ends: past its line and its folded lines.
size_t FieldEnd(std::string_view header, size_t at) {
  size_t end = LineEnd(header, at);
  while (IsContinuation(header, end)) end = LineEnd(header, end);
  return end;
}

}  // namespace

std::vector<std::string> HeaderFieldValues(std::string_view header, std::string_view name,
                                           size_t most) {
  header = header.substr(0, HeaderEnd(header));
  std::vector<std::string> values;
  for (size_t at = 0; at < header.size() && values.size() < most;) {
    size_t end = FieldEnd(header, at);
    if (IsHeaderField(header.substr(at), name)) {
      values.push_back(ValueOf(header, at, end, name.size()));
    }
    at = end;
  }
  return values;
}

std::string HeaderFieldValue(std::string_view header, std::string_view name) {
  std::vector<std::string> values = HeaderFieldValues(header, name, 1);
  return values.empty() ? std::string() : values[0];
}

std::string HeaderWithout(std::string_view header, std::span<const std::string_view> names) {
  std::string kept;
  kept.reserve(header.size());
  for (size_t at = 0; at < header.size();) {
    // A line that begins with a space or tab before any field is kept as a field of its own.
    size_t end = IsContinuation(header, at) ? LineEnd(header, at) : FieldEnd(header, at);
    std::string_view field = header.substr(at, end - at);
    bool dropped = false;
    for (std::string_view name : names) dropped = dropped || IsHeaderField(field, name);
    if (!dropped) kept += field;
    at = end;
  }
  return kept;
}

}  // namespace ferrolt
