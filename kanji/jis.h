#pragma once

#include <cstdint>

#include "kanji/output.h"

namespace kanji {

// A byte of a JIS X 0208 pair in 7-bit form (row or cell 1..94).
inline bool IsJisByte(uint8_t byte) { return static_cast<uint8_t>(byte - 0x21) < 0x5E; }
inline bool IsEucByte(uint8_t byte) { return byte >= 0xA1 && byte <= 0xFE; }
inline bool IsHalfKana(uint8_t byte) { return byte >= 0xA1 && byte <= 0xDF; }
inline bool IsSjisLead(uint8_t byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
inline bool IsSjisTrail(uint8_t byte) { return byte >= 0x40 && byte <= 0xFC && byte != 0x7F; }

// Shift_JIS packs two JIS rows into one lead byte; odd rows take the low trail range (skipping
// 0x7F), even rows the high one. Rows 1..62 lead with 0x81..0x9F, rows 63..94 with 0xE0..0xEF,
// which covers the NEC special row 13 and the NEC-selected IBM rows 89..92 alike.
inline void PutJis(Output& out, uint8_t row_byte, uint8_t cell_byte) {
  uint8_t lead = static_cast<uint8_t>(((row_byte + 1) >> 1) + (row_byte <= 0x5E ? 0x70 : 0xB0));
  uint8_t trail;
  if (row_byte & 1) {
    trail = static_cast<uint8_t>(cell_byte + (cell_byte >= 0x60 ? 0x20 : 0x1F));
  } else {
    trail = static_cast<uint8_t>(cell_byte + 0x7E);
  }
  PutPair(out, lead, trail);
}

// Writes half-width katakana `code` (0xA1..0xDF) as its full-width Shift_JIS form; a voiced or
// semi-voiced sound mark folds into the kana written just before it when a combined kana exists.
void PutHalfKana(Output& out, uint8_t code);

// Writes an ISO-8859-1 byte >= 0x80 as the JIS X 0208 symbol of that shape, else the geta mark.
void PutLatin1(Output& out, uint8_t code);

}  // namespace kanji
