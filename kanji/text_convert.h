#ifndef FERROLT_KANJI_TEXT_CONVERT_H_
#define FERROLT_KANJI_TEXT_CONVERT_H_

#include <cstdint>

#include "kanji/output.h"

namespace ferrolt::kanji {

// How 8-bit bytes are read. kNone counts every 8-bit byte as invalid.
enum class EightBit : uint8_t { kNone, kShiftJis, kEucJp, kLatin1 };

// The character set that ISO-2022-JP shift sequences have selected for 7-bit bytes.
enum class Shift : uint8_t {
  kAscii,       // ESC ( B or ESC ( J
  kKanji,       // ESC $ @, ESC $ B: JIS X 0208 pairs
  kKana,        // ESC ( I or SO: half-width katakana
  kSupplement,  // ESC $ ( D: JIS X 0212 pairs, which Shift_JIS cannot hold
};

struct ShiftState {
  Shift shift = Shift::kAscii;
  Shift before_shift_out = Shift::kAscii;  // restored by SI
};

// Converts [p, end) to Shift_JIS into `out`, carrying the shift state across calls so that a
// message may be converted in pieces. The result is well-formed Shift_JIS: ASCII and whole
// pairs, never ESC, SO or SI; what cannot be converted becomes the geta mark (a byte invalid in
// its code, half a kanji pair, an unknown or cut escape sequence), and its neighbours stay.
void ConvertText(Output* out, const uint8_t* p, const uint8_t* end, EightBit code,
                 ShiftState* state);

}  // namespace ferrolt::kanji

#endif  // FERROLT_KANJI_TEXT_CONVERT_H_
