#include "kanji/nkf.h"

#include <cstdint>

#include "kanji/message.h"

// Why NkfOutputBound, 2 * length + 128, always suffices: no character yields more than two output
// bytes per input byte it spans. 7-bit text and Shift_JIS pairs are copied (1:1); a byte that
// cannot be converted, or an unknown escape sequence of one or more bytes, becomes the geta pair
// (at most 1:2); JIS and EUC pairs become Shift_JIS pairs or the geta pair (2:2); EUC JIS X 0212
// triples become a pair (3:2); a half-width kana becomes a full-width pair (1:2 from Shift_JIS,
// SO or ESC ( I text, 2:2 from EUC), or, as a sound mark, folds into the kana before it (1:0 or
// 2:0), or is kept (1:1 or 2:1); an
// ISO-8859-1 byte becomes a symbol or the geta pair (1:2); shift sequences and SO/SI vanish. A
// decoded encoded word has at most one decoded byte per character of its encoded text (B: 3 per 4,
// Q: 1 per 1 or 3), each converted by the rules above, and its "=?charset?X?" and "?=" vanish; an
// undecoded word is copied. So the output is at most 2 * length bytes; the 128 are spare.

namespace ferrolt::kanji {
namespace {

struct NkfOptions {
  MessageOptions message;
  bool keep_half_kana = false;
};

// The options hold from one SetNkfOption to the next, as in the library this stands in for.
NkfOptions g_options;

}  // namespace

// Shift_JIS is the only output code, so 's' needs no flag.
void SetNkfOption(const char* options) {
  g_options = NkfOptions{};
  for (const char* letter = options; letter != nullptr && *letter != '\0'; ++letter) {
    if (*letter == 'X') g_options.message.prefer_shift_jis = true;
    if (*letter == 'm') g_options.message.decode_mime = true;
    if (*letter == 'x') g_options.keep_half_kana = true;
  }
}

size_t NkfConvert(char* output, size_t capacity, const char* input, size_t length) {
  Output out{reinterpret_cast<uint8_t*>(output), capacity};
  out.keep_half_kana = g_options.keep_half_kana;
  const uint8_t* begin = reinterpret_cast<const uint8_t*>(input);
  ConvertMessage(&out, begin, begin + length, g_options.message);
  return out.size;
}

}  // namespace ferrolt::kanji
