#ifndef FERROLT_CLI_TERMINAL_TEXT_H_
#define FERROLT_CLI_TERMINAL_TEXT_H_

// Text from mailbox names and paths on its way to a terminal: control characters in a name
// ("a\x1b]0;title\x07.mbx") would drive the terminal, so they are shown escaped instead.

#include <cstddef>
#include <string>
#include <string_view>

namespace ferrolt {

// `text` with every control character written as \xNN (per byte, in lower case): the C0 bytes,
// DEL, and the C1 controls as UTF-8 encodes them (C2 80 to C2 9F). Line feeds are kept when
// `keep_line_feeds`: notices are made of lines.
std::string EscapeControls(std::string_view text, bool keep_line_feeds);

// EscapeControls(text, false) cut to at most `width` bytes, never inside an escape or a UTF-8
// character.
std::string ShortenForTerminal(std::string_view text, size_t width);

}  // namespace ferrolt

#endif  // FERROLT_CLI_TERMINAL_TEXT_H_
