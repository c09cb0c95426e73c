#ifndef FERROLT_KANJI_NKF_H_
#define FERROLT_KANJI_NKF_H_

#include <cstddef>

namespace ferrolt::kanji {

// Sets the options for the following conversions: "Xsm" or "sm" as the program passes them
// (letters: X prefer Shift_JIS half-width kana for text that may also be EUC-JP, s output
// Shift_JIS, m decode MIME encoded words in the headers, x keep half-width katakana as they are
// instead of widening them). Unknown letters are ignored.
void SetNkfOption(const char* options);
// Converts the message of `length` bytes at `input` (NUL bytes allowed and passed through) into
// `output`, writing at most `capacity` bytes; returns the number of bytes written (no NUL is
// appended). With capacity >= NkfOutputBound(length) the whole conversion always fits. Each part
// of the message is read in the code its Content-Type names where valid (see ConvertMessage in
// kanji/message.h); the option decides only text that neither its label nor its bytes decide.
size_t NkfConvert(char* output, size_t capacity, const char* input, size_t length);

// The output capacity that always holds the conversion of `length` input bytes (argued in
// nkf.cpp). A template so that a caller sizing an allocation can count in 64 bits.
template <typename Size>
constexpr Size NkfOutputBound(Size length) {
  return 2 * length + 128;
}

// How the converter reads a message, decided once over its whole text.
enum class InputCode {
  kAscii,      // no 8-bit byte, no shift sequence: copied as it is
  kIso2022Jp,  // shift sequences (ESC or SO) but no 8-bit byte
  kEucJp,      // 8-bit bytes read as EUC-JP
  kShiftJis,   // 8-bit bytes read as Shift_JIS
};
// 8-bit bytes are read as the code in which the whole text is valid, as DetectEightBit
// tells (kanji/detect.h): text valid in both is EUC-JP unless nothing in it tells them apart,
// and then `prefer_shift_jis` decides. Shift sequences are honoured whatever this answers.
InputCode DetectInputCode(const char* text, size_t length, bool prefer_shift_jis);

}  // namespace ferrolt::kanji

#endif  // FERROLT_KANJI_NKF_H_
