#include <cstdint>
#include <cstring>

#include "kanji/byte_scan.h"
#include "kanji/jis.h"
#include "kanji/nkf.h"

namespace {

using kanji::IsEucByte;
using kanji::IsHalfKana;

const uint8_t* FindEightBit(const uint8_t* p, const uint8_t* end) {
  while ((p = kanji::FindSpecialByte(p, end)) != end && *p < 0x80) ++p;
  return p;
}

// Each Count*Invalid reads every 8-bit character of the text in its code and counts the bytes
// that cannot start a character there.
size_t CountSjisInvalid(const uint8_t* p, const uint8_t* end) {
  size_t invalid = 0;
  while ((p = FindEightBit(p, end)) != end) {
    if (kanji::IsSjisLead(p[0]) && end - p >= 2 && kanji::IsSjisTrail(p[1])) {
      p += 2;
    } else {
      invalid += !IsHalfKana(p[0]);
      ++p;
    }
  }
  return invalid;
}

size_t CountEucInvalid(const uint8_t* p, const uint8_t* end) {
  size_t invalid = 0;
  while ((p = FindEightBit(p, end)) != end) {
    ptrdiff_t left = end - p;
    if (IsEucByte(p[0]) && left >= 2 && IsEucByte(p[1])) {
      p += 2;
    } else if (p[0] == 0x8E && left >= 2 && IsHalfKana(p[1])) {
      p += 2;
    } else if (p[0] == 0x8F && left >= 3 && IsEucByte(p[1]) && IsEucByte(p[2])) {
      p += 3;
    } else {
      ++invalid;
      ++p;
    }
  }
  return invalid;
}

bool HasShiftSequence(const uint8_t* p, const uint8_t* end) {
  for (; (p = kanji::FindSpecialByte(p, end)) != end; ++p) {
    if (*p == kanji::kShiftOut) return true;
    if (*p == kanji::kEsc && end - p >= 2 && (p[1] == '$' || p[1] == '(')) return true;
  }
  return false;
}

}  // namespace

InputCode DetectInputCode(const char* text, size_t length, bool prefer_shift_jis) {
  const uint8_t* begin = reinterpret_cast<const uint8_t*>(text);
  const uint8_t* end = begin + length;
  if (FindEightBit(begin, end) == end) {
    return HasShiftSequence(begin, end) ? InputCode::kIso2022Jp : InputCode::kAscii;
  }
  size_t sjis_invalid = CountSjisInvalid(begin, end);
  size_t euc_invalid = CountEucInvalid(begin, end);
  if (sjis_invalid == euc_invalid) {
    return prefer_shift_jis ? InputCode::kShiftJis : InputCode::kEucJp;
  }
  return sjis_invalid < euc_invalid ? InputCode::kShiftJis : InputCode::kEucJp;
}
