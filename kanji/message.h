#ifndef FERROLT_KANJI_MESSAGE_H_
#define FERROLT_KANJI_MESSAGE_H_

#include <cstdint>

#include "kanji/output.h"

namespace ferrolt::kanji {

struct MessageOptions {
  bool prefer_shift_jis = false;  // the option's answer for text that reads both ways as kana
  bool decode_mime = false;       // decode encoded words in the headers
};

// Converts a whole message to Shift_JIS. The header and the body are read apart, and a
// multipart body part by part, each part's header apart from its text: a section of text is
// read in the code its own Content-Type names when it is valid in that code (a header, in the
// code of the text it heads), else in the code it is valid in (see DetectEightBit). Text that
// nothing in it decides (ASCII and half-width kana alike) takes the code the rest of the message
// showed, and only in a message that shows none, the preferred one.
void ConvertMessage(Output* out, const uint8_t* begin, const uint8_t* end,
                    const MessageOptions& options);

}  // namespace ferrolt::kanji

#endif  // FERROLT_KANJI_MESSAGE_H_
