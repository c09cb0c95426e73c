#ifndef FERROLT_CONVERT_MAIL_HEADER_H_
#define FERROLT_CONVERT_MAIL_HEADER_H_

// Looking things up in a message's header, as stored: lines end in LF or CR LF, the header ends
// at the first empty line (or with the text), and a line that begins with a space or a tab
// continues the field above it.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ferrolt {

// Where the header ends: the start of the first line that begins with CR or LF, or the size
// (kanji::FindHeaderEnd's rule).
size_t HeaderEnd(std::string_view message);

// True when the header line at `line` is the field `name` (ASCII case ignored), the colon
// following the name at once.
bool IsHeaderField(std::string_view line, std::string_view name);

// Every field `name` of the header, top to bottom, as HeaderFieldValue gives them, at most `most`.
std::vector<std::string> HeaderFieldValues(std::string_view header, std::string_view name,
                                           size_t most = 64);

// `header` (the header only) without the fields `names` names (ASCII case ignored) and their
// folded lines; every other byte as it was.
std::string HeaderWithout(std::string_view header, std::span<const std::string_view> names);

// The first field `name` of the header, folds joined, line ends dropped, tabs as spaces, leading
// and trailing spaces removed; empty when there is none.
std::string HeaderFieldValue(std::string_view header, std::string_view name);

// The end of the line starting at `at`: just past its LF, or the size of `text`.
size_t LineEnd(std::string_view text, size_t at);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_MAIL_HEADER_H_
