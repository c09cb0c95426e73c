#ifndef FERROLT_PLATFORM_LOCALE_TEXT_H_
#define FERROLT_PLATFORM_LOCALE_TEXT_H_

// The user's language and the system's own Shift_JIS (code page 932) to UTF-8 conversion.

#include <string>
#include <string_view>

namespace ferrolt {

// True when the user reads Japanese: on POSIX the first of LC_ALL, LC_MESSAGES and LANG that is
// set begins with "ja"; on Windows the ANSI code page is 932.
bool UserReadsJapanese();

// Code page 932 text as UTF-8, through iconv or MultiByteToWideChar. A byte that is not valid
// becomes U+FFFD; the rest of the text is still converted.
std::string Cp932ToUtf8(std::string_view text);

}  // namespace ferrolt

#endif  // FERROLT_PLATFORM_LOCALE_TEXT_H_
