// The console or not decision and the console's side of it, through stand-ins for
// GetConsoleMode and WriteConsoleW; and the strict conversion of arguments to the ANSI code page.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/command_line_win32.h"
#include "platform/win32/console_output.h"

namespace ferrolt {
namespace {

// What the stand-in console is and received.
bool is_console = true;
DWORD accepts_at_most = 1u << 30;  // a console may take less than asked
std::wstring shown;
std::vector<DWORD> asked;

BOOL WINAPI FakeGetMode(HANDLE, LPDWORD mode) {
  *mode = 3;
  return is_console ? TRUE : FALSE;
}

BOOL WINAPI FakeWrite(HANDLE, const VOID* text, DWORD count, LPDWORD written, LPVOID) {
  asked.push_back(count);
  *written = count < accepts_at_most ? count : accepts_at_most;
  shown.append(static_cast<const wchar_t*>(text), *written);
  return *written > 0;
}

const ConsoleCalls kFakeConsole = {FakeGetMode, FakeWrite};

struct Written {
  bool ok;
  std::wstring on_console;
  std::string in_file;
};

Written WriteThroughFake(const std::string& text, bool console, DWORD accepts = 1u << 30) {
  is_console = console;
  accepts_at_most = accepts;
  shown.clear();
  asked.clear();
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return {false, L"no temporary file", ""};
  Written result{WriteStreamTextThrough(kFakeConsole, file, text), shown, ""};
  std::rewind(file);
  char buffer[256];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    result.in_file.append(buffer, n);
  std::fclose(file);
  return result;
}

// A console gets characters (invalid UTF-8 as U+FFFD, the rest intact), a file the very bytes.
TEST(ConsoleOutputTest, AConsoleGetsCharactersAndAFileGetsTheBytes) {
  const struct {
    std::string text;
    std::wstring characters;
  } kCases[] = {
      {"1\t-R\t\xe5\xae\x9a\xe4\xbe\x8b\xe4\xbc\x9a\xe8\xad\xb0\n",
       L"1\t-R\t\u5b9a\u4f8b\u4f1a\u8b70\n"},
      {"\xf0\x9f\x93\xac mail", L"\U0001F4EC mail"},  // beyond the BMP: a surrogate pair
      {"a\xff"
       "b",
       L"a\ufffd"
       "b"},
      {"cut \xe5\xae", L"cut \ufffd"},
      {"", L""},
  };
  for (const auto& [text, characters] : kCases) {
    SCOPED_TRACE(text);
    Written console = WriteThroughFake(text, true);
    EXPECT_TRUE(console.ok);
    EXPECT_EQ(console.on_console, characters);
    EXPECT_EQ(console.in_file, "");
    Written file = WriteThroughFake(text, false);
    EXPECT_TRUE(file.ok);
    EXPECT_EQ(file.on_console, L"");
    EXPECT_EQ(file.in_file, text);
  }
}

// Long text goes in bounded pieces cut between characters, whatever the console takes at a time;
// a console that takes nothing ends the write instead of looping.
TEST(ConsoleOutputTest, LongTextGoesInBoundedPiecesAndAStuckConsoleEndsTheWrite) {
  std::string text = "x";
  std::wstring characters = L"x";
  for (int i = 0; i < 3000; ++i) {
    text += "\xe5\xae\x9a\xf0\x9f\x93\xac";
    characters += L"\u5b9a\U0001F4EC";
  }
  for (DWORD accepts : {DWORD{1u << 30}, DWORD{1000}, DWORD{1}}) {
    SCOPED_TRACE(accepts);
    Written console = WriteThroughFake(text, true, accepts);
    EXPECT_TRUE(console.ok);
    EXPECT_EQ(console.on_console, characters);
    for (DWORD count : asked) EXPECT_LE(count, kConsoleChunkBytes);
  }
  EXPECT_FALSE(WriteThroughFake(text, true, 0).ok);
  EXPECT_EQ(asked.size(), 1u);
}

// Names with a character the code page lacks are refused, look-alikes included; Japanese ones
// that code page 932 holds pass as its bytes.
TEST(CommandLineTest, ArgumentsConvertStrictlyToTheCodePage) {
  const struct {
    std::wstring wide;
    bool fits;
    std::string converted;
  } kCases[] = {
      {L"C:\\Mail\\\u53d7\u4fe1\u30c8\u30ec\u30a4.mbx", true,
       "C:\\Mail\\\x8e\xf3\x90M\x83g\x83\x8c\x83"
       "C.mbx"},
      {L"list", true, "list"},
      {L"", true, ""},
      {L"\ubc1b\uc740\ud3b8\uc9c0\ud568.mbx", false, ""},  // Hangul
      {L"\U0001F4EC.mbx", false, ""},                      // an emoji
      {L"caf\u00e9.mbx", false, ""},                       // not as "cafe.mbx"
      {L"a\xd800"
       L"b",
       false, ""},  // a lone surrogate
  };
  for (const auto& [wide, fits, converted] : kCases) {
    SCOPED_TRACE(WideToUtf8(wide));
    std::string ansi = "left over";
    EXPECT_EQ(WideToCodePage(wide, 932, &ansi), fits);
    if (fits) {
      EXPECT_EQ(ansi, converted);
    }
  }
  EXPECT_EQ(WideToUtf8(L"\ubc1b.mbx"), "\xeb\xb0\x9b.mbx");
}

}  // namespace
}  // namespace ferrolt
