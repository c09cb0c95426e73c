#pragma once

#include <cstdint>
#include <cstring>

namespace kanji {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kShiftOut = 0x0E;
constexpr uint8_t kShiftIn = 0x0F;

// A byte that ends a run of plain 7-bit text: an 8-bit byte or a shift control.
inline bool IsSpecialByte(uint8_t byte) {
  return byte >= 0x80 || byte == kEsc || (byte | 1) == kShiftIn;
}

// Returns the first special byte in [p, end), or end. Mail is mostly plain ASCII, so eight
// bytes are tested at once; a word with a hit is then searched byte by byte.
inline const uint8_t* FindSpecialByte(const uint8_t* p, const uint8_t* end) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = 0x8080808080808080ull;
  while (end - p >= 8) {
    uint64_t word;
    memcpy(&word, p, 8);
    uint64_t esc = word ^ (kOnes * kEsc);
    uint64_t shift = (word | kOnes) ^ (kOnes * kShiftIn);
    // A zero byte in esc or shift borrows into its high bit; bytes >= 0x80 set theirs directly.
    uint64_t hits = word | ((esc - kOnes) & ~esc) | ((shift - kOnes) & ~shift);
    if ((hits & kHighs) != 0) break;
    p += 8;
  }
  while (p < end && !IsSpecialByte(*p)) ++p;
  return p;
}

// Returns the first byte >= 0x80 in [p, end), or end.
inline const uint8_t* FindEightBitByte(const uint8_t* p, const uint8_t* end) {
  while (end - p >= 8) {
    uint64_t word;
    memcpy(&word, p, 8);
    if ((word & 0x8080808080808080ull) != 0) break;
    p += 8;
  }
  while (p < end && *p < 0x80) ++p;
  return p;
}

}  // namespace kanji
