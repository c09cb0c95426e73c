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

const uint8_t* ConvertPairRun(Output& out, const uint8_t* p, const uint8_t* end, bool supplement) {
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

const uint8_t* ConvertEightBitRun(Output& out, const uint8_t* p, const uint8_t* end,
                                  EightBit code) {
  while (p < end && !out.full && *p >= 0x80) {
    switch (code) {
      case EightBit::kShiftJis:
        p = ConvertSjisChar(out, p, end);
        break;
      case EightBit::kEucJp:
        p = ConvertEucChar(out, p, end);
        break;
      case EightBit::kLatin1:
        PutLatin1(out, *p++);
        break;
      case EightBit::kNone:
        PutInvalid(out, *p++);
        break;
    }
  }
  return p;
}

bool StartsWith(const uint8_t* p, const uint8_t* end, const char* text, ptrdiff_t length) {
  return end - p >= length && memcmp(p, text, static_cast<size_t>(length)) == 0;
}

// Consumes the shift sequence at *p == ESC; an unknown one passes through as invalid.
const uint8_t* ApplyEscape(Output& out, const uint8_t* p, const uint8_t* end, ShiftState& state) {
  struct Sequence {
    const char* bytes;
    Shift shift;
  };
  static constexpr Sequence kSequences[] = {
      {"\x1b(B", Shift::kAscii},  {"\x1b(J", Shift::kAscii},       {"\x1b(I", Shift::kKana},
      {"\x1b$B", Shift::kKanji},  {"\x1b$@", Shift::kKanji},       {"\x1b$(B", Shift::kKanji},
      {"\x1b$(@", Shift::kKanji}, {"\x1b$(D", Shift::kSupplement},
  };
  for (const Sequence& sequence : kSequences) {
    ptrdiff_t length = static_cast<ptrdiff_t>(strlen(sequence.bytes));
    if (StartsWith(p, end, sequence.bytes, length)) {
      state.shift = sequence.shift;
      return p + length;
    }
  }
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
