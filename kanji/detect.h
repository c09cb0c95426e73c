#ifndef FERROLT_KANJI_DETECT_H_
#define FERROLT_KANJI_DETECT_H_

#include <cstdint>

#include "kanji/text_convert.h"

namespace ferrolt::kanji {

// True when every 8-bit character of [begin, end) is valid in `code` (Shift_JIS or EUC-JP; for
// any other code, when there is no 8-bit byte).
bool IsValidIn(EightBit code, const uint8_t* begin, const uint8_t* end);

struct Detected {
  EightBit code;       // kShiftJis or kEucJp
  bool by_preference;  // nothing in the text decided it: no 8-bit byte, or the ambiguous case
};

// Reads 8-bit text as the code it is valid in. Text valid in both is EUC-JP, except where nothing
// in it tells the codes apart; then the preference decides: when every 8-bit byte lies in
// 0xA1..0xDF (as Shift_JIS it is ASCII and half-width kana alone), and when its EUC-JP
// characters are all kanji led by 0xE0..0xEF or 0xFA..0xFC and at most one half-width kana while
// as Shift_JIS it is all code page 932 pairs (short names in level-2 or IBM kanji, 自 alone).
// Valid in neither, the code with fewer invalid bytes wins (a tie as preferred).
Detected DetectEightBit(const uint8_t* begin, const uint8_t* end, bool prefer_shift_jis);

}  // namespace ferrolt::kanji

#endif  // FERROLT_KANJI_DETECT_H_
