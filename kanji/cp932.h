#ifndef FERROLT_KANJI_CP932_H_
#define FERROLT_KANJI_CP932_H_

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace ferrolt::kanji {

struct Cp932OfSupplement {
  uint16_t jis;   // JIS X 0212 row and cell bytes, 7-bit
  uint16_t sjis;  // the code page 932 pair of the same character
};

#include "kanji/cp932_tables.inc"

// True when code page 932 assigns the Shift_JIS pair (lead, trail): the output holds no other
// pair, since a pair Windows leaves undefined shows as nothing or garbage there.
constexpr bool IsCp932Pair(uint8_t lead, uint8_t trail) {
  return lead >= 0x80 && (kCp932Assigned[lead - 0x80][trail >> 6] >> (trail & 63) & 1) != 0;
}

// The code page 932 pair of the JIS X 0212 character (row_byte, cell_byte), 7-bit, or 0 when
// code page 932 does not hold it.
inline uint16_t Cp932OfSupplementPair(uint8_t row_byte, uint8_t cell_byte) {
  uint16_t jis = static_cast<uint16_t>((row_byte & 0x7F) << 8 | (cell_byte & 0x7F));
  const Cp932OfSupplement* end = std::end(kCp932OfSupplement);
  const Cp932OfSupplement* found = std::lower_bound(
      std::begin(kCp932OfSupplement), end, jis,
      [](const Cp932OfSupplement& entry, uint16_t key) { return entry.jis < key; });
  return found != end && found->jis == jis ? found->sjis : 0;
}

}  // namespace ferrolt::kanji

#endif  // FERROLT_KANJI_CP932_H_
