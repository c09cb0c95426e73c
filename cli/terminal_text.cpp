#include "cli/terminal_text.h"

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

bool IsC1Control(std::string_view character) {
  return character.size() == 2 && static_cast<unsigned char>(character[0]) == 0xc2 &&
         static_cast<unsigned char>(character[1]) < 0xa0;
}

void AppendEscaped(std::string_view bytes, std::string* out) {
  static const char kHex[] = "0123456789abcdef";
  for (char c : bytes) {
    unsigned char byte = static_cast<unsigned char>(c);
    *out += "\\x";
    *out += kHex[byte >> 4];
    *out += kHex[byte & 0xf];
  }
}

// The next character of `text` at *at as it is shown, *at moved past it.
std::string NextShown(std::string_view text, size_t* at, bool keep_line_feeds) {
  std::string_view character = text.substr(*at, CharacterLength(text, *at));
  *at += character.size();
  unsigned char first = static_cast<unsigned char>(character[0]);
  bool control = (character.size() == 1 && IsControlByte(first)) || IsC1Control(character);
  if (!control || (keep_line_feeds && first == '\n')) return std::string(character);
  std::string escaped;
  AppendEscaped(character, &escaped);
  return escaped;
}

}  // namespace

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
