#pragma once

#include <cstdint>
#include <string>

namespace kanji {

enum class Charset : uint8_t { kIso2022Jp, kShiftJis, kEucJp, kUsAscii, kIso8859_1 };

// One RFC 2047 encoded word "=?charset?B|Q?text?=" as found in a header.
struct EncodedWord {
  const uint8_t* begin;  // at "=?"
  const uint8_t* end;    // just past "?="
  Charset charset;
  std::string bytes;  // the decoded text, still in `charset`
};

// Parses and decodes the encoded word at `p`; false when there is none there, it is malformed
// or its charset is not one we convert.
bool ParseEncodedWord(const uint8_t* p, const uint8_t* end, EncodedWord& word);

}  // namespace kanji
