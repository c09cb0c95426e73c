#ifndef FERROLT_PLATFORM_TERMINAL_H_
#define FERROLT_PLATFORM_TERMINAL_H_

// Whether a standard stream goes to a terminal, asked the way each system asks it, and how text
// reaches it.

#include <cstdio>
#include <string_view>

namespace ferrolt {

// Opens the null device on each of descriptors 0 to 2 that is closed. Called first thing: a
// file the program opens must never become stdout or stderr and receive its text. Nothing to do
// on Windows, where a new handle never takes a standard stream's place.
void ReserveStandardDescriptors();

// True when `stream` is connected to a terminal (a console on Windows).
bool IsTerminal(std::FILE* stream);

// Writes the UTF-8 `text` to `stream`. A Windows console gets it through the console's own
// character API, so it shows every character it has a glyph for whatever its code page; a file
// or a pipe, and every stream on other systems, get the UTF-8 bytes. Bytes that are not UTF-8
// reach a console as U+FFFD. The text is written as given: control characters are the caller's
// to escape. False when not all of it was written.
bool WriteStreamText(std::FILE* stream, std::string_view text);

}  // namespace ferrolt

#endif  // FERROLT_PLATFORM_TERMINAL_H_
