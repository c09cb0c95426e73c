#ifndef FERROLT_KANJI_HEADER_H_
#define FERROLT_KANJI_HEADER_H_

#include <cstddef>
#include <cstdint>

#include "kanji/output.h"
#include "kanji/text_convert.h"

namespace ferrolt::kanji {

// The header ends at its first empty line (a line that begins with CR or LF); a text without
// one is all header. A NUL is an ordinary byte: it neither ends a line nor the header. The one
// rule for where a header ends, shared by the status filter and the mail outputs.
size_t FindHeaderEnd(const uint8_t* text, size_t length);

// Converts header text like ConvertText and decodes its MIME encoded words: adjacent words of
// one charset are joined before conversion, so a character may be split between them, and the
// white space or fold between two decoded words is dropped. Words that are malformed, of an
// unknown charset, or decode to invalid text or to a control character other than TAB stay
// exactly as they were.
void ConvertHeader(Output* out, const uint8_t* p, const uint8_t* end, EightBit code,
                   ShiftState* state);

}  // namespace ferrolt::kanji

#endif  // FERROLT_KANJI_HEADER_H_
