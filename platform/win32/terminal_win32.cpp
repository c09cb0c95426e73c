// A console is told from a file, a pipe or the NUL device by whether it has a console mode:
// _isatty says yes to any character device, NUL included.

#include <io.h>

#include "platform/terminal.h"
#include "platform/win32/console_output.h"

namespace ferrolt {
namespace {

// The length of the longest prefix of `text`, at most `limit` bytes, that does not end inside a
// UTF-8 character, so that no character is cut in two between conversions. A run of stray
// continuation bytes longer than a character is cut anywhere: it is not UTF-8 either way.
size_t WholeCharactersWithin(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t cut = limit;
  while (cut > limit - 3 && (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80) --cut;
  return (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80 ? limit : cut;
}

// Writes all `count` characters; the console may take fewer than asked at a time.
bool WriteAll(const ConsoleCalls& calls, HANDLE console, const wchar_t* wide, DWORD count) {
  while (count > 0) {
    DWORD written = 0;
    if (!calls.write(console, wide, count, &written, nullptr) || written == 0) return false;
    if (written > count) written = count;
    wide += written;
    count -= written;
  }
  return true;
}

bool WriteToConsole(const ConsoleCalls& calls, HANDLE console, std::string_view text) {
  // A UTF-8 byte gives at most one UTF-16 unit (four bytes give two).
  wchar_t wide[kConsoleChunkBytes];
  while (!text.empty()) {
    size_t take = WholeCharactersWithin(text, kConsoleChunkBytes);
    // Without MB_ERR_INVALID_CHARS each invalid sequence becomes U+FFFD.
    int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(take), wide,
                                    static_cast<int>(kConsoleChunkBytes));
    if (count <= 0 || !WriteAll(calls, console, wide, static_cast<DWORD>(count))) return false;
    text.remove_prefix(take);
  }
  return true;
}

}  // namespace

void ReserveStandardDescriptors() {}

const ConsoleCalls kSystemConsole = {GetConsoleMode, WriteConsoleW};

HANDLE ConsoleOf(const ConsoleCalls& calls, std::FILE* stream) {
  int descriptor = _fileno(stream);
  if (descriptor < 0) return nullptr;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return nullptr;
  return calls.get_mode(handle, &mode) ? handle : nullptr;
}

bool WriteStreamTextThrough(const ConsoleCalls& calls, std::FILE* stream, std::string_view text) {
  HANDLE console = ConsoleOf(calls, stream);
  if (console == nullptr) {
    size_t written = std::fwrite(text.data(), 1, text.size(), stream);
    return written == text.size() && std::ferror(stream) == 0;
  }
  // What the C runtime still holds for this stream comes first.
  if (std::fflush(stream) != 0) return false;
  return WriteToConsole(calls, console, text);
}

bool IsTerminal(std::FILE* stream) { return ConsoleOf(kSystemConsole, stream) != nullptr; }

bool WriteStreamText(std::FILE* stream, std::string_view text) {
  return WriteStreamTextThrough(kSystemConsole, stream, text);
}

}  // namespace ferrolt
