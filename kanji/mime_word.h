#ifndef FERROLT_KANJI_MIME_WORD_H_
#define FERROLT_KANJI_MIME_WORD_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace ferrolt::kanji {

// The charsets a label or an encoded word may name. The converter writes Shift_JIS from the
// first five; UTF-8 is known so that the listing can decode it, the converter leaves it alone.
enum class Charset : uint8_t { kIso2022Jp, kShiftJis, kEucJp, kUsAscii, kIso8859_1, kUtf8 };

// The charset a name stands for, under any of its registered names and the ones mailers used
// (x-sjis, windows-31j, x-euc-jp ...), in any case; false for a name we do not know.
bool CharsetOfName(std::string_view name, Charset* charset);

// One RFC 2047 encoded word "=?charset?B|Q?text?=" as found in a header.
struct EncodedWord {
  const uint8_t* begin;  // at "=?"
  const uint8_t* end;    // just past "?="
  Charset charset;
  std::string bytes;  // the decoded text, still in `charset`
};

// Parses and decodes the encoded word at `p`; false when there is none there, it is malformed
// or its charset is not one we convert.
bool ParseEncodedWord(const uint8_t* p, const uint8_t* end, EncodedWord* word);

}  // namespace ferrolt::kanji

#endif  // FERROLT_KANJI_MIME_WORD_H_
