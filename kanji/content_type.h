#ifndef FERROLT_KANJI_CONTENT_TYPE_H_
#define FERROLT_KANJI_CONTENT_TYPE_H_

#include <cstdint>
#include <string>

#include "kanji/text_convert.h"

namespace ferrolt::kanji {

// What a header's Content-Type field says about the text after it.
struct ContentType {
  bool multipart = false;  // with a usable boundary
  std::string boundary;
  // Shift_JIS or EUC-JP when the charset names either; else kNone (ISO-2022-JP and US-ASCII text
  // has no 8-bit byte to read, and other charsets are not ours to read).
  EightBit label = EightBit::kNone;
};

// Reads the Content-Type field of the header [begin, end), folded lines joined; no field, or one
// without these parameters, gives the defaults.
ContentType ReadContentType(const uint8_t* begin, const uint8_t* end);

}  // namespace ferrolt::kanji

#endif  // FERROLT_KANJI_CONTENT_TYPE_H_
