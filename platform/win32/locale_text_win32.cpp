// Language and code page 932 on Windows.

#include <windows.h>

#include "platform/locale_text.h"

namespace ferrolt {

bool UserReadsJapanese() { return GetACP() == 932; }

std::string Cp932ToUtf8(std::string_view text) {
  if (text.empty()) return {};
  int length = static_cast<int>(text.size());
  // Without MB_ERR_INVALID_CHARS an invalid byte becomes U+FFFD (or the default character).
  int wide_length = MultiByteToWideChar(932, 0, text.data(), length, nullptr, 0);
  if (wide_length <= 0) return std::string(text);
  std::wstring wide(static_cast<size_t>(wide_length), L'\0');
  MultiByteToWideChar(932, 0, text.data(), length, wide.data(), wide_length);
  int bytes =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string(text);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

}  // namespace ferrolt
