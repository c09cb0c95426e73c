#ifndef FERROLT_PLATFORM_WIN32_CONSOLE_OUTPUT_H_
#define FERROLT_PLATFORM_WIN32_CONSOLE_OUTPUT_H_

// Text to a standard stream through the two console calls it depends on, so that a test can
// stand in for the console.

#include <windows.h>

#include <cstdio>
#include <string_view>

namespace ferrolt {

struct ConsoleCalls {
  BOOL(WINAPI* get_mode)(HANDLE console, LPDWORD mode);
  BOOL(WINAPI* write)
  (HANDLE console, const VOID* text, DWORD count, LPDWORD written, LPVOID reserved);
};

// GetConsoleMode and WriteConsoleW.
extern const ConsoleCalls kSystemConsole;

// At most this many bytes of UTF-8 are converted and written at a time.
constexpr size_t kConsoleChunkBytes = 4096;

// The console behind `stream`, or nullptr when it is a file, a pipe, a device or closed.
HANDLE ConsoleOf(const ConsoleCalls& calls, std::FILE* stream);

// WriteStreamText with `calls` standing for the console.
bool WriteStreamTextThrough(const ConsoleCalls& calls, std::FILE* stream, std::string_view text);

}  // namespace ferrolt

#endif  // FERROLT_PLATFORM_WIN32_CONSOLE_OUTPUT_H_
