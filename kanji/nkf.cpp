#include "kanji/nkf.h"

#include <cstdint>

#include "kanji/header.h"
#include "kanji/text_convert.h"

// Why NkfOutputBound, 2 * length + 128, always suffices: no character yields more than two output
// bytes per input byte it spans. 7-bit text and Shift_JIS pairs are copied (1:1); a byte that
// cannot be converted, or an unknown escape sequence of one or more bytes, becomes the geta pair
// (at most 1:2); JIS and EUC pairs become Shift_JIS pairs (2:2); EUC JIS X 0212 triples become the
// geta pair (3:2); a half-width kana becomes a full-width pair (1:2 from Shift_JIS, SO or ESC ( I
// text, 2:2 from EUC) or, as a sound mark, folds into the kana before it (1:0 or 2:0); an
// ISO-8859-1 byte becomes a symbol or the geta pair (1:2); shift sequences and SO/SI vanish. A
// decoded encoded word has at most one decoded byte per character of its encoded text (B: 3 per 4,
// Q: 1 per 1 or 3), each converted by the rules above, and its "=?charset?X?" and "?=" vanish; an
// undecoded word is copied. So the output is at most 2 * length bytes; the 128 are spare.

namespace {

struct NkfOptions {
  bool prefer_shift_jis = false;
  bool decode_mime = false;
};

// The options hold from one SetNkfOption to the next, as in the library this stands in for.
NkfOptions g_options;

kanji::EightBit EightBitOf(InputCode code) {
  switch (code) {
    case InputCode::kShiftJis:
      return kanji::EightBit::kShiftJis;
    case InputCode::kEucJp:
      return kanji::EightBit::kEucJp;
    default:
      return kanji::EightBit::kNone;
  }
}

}  // namespace

// Shift_JIS is the only output code, so 's' needs no flag.
void SetNkfOption(const char* options) {
  g_options = NkfOptions{};
  for (const char* letter = options; letter != nullptr && *letter != '\0'; ++letter) {
    if (*letter == 'X') g_options.prefer_shift_jis = true;
    if (*letter == 'm') g_options.decode_mime = true;
  }
}

size_t NkfConvert(char* output, size_t capacity, const char* input, size_t length) {
  kanji::Output out{reinterpret_cast<uint8_t*>(output), capacity};
  if (length == 0) return 0;
  const uint8_t* begin = reinterpret_cast<const uint8_t*>(input);
  const uint8_t* end = begin + length;
  kanji::EightBit code = EightBitOf(DetectInputCode(input, length, g_options.prefer_shift_jis));
  kanji::ShiftState state;
  const uint8_t* body = begin;
  if (g_options.decode_mime) {
    body += kanji::FindHeaderEnd(begin, length);
    kanji::ConvertHeader(out, begin, body, code, state);
  }
  kanji::ConvertText(out, body, end, code, state);
  return out.size;
}
