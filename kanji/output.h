#ifndef FERROLT_KANJI_OUTPUT_H_
#define FERROLT_KANJI_OUTPUT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ferrolt::kanji {

// Where converted text goes. Writing stops for good at the first character that does not fit
// (every Put does nothing once `full` is set, even where a shorter character would still fit),
// so a short buffer ends on a character boundary and is never overrun. The converters of pair
// runs may store a few bytes past `size` (never past `capacity`) that later output overwrites;
// only data[0, size) is the result.
struct Output {
  uint8_t* data;
  size_t capacity;
  size_t size = 0;
  bool full = false;
  // The half-width kana written last (0xA1..0xDF), else 0: a sound mark right after it may
  // fold into it.
  uint8_t last_kana = 0;
  // Bytes invalid in their code, each written as the geta mark; a MIME word with any is refused.
  size_t invalid = 0;
  // Half-width katakana are written as they are (one byte each) instead of widened.
  bool keep_half_kana = false;
};

// Writing nothing leaves `last_kana` alone: a sound mark after an empty run still folds.
inline void PutBytes(Output* out, const uint8_t* bytes, size_t count) {
  if (count == 0) return;
  out->last_kana = 0;
  if (out->full) return;
  size_t room = out->capacity - out->size;
  if (count > room) {
    count = room;
    out->full = true;
  }
  if (count != 0) memcpy(out->data + out->size, bytes, count);
  out->size += count;
}

inline void PutByte(Output* out, uint8_t byte) {
  out->last_kana = 0;
  if (out->full || out->size == out->capacity) {
    out->full = true;
    return;
  }
  out->data[out->size++] = byte;
}

inline void PutPair(Output* out, uint8_t first, uint8_t second) {
  out->last_kana = 0;
  if (out->full || out->capacity - out->size < 2) {
    out->full = true;
    return;
  }
  out->data[out->size] = first;
  out->data[out->size + 1] = second;
  out->size += 2;
}

// The geta mark stands in for a character Shift_JIS cannot hold, so that it never just vanishes.
inline void PutGeta(Output* out) { PutPair(out, 0x81, 0xAC); }

// A byte (or a broken escape sequence) that is no character in its code also becomes the geta
// mark: copied raw, a stray 8-bit byte would pair with the byte after it, and a raw ESC would
// make the output something other than Shift_JIS.
inline void PutInvalid(Output* out) {
  ++out->invalid;
  PutGeta(out);
}

}  // namespace ferrolt::kanji

#endif  // FERROLT_KANJI_OUTPUT_H_
