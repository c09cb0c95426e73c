#include "cli/terminal_text.h"

#include <cstdint>

namespace ferrolt {
namespace {

bool IsControlByte(unsigned char c) { return c < 0x20 || c == 0x7f; }

// The length of the UTF-8 character (or lone byte) at `at`.
size_t CharacterLength(std::string_view text, size_t at) {
  unsigned char lead = static_cast<unsigned char>(text[at]);
  size_t length = lead >= 0xf0 && lead <= 0xf7 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 1;
  if (lead >= 0xf8) length = 1;
  for (size_t i = 1; i < length; ++i) {
    if (at + i >= text.size() || (static_cast<unsigned char>(text[at + i]) & 0xc0) != 0x80) {
      return 1;  // a broken sequence: its lead byte stands alone
    }
  }
  return length;
}

constexpr uint32_t kNoCodePoint = 0xffffffff;

// The code point of a UTF-8 character of two or three bytes (overlong forms too, which some
// terminals still read), else kNoCodePoint.
uint32_t CodePoint(std::string_view character) {
  auto byte = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<unsigned char>(character[i]));
  };
  if (character.size() == 2) return (byte(0) & 0x1f) << 6 | (byte(1) & 0x3f);
  if (character.size() == 3)
    return (byte(0) & 0x0f) << 12 | (byte(1) & 0x3f) << 6 | (byte(2) & 0x3f);
  return kNoCodePoint;
}

// Controls (a C0 one only in an overlong form here), and the marks that reorder the text shown
// around them.
bool IsHiddenCharacter(uint32_t code) {
  return code < 0x20 || (code >= 0x7f && code <= 0x9f) || (code >= 0x202a && code <= 0x202e) ||
         (code >= 0x2066 && code <= 0x2069);
}

const char kHex[] = "0123456789abcdef";

void AppendEscaped(std::string_view bytes, std::string* out) {
  for (char c : bytes) {
    unsigned char byte = static_cast<unsigned char>(c);
    *out += "\\x";
    *out += kHex[byte >> 4];
    *out += kHex[byte & 0xf];
  }
}

void AppendCodePoint(uint32_t code, std::string* out) {
  *out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) *out += kHex[(code >> shift) & 0xf];
}

// The next character of `text` at *at as it is shown, *at moved past it.
std::string NextShown(std::string_view text, size_t* at, bool keep_line_feeds) {
  std::string_view character = text.substr(*at, CharacterLength(text, *at));
  *at += character.size();
  unsigned char first = static_cast<unsigned char>(character[0]);
  std::string escaped;
  if (character.size() == 1 && IsControlByte(first) && !(keep_line_feeds && first == '\n')) {
    AppendEscaped(character, &escaped);
    return escaped;
  }
  uint32_t code = CodePoint(character);
  if (!IsHiddenCharacter(code)) return std::string(character);
  AppendCodePoint(code, &escaped);
  return escaped;
}

}  // namespace

std::string EscapeForTerminal(const std::string& text) { return EscapeControls(text, false); }

std::string EscapeControls(std::string_view text, bool keep_line_feeds) {
  std::string shown;
  for (size_t at = 0; at < text.size();) shown += NextShown(text, &at, keep_line_feeds);
  return shown;
}

std::string ShortenForTerminal(std::string_view text, size_t width) {
  std::string shown;
  for (size_t at = 0; at < text.size();) {
    std::string next = NextShown(text, &at, false);
    if (shown.size() + next.size() > width) break;
    shown += next;
  }
  return shown;
}

}  // namespace ferrolt
