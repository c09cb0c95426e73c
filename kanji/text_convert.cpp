#include "kanji/text_convert.h"

#include <bit>
#include <cstring>

#include "kanji/byte_scan.h"
#include "kanji/cp932.h"
#include "kanji/jis.h"

namespace ferrolt::kanji {
namespace {

constexpr uint8_t kEucKana = 0x8E;
constexpr uint8_t kEucSupplement = 0x8F;

const uint8_t* CopyAsciiRun(Output* out, const uint8_t* p, const uint8_t* end) {
  const uint8_t* special = FindSpecialByte(p, end);
  PutBytes(out, p, static_cast<size_t>(special - p));
  return special;
}

// Outside the graphic range (controls, space, DEL) a byte stands for itself in every shift; a
// graphic byte that is no character of the shift (half a kanji pair) cannot be converted.
void PutNonGraphic(Output* out, uint8_t byte) {
  if (byte == 0x7F || byte <= 0x20) {
    PutByte(out, byte);
  } else {
    PutInvalid(out);
  }
}

// True when the rest of the input, converted at no more than its own size, fits: then a run of
// pairs, which keep their size, is written without a check per pair.
bool RoomForRest(const Output* out, const uint8_t* p, const uint8_t* end) {
  return !out->full && out->capacity - out->size >= static_cast<size_t>(end - p);
}

// Ends a run written straight into the buffer at `to`. A kana written before an empty run may
// still take the sound mark that follows.
void FinishUncheckedRun(Output* out, uint8_t* to) {
  size_t size = static_cast<size_t>(to - out->data);
  if (size != out->size) out->last_kana = 0;
  out->size = size;
}

// Converts whole pairs from the eight bytes at p, which are JIS bytes or, with `flip` set to
// 0x80 in each byte, EUC-JP bytes; writes all eight result bytes at `to` (those past the
// converted pairs are scratch, overwritten by what follows) and returns how many bytes of pairs
// it converted; a pair that code page 932 leaves unassigned becomes the geta mark. Only on
// little-endian machines, where a loaded word's first byte is its lowest.
size_t ConvertPairWord(uint8_t* to, const uint8_t* p, uint64_t flip) {
  uint64_t word = LoadWord(p) ^ flip;
  uint64_t marks = MarkNonJisBytes(word);
  size_t pair_bytes = marks == 0 ? 8 : (std::countr_zero(marks) / 8) & ~1u;
  uint64_t sjis = 0;
  for (unsigned shift = 0; shift < 64; shift += 16) {
    uint64_t row = (word >> shift) & 0x7F, cell = (word >> (shift + 8)) & 0x7F;
    uint16_t pair;
    memcpy(&pair, kJisToCp932.pair[row << 7 | cell], 2);
    sjis |= static_cast<uint64_t>(pair) << shift;
  }
  memcpy(to, &sjis, 8);
  return pair_bytes;
}

// Converts the pairs of 7-bit JIS (or, with `high` = 0x80, of EUC-JP) bytes from *p on straight
// into the buffer; returns where it stopped. The caller has checked RoomForRest, so eight bytes
// may be written wherever eight remain to be read. Prose holds a few to tens of characters
// between shifts, so pairs are taken four at a time.
const uint8_t* ConvertPairsUnchecked(Output* out, const uint8_t* p, const uint8_t* end,
                                     uint8_t high) {
  uint8_t* to = out->data + out->size;
  if constexpr (std::endian::native == std::endian::little) {
    while (end - p >= 8) {
      size_t converted = ConvertPairWord(to, p, kEachByte * high);
      to += converted;
      p += converted;
      if (converted != 8) break;
    }
  }
  while (end - p >= 2 && IsJisByte(p[0] ^ high) && IsJisByte(p[1] ^ high)) {
    StoreCp932OfJis(to, p[0], p[1]);
    to += 2;
    p += 2;
  }
  FinishUncheckedRun(out, to);
  return p;
}

// A shift that writes nothing leaves a kana free to take the sound mark after it, so pairs are
// what ends that chance, never the shift itself.
const uint8_t* ConvertKanjiPairs(Output* out, const uint8_t* p, const uint8_t* end) {
  if (!RoomForRest(out, p, end)) return p;
  return ConvertPairsUnchecked(out, p, end, 0);
}

// A line end returns to ASCII: each line of ISO-2022-JP text ends in ASCII, so a line that
// forgot to shift back spoils only itself, not every line after it.
bool EndsLine(uint8_t byte, ShiftState* state) {
  if (byte != '\r' && byte != '\n') return false;
  *state = ShiftState{};
  return true;
}

// After each pair taken one at a time (a geta, a space) the run goes on four pairs at a time.
const uint8_t* ConvertPairRun(Output* out, const uint8_t* p, const uint8_t* end,
                              ShiftState* state) {
  bool supplement = state->shift == Shift::kSupplement;
  while (p < end && !out->full && !IsSpecialByte(*p)) {
    if (!supplement) {
      p = ConvertKanjiPairs(out, p, end);
      if (p == end || out->full || IsSpecialByte(*p)) break;
    }
    if (IsJisByte(p[0]) && end - p >= 2 && IsJisByte(p[1])) {
      supplement ? PutSupplement(out, p[0], p[1]) : PutJis(out, p[0], p[1]);
      p += 2;
    } else {
      PutNonGraphic(out, *p);
      if (EndsLine(*p++, state)) break;
    }
  }
  return p;
}

const uint8_t* ConvertKanaRun(Output* out, const uint8_t* p, const uint8_t* end,
                              ShiftState* state) {
  while (p < end && !out->full && !IsSpecialByte(*p)) {
    uint8_t byte = *p++;
    if (byte >= 0x21 && byte <= 0x5F) {
      PutHalfKana(out, static_cast<uint8_t>(byte + 0x80));
    } else {
      PutNonGraphic(out, byte);
      if (EndsLine(byte, state)) break;
    }
  }
  return p;
}

// Each Convert*Char converts one character starting at the 8-bit byte *p and returns its end.
const uint8_t* ConvertSjisChar(Output* out, const uint8_t* p, const uint8_t* end) {
  if (IsHalfKana(p[0])) {
    PutHalfKana(out, p[0]);
    return p + 1;
  }
  if (IsSjisLead(p[0]) && end - p >= 2 && IsSjisTrail(p[1])) {
    IsCp932Pair(p[0], p[1]) ? PutPair(out, p[0], p[1]) : PutGeta(out);
    return p + 2;
  }
  PutInvalid(out);
  return p + 1;
}

const uint8_t* ConvertEucChar(Output* out, const uint8_t* p, const uint8_t* end) {
  ptrdiff_t left = end - p;
  if (IsEucByte(p[0]) && left >= 2 && IsEucByte(p[1])) {
    PutJis(out, p[0] & 0x7F, p[1] & 0x7F);
    return p + 2;
  }
  if (p[0] == kEucKana && left >= 2 && IsHalfKana(p[1])) {
    PutHalfKana(out, p[1]);
    return p + 2;
  }
  if (p[0] == kEucSupplement && left >= 3 && IsEucByte(p[1]) && IsEucByte(p[2])) {
    PutSupplement(out, p[1], p[2]);
    return p + 3;
  }
  PutInvalid(out);
  return p + 1;
}

// Shift_JIS pairs pass through: copied two bytes at a time until a byte that is not part of an
// assigned pair.
const uint8_t* CopySjisPairsUnchecked(Output* out, const uint8_t* p, const uint8_t* end) {
  uint8_t* to = out->data + out->size;
  while (end - p >= 2 && IsCp932Pair(p[0], p[1])) {
    memcpy(to, p, 2);
    to += 2;
    p += 2;
  }
  FinishUncheckedRun(out, to);
  return p;
}

// Each *Run converts 8-bit characters from *p on in one code, up to the next 7-bit byte (which
// may still end a Shift_JIS pair) or the end, and returns where it stopped. Where the rest of
// the input fits, runs of pairs are copied or converted without a check per pair.
const uint8_t* ConvertSjisRun(Output* out, const uint8_t* p, const uint8_t* end) {
  while (p < end && *p >= 0x80 && !out->full) {
    if (RoomForRest(out, p, end)) p = CopySjisPairsUnchecked(out, p, end);
    if (p < end && *p >= 0x80 && !out->full) p = ConvertSjisChar(out, p, end);
  }
  return p;
}

const uint8_t* ConvertEucRun(Output* out, const uint8_t* p, const uint8_t* end) {
  while (p < end && *p >= 0x80 && !out->full) {
    if (RoomForRest(out, p, end)) p = ConvertPairsUnchecked(out, p, end, 0x80);
    if (p < end && *p >= 0x80 && !out->full) p = ConvertEucChar(out, p, end);
  }
  return p;
}

const uint8_t* ConvertEightBitRun(Output* out, const uint8_t* p, const uint8_t* end,
                                  EightBit code) {
  if (code == EightBit::kShiftJis) return ConvertSjisRun(out, p, end);
  if (code == EightBit::kEucJp) return ConvertEucRun(out, p, end);
  while (p < end && *p >= 0x80 && !out->full) {
    if (code == EightBit::kLatin1) {
      PutLatin1(out, *p++);
    } else {
      PutInvalid(out);
      ++p;
    }
  }
  return p;
}

// The two bytes after ESC as one key, so that a shift sequence is found with one switch.
constexpr int EscapeKey(uint8_t first, uint8_t second) { return first << 8 | second; }

// Returns the length of the four-byte shift sequence ESC $ ( F at *p and sets *shift, or 0.
ptrdiff_t ParseLongEscape(const uint8_t* p, const uint8_t* end, Shift* shift) {
  if (end - p < 4) return 0;
  if (p[3] == 'B' || p[3] == '@') *shift = Shift::kKanji;
  if (p[3] == 'D') *shift = Shift::kSupplement;
  return p[3] == 'B' || p[3] == '@' || p[3] == 'D' ? 4 : 0;
}

// Returns the length of the shift sequence at *p == ESC and sets *shift, or 0 if there is none.
ptrdiff_t ParseEscape(const uint8_t* p, const uint8_t* end, Shift* shift) {
  if (end - p < 3) return 0;
  switch (EscapeKey(p[1], p[2])) {
    case EscapeKey('(', 'B'):
    case EscapeKey('(', 'J'):
      *shift = Shift::kAscii;
      return 3;
    case EscapeKey('(', 'I'):
      *shift = Shift::kKana;
      return 3;
    case EscapeKey('$', 'B'):
    case EscapeKey('$', '@'):
      *shift = Shift::kKanji;
      return 3;
    case EscapeKey('$', '('):
      return ParseLongEscape(p, end, shift);
    case EscapeKey('&', '@'):  // announces the 1990 edition of JIS X 0208 before ESC $ B
      return 3;
    default:
      return 0;
  }
}

// Returns the end of the unknown or cut escape sequence at *p == ESC: its intermediate bytes
// (0x21..0x2F, such as '$' and '(') and, after at least one of them, its final byte
// (0x30..0x7E). A byte that cannot continue the sequence, a space among them, is left to stand
// for itself, so text after a stray ESC stays intact.
const uint8_t* SkipUnknownEscape(const uint8_t* p, const uint8_t* end) {
  const uint8_t* after = p + 1;
  while (after < end && *after >= 0x21 && *after <= 0x2F) ++after;
  if (after != p + 1 && after < end && *after >= 0x30 && *after <= 0x7E) ++after;
  return after;
}

// Consumes the shift sequence at *p == ESC; an unknown or cut one becomes one geta mark.
const uint8_t* ApplyEscape(Output* out, const uint8_t* p, const uint8_t* end, ShiftState* state) {
  ptrdiff_t length = ParseEscape(p, end, &state->shift);
  if (length != 0) return p + length;
  PutInvalid(out);
  return SkipUnknownEscape(p, end);
}

const uint8_t* ConvertSpecial(Output* out, const uint8_t* p, const uint8_t* end, EightBit code,
                              ShiftState* state) {
  if (*p >= 0x80) return ConvertEightBitRun(out, p, end, code);
  if (*p == kEsc) return ApplyEscape(out, p, end, state);
  if (*p == kShiftOut) {
    if (state->shift != Shift::kKana) state->before_shift_out = state->shift;
    state->shift = Shift::kKana;
  } else {
    state->shift = state->before_shift_out;
  }
  return p + 1;
}

}  // namespace

void ConvertText(Output* out, const uint8_t* p, const uint8_t* end, EightBit code,
                 ShiftState* state) {
  while (p < end && !out->full) {
    switch (state->shift) {
      case Shift::kAscii:
        p = CopyAsciiRun(out, p, end);
        break;
      case Shift::kKanji:
      case Shift::kSupplement:
        p = ConvertPairRun(out, p, end, state);
        break;
      case Shift::kKana:
        p = ConvertKanaRun(out, p, end, state);
        break;
    }
    // A run stops at a special byte, or after a line end that returned it to ASCII.
    if (p < end && !out->full && IsSpecialByte(*p)) p = ConvertSpecial(out, p, end, code, state);
  }
}

}  // namespace ferrolt::kanji
