// The C runtime builds argv from the ANSI command line, where a character the ANSI code page
// lacks has already become '?' or a look-alike ("é" as "e"): a path that names another file, or
// none. The arguments are read again as UTF-16 and each is converted here, strictly, so that
// such an argument is refused by name instead.

#include "platform/win32/command_line_win32.h"

#include "platform/command_line.h"

namespace ferrolt {
namespace {

// The C runtime's own wide parse of the command line, by the same rules that made argv. Asked of
// msvcrt rather than through CommandLineToArgvW: shell32 brings user32 with it, and a console
// program that loads user32 no longer hears of log-off and shutdown. The runtime keeps the
// memory.
struct RuntimeStartupInfo {
  int new_mode;
};
extern "C" int __cdecl __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env,
                                      int expand_wildcards, RuntimeStartupInfo* startup);

// The flags that refuse look-alikes are refused in turn by UTF-8 (a system whose ANSI code page
// is UTF-8 holds every character anyway).
bool ConvertsStrictly(UINT code_page) { return code_page != CP_UTF8 && code_page != CP_UTF7; }

bool ConvertArguments(wchar_t** wide, int count, std::vector<std::string>* arguments,
                      std::string* unfit) {
  arguments->assign(static_cast<size_t>(count), std::string());
  for (int i = 0; i < count; ++i) {
    // The program's own path is never opened: an unusual one must not stop it.
    if (!WideToCodePage(wide[i], CP_ACP, &(*arguments)[i]) && i > 0) {
      *unfit = WideToUtf8(wide[i]);
      return false;
    }
  }
  return true;
}

}  // namespace

bool WideToCodePage(std::wstring_view wide, UINT code_page, std::string* converted) {
  converted->clear();
  if (wide.empty()) return true;
  if (code_page == CP_ACP) code_page = GetACP();
  DWORD flags = ConvertsStrictly(code_page) ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL defaulted = FALSE;
  BOOL* defaulted_at = ConvertsStrictly(code_page) ? &defaulted : nullptr;
  int length = static_cast<int>(wide.size());
  int bytes =
      WideCharToMultiByte(code_page, flags, wide.data(), length, nullptr, 0, nullptr, defaulted_at);
  if (bytes <= 0 || defaulted) return false;
  converted->resize(static_cast<size_t>(bytes));
  WideCharToMultiByte(code_page, flags, wide.data(), length, converted->data(), bytes, nullptr,
                      nullptr);
  return true;
}

std::string WideToUtf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  int length = static_cast<int>(wide.size());
  int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return "?";
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

bool ReadProgramArguments(int argc, char** argv, std::vector<std::string>* arguments,
                          std::string* unfit) {
  int count = 0;
  wchar_t** wide = nullptr;
  wchar_t** environment = nullptr;
  RuntimeStartupInfo startup{0};
  if (__wgetmainargs(&count, &wide, &environment, 0, &startup) < 0 || wide == nullptr) {
    arguments->assign(argv, argv + argc);  // the runtime's arguments are better than none
    return true;
  }
  return ConvertArguments(wide, count, arguments, unfit);
}

}  // namespace ferrolt
