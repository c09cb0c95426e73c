#ifndef FERROLT_KANJI_BYTE_SCAN_H_
#define FERROLT_KANJI_BYTE_SCAN_H_

#include <bit>
#include <cstdint>
#include <cstring>

namespace ferrolt::kanji {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kShiftOut = 0x0E;
constexpr uint8_t kShiftIn = 0x0F;

constexpr uint64_t kEachByte = 0x0101010101010101ull;  // a byte value times this fills a word
constexpr uint64_t kHighBits = 0x8080808080808080ull;

inline uint64_t LoadWord(const uint8_t* p) {
  uint64_t word;
  memcpy(&word, p, 8);
  return word;
}

// A byte that ends a run of plain 7-bit text: an 8-bit byte or a shift control.
inline bool IsSpecialByte(uint8_t byte) {
  return byte >= 0x80 || byte == kEsc || (byte | 1) == kShiftIn;
}

// Sets the high bit of every special byte of `word`. A zero byte in esc or shift borrows into
// its high bit, and bytes >= 0x80 set theirs directly; the borrow may also mark bytes after a
// true hit, never before one, so the first marked byte is always special.
inline uint64_t MarkSpecialBytes(uint64_t word) {
  uint64_t esc = word ^ (kEachByte * kEsc);
  uint64_t shift = (word | kEachByte) ^ (kEachByte * kShiftIn);
  return (word | ((esc - kEachByte) & ~esc) | ((shift - kEachByte) & ~shift)) & kHighBits;
}

// Sets the high bit of every byte of `word` outside 0x21..0x7E, the range of a JIS X 0208 row
// or cell. Additions carry only from a byte that is itself marked (an 8-bit byte) into the bytes
// after it, so the first marked byte is always one outside the range.
inline uint64_t MarkNonJisBytes(uint64_t word) {
  uint64_t too_high = word | (word + kEachByte);  // >= 0x80, or 0x7F which becomes 0x80
  uint64_t too_low = ~(word + kEachByte * 0x5F);  // < 0x21 stays below 0x80
  return (too_high | too_low) & kHighBits;
}

// The first marked byte of a word loaded at p, whose `marks` are not all zero. Loading puts the
// first byte lowest on little-endian machines; elsewhere the bytes are searched one by one.
inline const uint8_t* FirstMarkedByte(const uint8_t* p, uint64_t marks,
                                      bool (*is_marked)(uint8_t)) {
  if constexpr (std::endian::native == std::endian::little) {
    return p + std::countr_zero(marks) / 8;
  } else {
    while (!is_marked(*p)) ++p;
    return p;
  }
}

// Returns the first special byte in [p, end), or end. Mail is mostly plain ASCII, so eight
// bytes are tested at once.
inline const uint8_t* FindSpecialByte(const uint8_t* p, const uint8_t* end) {
  while (end - p >= 8) {
    uint64_t marks = MarkSpecialBytes(LoadWord(p));
    if (marks != 0) return FirstMarkedByte(p, marks, IsSpecialByte);
    p += 8;
  }
  while (p < end && !IsSpecialByte(*p)) ++p;
  return p;
}

inline bool IsEightBitByte(uint8_t byte) { return byte >= 0x80; }

// Returns the first byte >= 0x80 in [p, end), or end. Whole messages of 7-bit text are scanned
// for one, so four words are tested per step.
inline const uint8_t* FindEightBitByte(const uint8_t* p, const uint8_t* end) {
  while (end - p >= 32) {
    uint64_t any = LoadWord(p) | LoadWord(p + 8) | LoadWord(p + 16) | LoadWord(p + 24);
    if ((any & kHighBits) != 0) break;
    p += 32;
  }
  while (end - p >= 8) {
    uint64_t marks = LoadWord(p) & kHighBits;
    if (marks != 0) return FirstMarkedByte(p, marks, IsEightBitByte);
    p += 8;
  }
  while (p < end && *p < 0x80) ++p;
  return p;
}

}  // namespace ferrolt::kanji

#endif  // FERROLT_KANJI_BYTE_SCAN_H_
