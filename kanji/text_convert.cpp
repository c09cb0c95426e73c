#include "kanji/text_convert.h"

#include "kanji/byte_scan.h"
#include "kanji/jis.h"

namespace kanji {
namespace {

constexpr uint8_t kEucKana = 0x8E;
constexpr uint8_t kEucSupplement = 0x8F;

const uint8_t* CopyAsciiRun(Output& out, const uint8_t* p, const uint8_t* end) {
  const uint8_t* special = FindSpecialByte(p, end);
  PutBytes(out, p, static_cast<size_t>(special - p));
  return special;
}

// Outside the graphic range (controls, space, DEL) a byte stands for itself in every shift.
void PutNonGraphic(Output& out, uint8_t byte) {
  if (byte == 0x7F || byte <= 0x20) {
    PutByte(out, byte);
  } else {
    PutInvalid(out, byte);
  }
}

// Converts the pairs from *p on straight into the buffer while there is room for all the rest of
// the input (a pair keeps its size, so no check per pair is needed); returns where it stopped.
const uint8_t* ConvertKanjiPairs(Output& out, const uint8_t* p, const uint8_t* end) {
  if (out.full || out.capacity - out.size < static_cast<size_t>(end - p)) return p;
  uint8_t* to = out.data + out.size;
  while (end - p >= 2 && IsJisByte(p[0]) && IsJisByte(p[1])) {
    uint8_t row = p[0], cell = p[1];
    to[0] = static_cast<uint8_t>(((row + 1) >> 1) + (row <= 0x5E ? 0x70 : 0xB0));
    to[1] = static_cast<uint8_t>((row & 1) ? cell + 0x1F + (cell >= 0x60) : cell + 0x7E);
    to += 2;
    p += 2;
  }
  out.size = static_cast<size_t>(to - out.data);
  out.last_kana = 0;
  return p;
}

const uint8_t* ConvertPairRun(Output& out, const uint8_t* p, const uint8_t* end, bool supplement) {
  if (!supplement) p = ConvertKanjiPairs(out, p, end);
  while (p < end && !out.full && !IsSpecialByte(*p)) {
    if (IsJisByte(p[0]) && end - p >= 2 && IsJisByte(p[1])) {
      if (supplement) {
        PutGeta(out);
      } else {
        PutJis(out, p[0], p[1]);
      }
      p += 2;
    } else {
      PutNonGraphic(out, *p++);
    }
  }
  return p;
}

const uint8_t* ConvertKanaRun(Output& out, const uint8_t* p, const uint8_t* end) {
  while (p < end && !out.full && !IsSpecialByte(*p)) {
    uint8_t byte = *p++;
    if (byte >= 0x21 && byte <= 0x5F) {
      PutHalfKana(out, static_cast<uint8_t>(byte + 0x80));
    } else {
      PutNonGraphic(out, byte);
    }
  }
  return p;
}

// Each Convert*Char converts one character starting at the 8-bit byte *p and returns its end.
const uint8_t* ConvertSjisChar(Output& out, const uint8_t* p, const uint8_t* end) {
  if (IsHalfKana(p[0])) {
    PutHalfKana(out, p[0]);
    return p + 1;
  }
  if (IsSjisLead(p[0]) && end - p >= 2 && IsSjisTrail(p[1])) {
    PutPair(out, p[0], p[1]);
    return p + 2;
  }
  PutInvalid(out, p[0]);
  return p + 1;
}

const uint8_t* ConvertEucChar(Output& out, const uint8_t* p, const uint8_t* end) {
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
    PutGeta(out);
    return p + 3;
  }
  PutInvalid(out, p[0]);
  return p + 1;
}

// Each *Run converts 8-bit characters from *p on in one code, up to the next 7-bit byte (which
// may still end a Shift_JIS pair) or the end, and returns where it stopped.
const uint8_t* ConvertSjisRun(Output& out, const uint8_t* p, const uint8_t* end) {
  while (p < end && *p >= 0x80 && !out.full) {
    if (IsSjisLead(p[0]) && end - p >= 2 && IsSjisTrail(p[1])) {
      PutPair(out, p[0], p[1]);
      p += 2;
    } else {
      p = ConvertSjisChar(out, p, end);
    }
  }
  return p;
}

const uint8_t* ConvertEucRun(Output& out, const uint8_t* p, const uint8_t* end) {
  while (p < end && *p >= 0x80 && !out.full) {
    if (IsEucByte(p[0]) && end - p >= 2 && IsEucByte(p[1])) {
      PutJis(out, p[0] & 0x7F, p[1] & 0x7F);
      p += 2;
    } else {
      p = ConvertEucChar(out, p, end);
    }
  }
  return p;
}

const uint8_t* ConvertEightBitRun(Output& out, const uint8_t* p, const uint8_t* end,
                                  EightBit code) {
  if (code == EightBit::kShiftJis) return ConvertSjisRun(out, p, end);
  if (code == EightBit::kEucJp) return ConvertEucRun(out, p, end);
  while (p < end && *p >= 0x80 && !out.full) {
    if (code == EightBit::kLatin1) {
      PutLatin1(out, *p++);
    } else {
      PutInvalid(out, *p++);
    }
  }
  return p;
}

// Returns the length of the shift sequence at *p == ESC and sets `shift`, or 0 if there is none.
ptrdiff_t ParseEscape(const uint8_t* p, const uint8_t* end, Shift& shift) {
  ptrdiff_t left = end - p;
  if (left < 3) return 0;
  if (p[1] == '(') {
    if (p[2] == 'B' || p[2] == 'J') shift = Shift::kAscii;
    if (p[2] == 'I') shift = Shift::kKana;
    return p[2] == 'B' || p[2] == 'J' || p[2] == 'I' ? 3 : 0;
  }
  if (p[1] != '$') return 0;
  if (p[2] == 'B' || p[2] == '@') {
    shift = Shift::kKanji;
    return 3;
  }
  if (p[2] != '(' || left < 4) return 0;
  if (p[3] == 'B' || p[3] == '@') shift = Shift::kKanji;
  if (p[3] == 'D') shift = Shift::kSupplement;
  return p[3] == 'B' || p[3] == '@' || p[3] == 'D' ? 4 : 0;
}

// Consumes the shift sequence at *p == ESC; an unknown one passes through as invalid.
const uint8_t* ApplyEscape(Output& out, const uint8_t* p, const uint8_t* end, ShiftState& state) {
  ptrdiff_t length = ParseEscape(p, end, state.shift);
  if (length != 0) return p + length;
  PutInvalid(out, *p);
  return p + 1;
}

const uint8_t* ConvertSpecial(Output& out, const uint8_t* p, const uint8_t* end, EightBit code,
                              ShiftState& state) {
  if (*p >= 0x80) return ConvertEightBitRun(out, p, end, code);
  if (*p == kEsc) return ApplyEscape(out, p, end, state);
  if (*p == kShiftOut) {
    if (state.shift != Shift::kKana) state.before_shift_out = state.shift;
    state.shift = Shift::kKana;
  } else {
    state.shift = state.before_shift_out;
  }
  return p + 1;
}

}  // namespace

void ConvertText(Output& out, const uint8_t* p, const uint8_t* end, EightBit code,
                 ShiftState& state) {
  while (p < end && !out.full) {
    switch (state.shift) {
      case Shift::kAscii:
        p = CopyAsciiRun(out, p, end);
        break;
      case Shift::kKanji:
        p = ConvertPairRun(out, p, end, false);
        break;
      case Shift::kSupplement:
        p = ConvertPairRun(out, p, end, true);
        break;
      case Shift::kKana:
        p = ConvertKanaRun(out, p, end);
        break;
    }
    if (p < end && !out.full) p = ConvertSpecial(out, p, end, code, state);
  }
}

}  // namespace kanji
