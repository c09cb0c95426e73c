#include "kanji/detect.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "kanji/byte_scan.h"
#include "kanji/cp932.h"
#include "kanji/jis.h"
#include "kanji/nkf.h"

namespace ferrolt::kanji {
namespace {

// Each Count*Invalid reads every 8-bit character of the text in its code and counts the bytes
// that cannot start a character there, stopping once the count passes `limit`. Japanese text is
// dense in 8-bit bytes, so a scan for the next one starts only after a 7-bit byte.
// Returns the end of the run of Shift_JIS pairs at p: the text between two 7-bit runs is mostly
// pairs, so they are stepped over in a loop of their own.
const uint8_t* SkipSjisPairs(const uint8_t* p, const uint8_t* end) {
  while (end - p >= 2 && IsSjisLead(p[0]) && IsSjisTrail(p[1])) p += 2;
  return p;
}

size_t CountSjisInvalid(const uint8_t* p, const uint8_t* end, size_t limit) {
  size_t invalid = 0;
  while (p < end && invalid <= limit) {
    if (*p < 0x80) {
      p = FindEightBitByte(p + 1, end);
      continue;
    }
    p = SkipSjisPairs(p, end);
    if (p < end && *p >= 0x80) invalid += !IsHalfKana(*p++);
  }
  return invalid;
}

// Returns the end of the run of EUC-JP pairs at p, stepped over eight bytes (four pairs) at a
// time while every byte is in 0xA1..0xFE; sets *beyond_half_kana when one of them is above 0xDF.
const uint8_t* SkipEucPairs(const uint8_t* p, const uint8_t* end, bool* beyond_half_kana) {
  uint64_t above_df = 0;
  while (end - p >= 8) {
    uint64_t word = LoadWord(p);
    if (MarkNonJisBytes(word ^ kHighBits) != 0) break;
    above_df |= word & (word << 1) & (word << 2);  // the top three bits of a byte all set
    p += 8;
  }
  *beyond_half_kana |= (above_df & kHighBits) != 0;
  return p;
}

// Also sets *beyond_half_kana when a valid character has a byte outside 0xA1..0xDF, the range
// in which the same bytes read as Shift_JIS half-width kana.
size_t CountEucInvalid(const uint8_t* p, const uint8_t* end, size_t limit, bool* beyond_half_kana) {
  size_t invalid = 0;
  while (p < end && invalid <= limit) {
    ptrdiff_t left = end - p;
    if (*p < 0x80) {
      p = FindEightBitByte(p + 1, end);
    } else if (IsEucByte(p[0]) && left >= 2 && IsEucByte(p[1])) {
      *beyond_half_kana |= std::max(p[0], p[1]) > 0xDF;
      p = SkipEucPairs(p + 2, end, beyond_half_kana);
    } else if (p[0] == 0x8E && left >= 2 && IsHalfKana(p[1])) {
      *beyond_half_kana = true;
      p += 2;
    } else if (p[0] == 0x8F && left >= 3 && IsEucByte(p[1]) && IsEucByte(p[2])) {
      *beyond_half_kana = true;
      p += 3;
    } else {
      ++invalid;
      ++p;
    }
  }
  return invalid;
}

// True when every 8-bit character of valid EUC-JP text is a kanji pair led by 0xE0..0xEF or
// 0xFA..0xFC, or (once at most) a half-width kana, 0x8E and a kana byte: bytes that read as
// Shift_JIS kanji just as well (level-2 and IBM kanji; 0x8E 0xA9 is 自 there), with nothing
// else (hiragana, punctuation, common kanji, a run of kana) to tell the codes apart. Prose
// fails on its first hiragana.
bool OnlyCharactersBothCodesRead(const uint8_t* p, const uint8_t* end) {
  int kana = 0;
  while ((p = FindEightBitByte(p, end)) != end) {
    bool kanji = (*p >= 0xE0 && *p <= 0xEF) || (*p >= 0xFA && *p <= 0xFC);
    if (!kanji && (*p != 0x8E || ++kana > 1)) return false;
    p += 2;
  }
  return true;
}

// True when text read as Shift_JIS is half-width kana and pairs that code page 932 assigns.
bool IsWindowsShiftJis(const uint8_t* p, const uint8_t* end) {
  while ((p = FindEightBitByte(p, end)) != end) {
    if (IsHalfKana(*p)) {
      ++p;
    } else if (end - p >= 2 && IsCp932Pair(p[0], p[1])) {
      p += 2;
    } else {
      return false;
    }
  }
  return true;
}

bool HasShiftSequence(const uint8_t* p, const uint8_t* end) {
  for (; (p = FindSpecialByte(p, end)) != end; ++p) {
    if (*p == kShiftOut) return true;
    if (*p == kEsc && end - p >= 2 && (p[1] == '$' || p[1] == '(')) return true;
  }
  return false;
}

}  // namespace

bool IsValidIn(EightBit code, const uint8_t* begin, const uint8_t* end) {
  bool beyond_half_kana = false;
  if (code == EightBit::kShiftJis) return CountSjisInvalid(begin, end, 0) == 0;
  if (code == EightBit::kEucJp) return CountEucInvalid(begin, end, 0, &beyond_half_kana) == 0;
  return FindEightBitByte(begin, end) == end;
}

Detected DetectEightBit(const uint8_t* begin, const uint8_t* end, bool prefer_shift_jis) {
  const EightBit preferred = prefer_shift_jis ? EightBit::kShiftJis : EightBit::kEucJp;
  if (FindEightBitByte(begin, end) == end) return {preferred, true};
  // Real Shift_JIS text holds hiragana, katakana or punctuation, whose lead bytes 0x81..0x9F
  // EUC-JP has not, so it fails the EUC-JP reading early; EUC-JP text, whose kana pairs read
  // as half-width kana and whose upper kanji rows as Shift_JIS pairs, often passes both. So text
  // valid as EUC-JP is EUC-JP, unless its Shift_JIS reading is ASCII and half-width kana alone:
  // only that is ambiguous, and the preference decides it.
  constexpr size_t kAny = 0, kAll = static_cast<size_t>(-1) - 1;
  bool beyond_half_kana = false;
  size_t euc_invalid = CountEucInvalid(begin, end, kAny, &beyond_half_kana);
  if (euc_invalid == 0) {
    bool ambiguous = !beyond_half_kana ||
                     (OnlyCharactersBothCodesRead(begin, end) && IsWindowsShiftJis(begin, end));
    return ambiguous ? Detected{preferred, true} : Detected{EightBit::kEucJp, false};
  }
  size_t sjis_invalid = CountSjisInvalid(begin, end, kAny);
  if (sjis_invalid == 0) return {EightBit::kShiftJis, false};
  // Valid in neither: count in full.
  sjis_invalid = CountSjisInvalid(begin, end, kAll);
  euc_invalid = CountEucInvalid(begin, end, kAll, &beyond_half_kana);
  if (sjis_invalid == euc_invalid) return {preferred, true};
  return {sjis_invalid < euc_invalid ? EightBit::kShiftJis : EightBit::kEucJp, false};
}

InputCode DetectInputCode(const char* text, size_t length, bool prefer_shift_jis) {
  const uint8_t* begin = reinterpret_cast<const uint8_t*>(text);
  const uint8_t* end = begin + length;
  if (FindEightBitByte(begin, end) == end) {
    return HasShiftSequence(begin, end) ? InputCode::kIso2022Jp : InputCode::kAscii;
  }
  EightBit code = DetectEightBit(begin, end, prefer_shift_jis).code;
  return code == EightBit::kShiftJis ? InputCode::kShiftJis : InputCode::kEucJp;
}

}  // namespace ferrolt::kanji
