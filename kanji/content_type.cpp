#include "kanji/content_type.h"

#include <cstring>
#include <string_view>

#include "base/ascii.h"
#include "kanji/mime_word.h"

namespace ferrolt::kanji {
namespace {

// RFC 2046 caps a boundary at 70 characters, which also bounds the search for it.
constexpr size_t kMaxBoundary = 70;
constexpr std::string_view kField = "content-type:";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The value of the first Content-Type field, its folds joined.
std::string FieldValue(std::string_view header) {
  for (size_t line = 0; line < header.size(); line = header.find('\n', line) + 1) {
    if (ascii::EqualsIgnoringCase(header.substr(line, kField.size()), kField)) {
      size_t end = line;
      do {
        end = header.find('\n', end);
        if (end == std::string_view::npos) end = header.size();
      } while (++end < header.size() && (header[end] == ' ' || header[end] == '\t'));
      return std::string(header.substr(line + kField.size(), end - line - kField.size()));
    }
    if (header.find('\n', line) == std::string_view::npos) break;
  }
  return std::string();
}

// The next ';'-separated piece of `value` from *at on (quoted strings kept whole), *at moved
// past it.
std::string_view NextPiece(std::string_view value, size_t* at) {
  size_t begin = *at;
  bool quoted = false;
  for (; *at < value.size() && (quoted || value[*at] != ';'); ++*at) {
    if (value[*at] == '"') quoted = !quoted;
  }
  std::string_view piece = value.substr(begin, *at - begin);
  ++*at;
  return Trimmed(piece);
}

void ReadParameter(std::string_view piece, ContentType* type) {
  size_t equals = piece.find('=');
  if (equals == std::string_view::npos) return;
  std::string_view name = Trimmed(piece.substr(0, equals));
  std::string_view value = Trimmed(piece.substr(equals + 1));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  Charset charset;
  if (ascii::EqualsIgnoringCase(name, "charset") && CharsetOfName(value, &charset)) {
    if (charset == Charset::kShiftJis) type->label = EightBit::kShiftJis;
    if (charset == Charset::kEucJp) type->label = EightBit::kEucJp;
  }
  if (ascii::EqualsIgnoringCase(name, "boundary") && !value.empty() &&
      value.size() <= kMaxBoundary) {
    type->boundary = std::string(value);
  }
}

}  // namespace

ContentType ReadContentType(const uint8_t* begin, const uint8_t* end) {
  std::string value = FieldValue(
      std::string_view(reinterpret_cast<const char*>(begin), static_cast<size_t>(end - begin)));
  ContentType type;
  size_t at = 0;
  std::string_view media = NextPiece(value, &at);
  while (at < value.size()) ReadParameter(NextPiece(value, &at), &type);
  type.multipart =
      ascii::EqualsIgnoringCase(media.substr(0, 10), "multipart/") && !type.boundary.empty();
  return type;
}

}  // namespace ferrolt::kanji
