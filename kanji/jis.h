#pragma once

#include <cstdint>

#include "kanji/cp932.h"
#include "kanji/output.h"

namespace kanji {

// A byte of a JIS X 0208 pair in 7-bit form (row or cell 1..94).
inline bool IsJisByte(uint8_t byte) { return static_cast<uint8_t>(byte - 0x21) < 0x5E; }
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

// The same mapping looked up, for the loops that convert runs of pairs: a lookup costs fewer
// instructions than the arithmetic and its branches. Indexed by the 7-bit row byte, and by the
// row's parity in bit 7 above the 7-bit cell byte.
struct SjisTables {
  uint8_t lead[128];
  uint8_t trail[256];
};

constexpr SjisTables MakeSjisTables() {
  SjisTables tables{};
  for (int byte = 0; byte < 128; ++byte) {
    tables.lead[byte] = SjisLead(static_cast<uint8_t>(byte));
    tables.trail[byte] = SjisTrail(0, static_cast<uint8_t>(byte));
    tables.trail[128 + byte] = SjisTrail(1, static_cast<uint8_t>(byte));
  }
  return tables;
}

inline constexpr SjisTables kSjisTables = MakeSjisTables();

// Writes the Shift_JIS pair of the JIS pair (row_byte & 0x7F, cell_byte & 0x7F) at `to`; the
// high bits are ignored, so EUC pairs convert unmasked.
inline void StoreSjisOfJis(uint8_t* to, uint8_t row_byte, uint8_t cell_byte) {
  to[0] = kSjisTables.lead[row_byte & 0x7F];
  to[1] = kSjisTables.trail[((row_byte & 1) << 7) | (cell_byte & 0x7F)];
}

// Converts the four JIS pairs of a word loaded from memory on a little-endian machine (row bytes
// low in each 16-bit lane) to their Shift_JIS pairs, with the arithmetic of SjisLead and
// SjisTrail done on all lanes at once. With every byte in 0x21..0x7E no byte overflows into
// the next; a lane holding other bytes comes out wrong, but carries only move up and every
// shifted-down bit is masked away, so it never spoils a lane below it.
inline uint64_t SjisOfJisPairs(uint64_t word) {
  constexpr uint64_t kRowBytes = 0x00FF00FF00FF00FFull, kCellBytes = ~kRowBytes;
  constexpr uint64_t kEachRow = 0x0001000100010001ull, kEachCell = kEachRow << 8;
  uint64_t rows = word & kRowBytes, cells = word & kCellBytes;
  // lead = ((row + 1) >> 1) + 0x70, plus 0x40 from row 0x5F on.
  uint64_t half = ((rows + kEachRow) >> 1) & (kEachRow * 0x7F);
  uint64_t upper = ((rows + kEachRow * 0x21) >> 1) & (kEachRow * 0x40);
  uint64_t leads = half + kEachRow * 0x70 + upper;
  // trail = cell + 0x7E for an even row; cell + 0x1F, plus 1 from cell 0x60 on, for an odd one.
  uint64_t odd_row = word & kEachRow;
  uint64_t odd_mask = (odd_row << 16) - (odd_row << 8);  // 0xFF on the cell byte of odd rows
  uint64_t past_7f = ((cells + kEachCell * 0x20) >> 7) & kEachCell;
  uint64_t add = ((kEachCell * 0x7E) & ~odd_mask) | ((kEachCell * 0x1F + past_7f) & odd_mask);
  return leads | (cells + add);
}

// Writes the JIS X 0208 pair (7-bit or 8-bit bytes) as Shift_JIS; the rows code page 932
// leaves empty (JIS X 0213's, user-defined ones) become the geta mark.
// Sets bit 7 of the row byte of each pair of a JIS word (as SjisOfJisPairs takes it, every byte
// in 0x21..0x7E) that code page 932 surely assigns: the kanji rows 0x30..0x73 but 0x4F, row 0x21,
// the hiragana (row 0x24 up to 0x73) and katakana (row 0x25 up to 0x76). Prose is nearly all of
// these, so a run of pairs is checked without a lookup; other pairs are looked up. No byte sum
// here passes 0xFF, so no lane spills into the next.
inline uint64_t MarkCommonPairs(uint64_t word) {
  constexpr uint64_t kEach = 0x0101010101010101ull, kRowBits = 0x0080008000800080ull;
  auto is = [&](uint8_t value) { return ~((word ^ (kEach * value)) + kEach * 0x7F); };
  uint64_t kanji = (word + kEach * 0x50) & ~(word + kEach * 0x0C) & ~is(0x4F);
  uint64_t cells_to_73 = ~(word + kEach * 0x0C) >> 8, cells_to_76 = ~(word + kEach * 0x09) >> 8;
  uint64_t kana = (is(0x24) & cells_to_73) | (is(0x25) & cells_to_76);
  return (kanji | is(0x21) | kana) & kRowBits;
}

inline void PutJis(Output& out, uint8_t row_byte, uint8_t cell_byte) {
  uint8_t lead = SjisLead(row_byte & 0x7F), trail = SjisTrail(row_byte & 0x7F, cell_byte & 0x7F);
  IsCp932Pair(lead, trail) ? PutPair(out, lead, trail) : PutGeta(out);
}

// Writes the JIS X 0212 pair as the code page 932 pair of the same character (IBM extension
// kanji, mostly), else as the geta mark.
inline void PutSupplement(Output& out, uint8_t row_byte, uint8_t cell_byte) {
  uint16_t sjis = Cp932OfSupplementPair(row_byte, cell_byte);
  if (sjis == 0) {
    PutGeta(out);
  } else {
    PutPair(out, static_cast<uint8_t>(sjis >> 8), static_cast<uint8_t>(sjis));
  }
}

// Writes half-width katakana `code` (0xA1..0xDF) as its full-width Shift_JIS form; a voiced or
// semi-voiced sound mark folds into the kana written just before it when a combined kana exists.
// With `out.keep_half_kana` the byte is written as it is.
void PutHalfKana(Output& out, uint8_t code);

// Writes an ISO-8859-1 byte >= 0x80 as the JIS X 0208 symbol of that shape, else the geta mark.
void PutLatin1(Output& out, uint8_t code);

}  // namespace kanji
