#ifndef FERROLT_CLI_TERMINAL_TEXT_H_
#define FERROLT_CLI_TERMINAL_TEXT_H_

// Text from mailboxes, their names and paths on its way to a terminal: control characters in a
// name ("a\x1b]0;title\x07.mbx") or a header would drive the terminal, and bidirectional
// overrides would show text other than it is, so they are shown escaped instead.

#include <cstddef>
#include <string>
#include <string_view>

namespace ferrolt {

// `text` as it may be shown on any terminal: every C0 control (TAB, CR and LF among them) and DEL
// written as \xNN per byte in lower case ("\x1b"), and the C1 controls (U+0080..U+009F) and the
// bidirectional embeddings, overrides and isolates (U+202A..U+202E, U+2066..U+2069), as UTF-8
// encodes them, as \uNNNN ("\u202e"). Everything else passes, bytes that are no UTF-8 included
// (Shift_JIS and EUC-JP text as stored). The one escape for every column of a listing and every
// name on stderr, and for whatever writes to a console.
std::string EscapeForTerminal(const std::string& text);

// EscapeForTerminal, keeping line feeds when `keep_line_feeds`: notices are made of lines.
std::string EscapeControls(std::string_view text, bool keep_line_feeds);

// EscapeControls(text, false) cut to at most `width` bytes, never inside an escape or a UTF-8
// character.
std::string ShortenForTerminal(std::string_view text, size_t width);

}  // namespace ferrolt

#endif  // FERROLT_CLI_TERMINAL_TEXT_H_
