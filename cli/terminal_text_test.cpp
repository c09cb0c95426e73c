#include "cli/terminal_text.h"

#include <gtest/gtest.h>

#include <string>

namespace ferrolt {
namespace {

TEST(TerminalTextTest, ControlCharactersAreShownEscaped) {
  const struct {
    std::string text, shown;
  } kCases[] = {
      {"a\x1b]0;pwned\x07.mbx", "a\\x1b]0;pwned\\x07.mbx"},
      {"tab\there\r\n", "tab\\x09here\\x0d\\x0a"},
      {"del\x7f", "del\\x7f"},
      {"csi\xc2\x9b"
       "31m",
       "csi\\xc2\\x9b31m"},                                        // C1 control as UTF-8
      {"\xc2\xa0nbsp \xe5\x8f\x97", "\xc2\xa0nbsp \xe5\x8f\x97"},  // printable: kept
      {"broken \xc2 \xe5\x8f", "broken \xc2 \xe5\x8f"},            // lone bytes kept as they are
      {std::string("nul\0", 4), "nul\\x00"},
  };
  for (const auto& c : kCases) EXPECT_EQ(EscapeControls(c.text, false), c.shown) << c.text;
  EXPECT_EQ(EscapeControls("line\nnext\x1b", true), "line\nnext\\x1b");
}

TEST(TerminalTextTest, ShorteningNeverCutsAnEscapeOrAUtf8Character) {
  const struct {
    std::string text;
    size_t width;
    std::string shown;
  } kCases[] = {
      {"Inbox.mbx", 32, "Inbox.mbx"},
      {"abcdef", 4, "abcd"},
      {"ab\x1b", 4, "ab"},  // "\x1b" takes four places
      {"ab\x1b", 6, "ab\\x1b"},
      {"a\xe5\x8f\x97\xe4\xbf\xa1", 5, "a\xe5\x8f\x97"},  // 受 fits, 信 does not
      {"a\xe5\x8f\x97", 3, "a"},
      {"\xf0\x9f\x93\xa7x", 4, "\xf0\x9f\x93\xa7"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ShortenForTerminal(c.text, c.width), c.shown) << c.text << " " << c.width;
  }
}

}  // namespace
}  // namespace ferrolt
