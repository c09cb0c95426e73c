#ifndef FERROLT_PLATFORM_WIN32_COMMAND_LINE_WIN32_H_
#define FERROLT_PLATFORM_WIN32_COMMAND_LINE_WIN32_H_

// One argument from UTF-16 to the code page the file functions use.

#include <windows.h>

#include <string>
#include <string_view>

namespace ferrolt {

// `wide` in `code_page`; false when a character of it has no place there (no look-alike is
// taken in its stead: "é" does not become "e").
bool WideToCodePage(std::wstring_view wide, UINT code_page, std::string* converted);

// `wide` in UTF-8, a lone surrogate as U+FFFD.
std::string WideToUtf8(std::wstring_view wide);

}  // namespace ferrolt

#endif  // FERROLT_PLATFORM_WIN32_COMMAND_LINE_WIN32_H_
