#include "kanji/mime_word.h"

#include <cstddef>
#include <cstring>
#include <string_view>

#include "base/ascii.h"

namespace ferrolt::kanji {
namespace {

constexpr ptrdiff_t kMaxCharsetLength = 40;

// Every name is compared without case; the registered names and aliases of each code, and the
// names mailers and systems wrote in their place.
constexpr struct {
  const char* name;
  Charset charset;
} kCharsetNames[] = {
    {"ISO-2022-JP", Charset::kIso2022Jp}, {"csISO2022JP", Charset::kIso2022Jp},
    {"SHIFT_JIS", Charset::kShiftJis},    {"shift-jis", Charset::kShiftJis},
    {"x-sjis", Charset::kShiftJis},       {"sjis", Charset::kShiftJis},
    {"ms_kanji", Charset::kShiftJis},     {"csShiftJIS", Charset::kShiftJis},
    {"windows-31j", Charset::kShiftJis},  {"cp932", Charset::kShiftJis},
    {"EUC-JP", Charset::kEucJp},          {"x-euc-jp", Charset::kEucJp},
    {"euc_jp", Charset::kEucJp},          {"csEUCPkdFmtJapanese", Charset::kEucJp},
    {"US-ASCII", Charset::kUsAscii},      {"ISO-8859-1", Charset::kIso8859_1},
    {"latin1", Charset::kIso8859_1},      {"UTF-8", Charset::kUtf8},
};

// RFC 2231 lets a language follow the charset after '*'; it changes nothing here.
bool ParseCharset(const uint8_t* p, const uint8_t* end, Charset* charset) {
  const uint8_t* star = static_cast<const uint8_t*>(memchr(p, '*', static_cast<size_t>(end - p)));
  ptrdiff_t length = (star != nullptr ? star : end) - p;
  return CharsetOfName(
      std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(length)), charset);
}

constexpr int8_t kNotBase64 = -1;

// Base64 digit values by byte, kNotBase64 for every other byte.
struct Base64Values {
  int8_t of[256];
};

constexpr Base64Values MakeBase64Values() {
  Base64Values values{};
  for (int c = 0; c < 256; ++c) values.of[c] = kNotBase64;
  constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int value = 0; value < 64; ++value) {
    values.of[static_cast<uint8_t>(kDigits[value])] = static_cast<int8_t>(value);
  }
  return values;
}

constexpr Base64Values kBase64 = MakeBase64Values();

// Padding may be left out, since the length of the text says as much; a lone sixth bit group,
// a foreign character or text after the padding makes the word malformed. The bytes are written
// into room made beforehand (three per four digits), as headers hold many encoded words.
bool DecodeBase64(const uint8_t* p, const uint8_t* end, std::string* bytes) {
  size_t start = bytes->size();
  bytes->resize(start + static_cast<size_t>(end - p) / 4 * 3 + 3);
  char* to = bytes->data() + start;
  uint32_t bits = 0;
  int bit_count = 0;
  ptrdiff_t digits = 0;
  for (; p < end && *p != '='; ++p, ++digits) {
    int value = kBase64.of[*p];
    if (value == kNotBase64) return false;
    bits = (bits << 6) | static_cast<uint32_t>(value);
    bit_count += 6;
    if (bit_count >= 8) {
      bit_count -= 8;
      *to++ = static_cast<char>((bits >> bit_count) & 0xFF);
    }
  }
  bytes->resize(static_cast<size_t>(to - bytes->data()));
  ptrdiff_t padding = end - p;
  for (; p < end; ++p) {
    if (*p != '=') return false;
  }
  if (digits % 4 == 1) return false;
  return padding == 0 || (digits + padding) % 4 == 0;
}

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool DecodeQuoted(const uint8_t* p, const uint8_t* end, std::string* bytes) {
  while (p < end) {
    if (*p == '_') {
      bytes->push_back(' ');
      ++p;
    } else if (*p == '=') {
      int high = end - p >= 3 ? HexValue(p[1]) : -1;
      int low = end - p >= 3 ? HexValue(p[2]) : -1;
      if (high < 0 || low < 0) return false;
      bytes->push_back(static_cast<char>(high * 16 + low));
      p += 3;
    } else {
      bytes->push_back(static_cast<char>(*p++));
    }
  }
  return true;
}

// Encoded text is printable ASCII without '?' and without space, on one line.
bool IsEncodedTextByte(uint8_t byte) { return byte > 0x20 && byte < 0x7F && byte != '?'; }

const uint8_t* FindTextEnd(const uint8_t* p, const uint8_t* end) {
  while (p < end && IsEncodedTextByte(*p)) ++p;
  return p;
}

}  // namespace

bool CharsetOfName(std::string_view name, Charset* charset) {
  for (const auto& known : kCharsetNames) {
    if (ascii::EqualsIgnoringCase(name, known.name)) {
      *charset = known.charset;
      return true;
    }
  }
  return false;
}

bool ParseEncodedWord(const uint8_t* p, const uint8_t* end, EncodedWord* word) {
  if (end - p < 2 || p[0] != '=' || p[1] != '?') return false;
  const uint8_t* charset_begin = p + 2;
  const uint8_t* charset_end = FindTextEnd(charset_begin, end);
  ptrdiff_t charset_length = charset_end - charset_begin;
  if (charset_length == 0 || charset_length > kMaxCharsetLength) return false;
  if (end - charset_end < 3 || charset_end[0] != '?' || charset_end[2] != '?') return false;
  if (!ParseCharset(charset_begin, charset_end, &word->charset)) return false;
  uint8_t encoding = charset_end[1] | 0x20;
  const uint8_t* text_begin = charset_end + 3;
  const uint8_t* text_end = FindTextEnd(text_begin, end);
  if (end - text_end < 2 || text_end[0] != '?' || text_end[1] != '=') return false;
  word->bytes.clear();
  bool decoded = false;
  if (encoding == 'b') decoded = DecodeBase64(text_begin, text_end, &word->bytes);
  if (encoding == 'q') decoded = DecodeQuoted(text_begin, text_end, &word->bytes);
  word->begin = p;
  word->end = text_end + 2;
  return decoded;
}

}  // namespace ferrolt::kanji
