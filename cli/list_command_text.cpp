// How the listing shows a header's text: Japanese in any of its codes through our converter and
// code page 932, UTF-8 and ISO-8859-1 encoded words straight to UTF-8.

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/list_command.h"
#include "kanji/mime_word.h"
#include "kanji/nkf.h"
#include "platform/locale_text.h"

namespace ferrolt {
namespace {

using kanji::Charset;

constexpr char kBlanks[] = " \t\r\n";

// Tabs and line ends would break the listing's columns.
std::string OnOneLine(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

// Well-formed UTF-8: no stray or missing continuation byte, no overlong form, no surrogate.
bool IsUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    unsigned char lead = static_cast<unsigned char>(text[at]);
    size_t length = lead < 0x80 ? 1 : lead < 0xc2 ? 0 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
    if (length == 0 || lead > 0xf4 || at + length > text.size()) return false;
    uint32_t code = length == 1 ? lead : lead & (0x7f >> length);
    for (size_t i = 1; i < length; ++i) {
      unsigned char next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xc0) != 0x80) return false;
      code = code << 6 | (next & 0x3f);
    }
    bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff) return false;
    at += length;
  }
  return true;
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string text;
  for (char c : bytes) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xc0 | byte >> 6);
      text += static_cast<char>(0x80 | (byte & 0x3f));
    }
  }
  return text;
}

// Japanese text, plain or in words of the Japanese charsets, as UTF-8. Half-width katakana stay
// half-width: the listing shows what was written.
std::string JapaneseText(std::string_view text, bool prefer_euc) {
  if (text.empty()) return std::string();
  std::string shift_jis(kanji::NkfOutputBound(text.size()), '\0');
  kanji::SetNkfOption(prefer_euc ? "smx" : "Xsmx");
  shift_jis.resize(kanji::NkfConvert(shift_jis.data(), shift_jis.size(), text.data(), text.size()));
  return Cp932ToUtf8(shift_jis);
}

// A run of UTF-8 or ISO-8859-1 words of one charset, joined (a character may be split between
// two words), with what it shows.
struct UnicodeRun {
  size_t end = 0;
  std::string text;
};

// The run of words starting at `at`; false when there is none there, or its text is no UTF-8.
bool ParseUnicodeRun(std::string_view value, size_t at, UnicodeRun* run) {
  const uint8_t* base = reinterpret_cast<const uint8_t*>(value.data());
  const uint8_t* end = base + value.size();
  kanji::EncodedWord word;
  if (!kanji::ParseEncodedWord(base + at, end, &word)) return false;
  Charset charset = word.charset;
  if (charset != Charset::kUtf8 && charset != Charset::kIso8859_1) return false;
  std::string bytes = word.bytes;
  size_t last_end = word.end - base;
  for (size_t next = value.find_first_not_of(kBlanks, last_end); next != std::string_view::npos;
       next = value.find_first_not_of(kBlanks, last_end)) {
    if (!kanji::ParseEncodedWord(base + next, end, &word) || word.charset != charset) break;
    bytes += word.bytes;
    last_end = word.end - base;
  }
  if (charset == Charset::kUtf8 && !IsUtf8(bytes)) return false;
  run->end = last_end;
  run->text = charset == Charset::kUtf8 ? bytes : Latin1ToUtf8(bytes);
  return true;
}

// The text between two runs (or a run and an end of the value), without the blanks that part it
// from an encoded word on either side: those vanish between decoded words.
std::string_view Between(std::string_view text, bool run_before, bool run_after) {
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return run_before && run_after ? std::string_view() : text;
  size_t last = text.find_last_not_of(kBlanks) + 1;
  if (run_before && text.substr(first, 2) == "=?") {
    text.remove_prefix(first);
    last -= first;
  }
  if (run_after && last >= 2 && text.substr(last - 2, 2) == "?=") text = text.substr(0, last);
  return text;
}

}  // namespace

std::string DecodedHeaderText(const std::string& value, bool prefer_euc) {
  std::string shown;
  size_t plain = 0;
  for (size_t at = value.find("=?"); at != std::string::npos; at = value.find("=?", at)) {
    UnicodeRun run;
    if (!ParseUnicodeRun(value, at, &run)) {
      at += 2;
      continue;
    }
    std::string_view before(value.data() + plain, at - plain);
    shown += JapaneseText(Between(before, plain != 0, true), prefer_euc) + run.text;
    plain = at = run.end;
  }
  shown +=
      JapaneseText(Between(std::string_view(value).substr(plain), plain != 0, false), prefer_euc);
  return OnOneLine(shown);
}

}  // namespace ferrolt
