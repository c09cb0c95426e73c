#ifndef FERROLT_KANJI_JIS_H_
#define FERROLT_KANJI_JIS_H_

#include <cstdint>
#include <cstring>

#include "kanji/cp932.h"
#include "kanji/output.h"

namespace ferrolt::kanji {

// A byte of a JIS X 0208 pair in 7-bit form (row or cell 1..94).
constexpr bool IsJisByte(uint8_t byte) { return static_cast<uint8_t>(byte - 0x21) < 0x5E; }
inline bool IsEucByte(uint8_t byte) { return byte >= 0xA1 && byte <= 0xFE; }
inline bool IsHalfKana(uint8_t byte) { return byte >= 0xA1 && byte <= 0xDF; }

// Which bytes may lead and which may trail a Shift_JIS pair, looked up rather than compared:
// Shift_JIS text is checked pair by pair, both to detect it and to convert it.
struct SjisByteKinds {
  bool lead[256];
  bool trail[256];
};

constexpr SjisByteKinds MakeSjisByteKinds() {
  SjisByteKinds kinds{};
  for (int byte = 0; byte < 256; ++byte) {
    kinds.lead[byte] = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    kinds.trail[byte] = byte >= 0x40 && byte <= 0xFC && byte != 0x7F;
  }
  return kinds;
}

inline constexpr SjisByteKinds kSjisByteKinds = MakeSjisByteKinds();

inline bool IsSjisLead(uint8_t byte) { return kSjisByteKinds.lead[byte]; }
inline bool IsSjisTrail(uint8_t byte) { return kSjisByteKinds.trail[byte]; }

// Shift_JIS packs two JIS rows into one lead byte; odd rows take the low trail range (skipping
// 0x7F), even rows the high one. Rows 1..62 lead with 0x81..0x9F, rows 63..94 with 0xE0..0xEF,
// which covers the NEC special row 13 and the NEC-selected IBM rows 89..92 alike.
constexpr uint8_t SjisLead(uint8_t row_byte) {
  return static_cast<uint8_t>(((row_byte + 1) >> 1) + (row_byte <= 0x5E ? 0x70 : 0xB0));
}
constexpr uint8_t SjisTrail(uint8_t row_byte, uint8_t cell_byte) {
  if (row_byte & 1) return static_cast<uint8_t>(cell_byte + (cell_byte >= 0x60 ? 0x20 : 0x1F));
  return static_cast<uint8_t>(cell_byte + 0x7E);
}

// The code page 932 pair of each 7-bit JIS pair, indexed by row << 7 | cell, as the two bytes
// in memory order (lead first); the geta mark where code page 932 leaves the pair unassigned
// (JIS X 0213 and user-defined rows, holes in the symbol rows). One lookup a pair converts and
// checks at once: the loops over runs of pairs use it.
struct JisToCp932 {
  uint8_t pair[128 * 128][2];
};

constexpr JisToCp932 MakeJisToCp932() {
  JisToCp932 table{};
  for (int row = 0; row < 128; ++row) {
    for (int cell = 0; cell < 128; ++cell) {
      uint8_t lead = SjisLead(static_cast<uint8_t>(row));
      uint8_t trail = SjisTrail(static_cast<uint8_t>(row), static_cast<uint8_t>(cell));
      bool assigned = IsJisByte(static_cast<uint8_t>(row)) &&
                      IsJisByte(static_cast<uint8_t>(cell)) && IsCp932Pair(lead, trail);
      table.pair[row << 7 | cell][0] = assigned ? lead : 0x81;
      table.pair[row << 7 | cell][1] = assigned ? trail : 0xAC;
    }
  }
  return table;
}

inline constexpr JisToCp932 kJisToCp932 = MakeJisToCp932();

// Writes the code page 932 pair (or the geta mark) of the JIS pair (row_byte & 0x7F,
// cell_byte & 0x7F) at `to`; the high bits are ignored, so EUC pairs convert unmasked.
inline void StoreCp932OfJis(uint8_t* to, uint8_t row_byte, uint8_t cell_byte) {
  memcpy(to, kJisToCp932.pair[(row_byte & 0x7F) << 7 | (cell_byte & 0x7F)], 2);
}

inline void PutJis(Output* out, uint8_t row_byte, uint8_t cell_byte) {
  uint8_t lead = SjisLead(row_byte & 0x7F), trail = SjisTrail(row_byte & 0x7F, cell_byte & 0x7F);
  IsCp932Pair(lead, trail) ? PutPair(out, lead, trail) : PutGeta(out);
}

// Writes the JIS X 0212 pair as the code page 932 pair of the same character (IBM extension
// kanji, mostly), else as the geta mark.
inline void PutSupplement(Output* out, uint8_t row_byte, uint8_t cell_byte) {
  uint16_t sjis = Cp932OfSupplementPair(row_byte, cell_byte);
  if (sjis == 0) {
    PutGeta(out);
  } else {
    PutPair(out, static_cast<uint8_t>(sjis >> 8), static_cast<uint8_t>(sjis));
  }
}

// Writes half-width katakana `code` (0xA1..0xDF) as its full-width Shift_JIS form; a voiced or
// semi-voiced sound mark folds into the kana written just before it when a combined kana exists.
// With `out->keep_half_kana` the byte is written as it is.
void PutHalfKana(Output* out, uint8_t code);

// Writes an ISO-8859-1 byte >= 0x80 as the JIS X 0208 symbol of that shape, else the geta mark.
void PutLatin1(Output* out, uint8_t code);

}  // namespace ferrolt::kanji

#endif  // FERROLT_KANJI_JIS_H_
