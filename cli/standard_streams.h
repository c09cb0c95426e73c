#ifndef FERROLT_CLI_STANDARD_STREAMS_H_
#define FERROLT_CLI_STANDARD_STREAMS_H_

// The program's own stdin, stdout and stderr.

#include <cstdio>
#include <string_view>

namespace ferrolt {

// Writes the UTF-8 `text` to `stream` as the user may see it: every control character but the
// tab and the line feed escaped, so that nothing in it can drive a terminal; then on a Windows
// console as characters, elsewhere as UTF-8 bytes. False when not all of it was written.
bool WriteShownText(std::FILE* stream, std::string_view text);

// Flushes stdout. False when anything written to it was lost (a full disk, a closed pipe, a
// console gone); the first time, one line on stderr tells so.
bool CheckStandardOutput();

}  // namespace ferrolt

#endif  // FERROLT_CLI_STANDARD_STREAMS_H_
