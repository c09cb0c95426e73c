// The command line's words and what it draws on the terminal.

#include "cli/cli_front_end.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/cli_texts.h"
#include "cli/imap_command.h"
#include "cli/options.h"
#include "cli/terminal_progress.h"
#include "cli/terminal_text.h"
#include "notices/catalogue.h"
#include "notices/notices.h"
#include "tests/support/captured_output.h"

namespace ferrolt {
namespace {

// The parse in one line: the command's number, flags (d: include deleted, e: prefer EUC,
// s: salvage, r: raw), prefix, target folder and sources; or "refused" with a usage error.
std::string Parsed(std::vector<std::string> words) {
  words.insert(words.begin(), "ferrolt-cli");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  CliOptions o;
  std::string error;
  if (!ParseCliOptions(static_cast<int>(argv.size()), argv.data(), &o, &error)) {
    return error.empty() ? "refused without an error" : "refused";
  }
  std::string line = std::to_string(static_cast<int>(o.command)) + " " +
                     (o.include_deleted ? "d" : "") + (o.prefer_euc ? "e" : "") +
                     (o.salvage ? "s" : "") + (o.raw ? "r" : "") + " " + o.export_prefix + " " +
                     o.target_folder;
  for (const std::string& source : o.sources) line += " [" + source + "]";
  return line;
}

TEST(CliOptionsTest, EachCommandTakesOnlyItsOptionsAndHelpOnlyWhereAnOptionStands) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> kCases = {
      {{"eml", "--include-deleted", "--prefix", "o/x", "a", "b.MBX"}, "1 d o/x  [a] [b.MBX]"},
      {{"eml", "s", "-"}, "1  ./exp  [s] [-]"},
      {{"import", "--prefer-euc", "--salvage", "--to", "dir", "store"}, "2 es ./exp dir [store]"},
      {{"list", "--", "-odd.mbx"}, "3  ./exp  [-odd.mbx]"},
      {{"list", "--raw", "--prefer-euc", "a.mbx"}, "3 er ./exp  [a.mbx]"},
      {{"mbox", "--to", "out", "--include-deleted", "s"}, "4 d ./exp out [s]"},
      {{"maildir", "s", "--to", "out"}, "5  ./exp out [s]"},
      {{"imap", "--ca-file", "--help", "--to", "imaps://u@h", "s"},
       ImapCommandAvailable() ? "6  ./exp imaps://u@h [s]" : "refused"},
      {{"imap", "x"}, "refused"},
      {{"imap", "--ca-file"}, "refused"},
      {{"imap", "--prefix", "p", "--to", "imaps://u@h", "x"}, "refused"},
      {{"eml", "--prefix", "-h", "s"}, "1  -h  [s]"},
      {{"eml", "--", "--help"}, "1  ./exp  [--help]"},
      {{"import", "--to", "--help", "s"}, "2  ./exp --help [s]"},
      {{"-h"}, "0  ./exp "},
      {{"list", "--include-deleted", "--help"}, "0  ./exp "},  // help wins over a usage error
      {{}, "refused"},
      {{"convert", "x"}, "refused"},
      {{"eml"}, "refused"},
      {{"eml", "--to", "d", "x"}, "refused"},
      {{"eml", "--prefer-euc", "x"}, "refused"},
      {{"eml", "--prefix"}, "refused"},
      {{"eml", "--prefix", "", "x"}, "refused"},
      {{"eml", "--raw", "x"}, "refused"},
      {{"import", "x"}, "refused"},
      {{"import", "--to"}, "refused"},
      {{"list", "a.mbx", "b.mbx"}, "refused"},
      {{"list", "--include-deleted", "a.mbx"}, "refused"},
      {{"maildir", "--prefix", "p", "--to", "d", "x"}, "refused"},
  };
  for (const auto& [words, expected] : kCases) {
    SCOPED_TRACE(::testing::PrintToString(words));
    EXPECT_EQ(Parsed(words), expected);
  }
}

// Both help texts show the same command lines, so neither language misses an option. (Which
// language is spoken, and its notices, is checked end to end.)
TEST(CliTextsTest, BothHelpTextsListTheSameCommandsAndOptions) {
  UseJapaneseTexts(true);
  std::string japanese = UsageText();
  std::istringstream english(kUsage);
  int checked = 0;
  for (std::string line; std::getline(english, line);) {
    bool synopsis = line.rfind("  ferrolt-cli ", 0) == 0;
    if (!synopsis && line.rfind("  --", 0) != 0) continue;
    std::string key = synopsis ? line : line.substr(0, line.find("  ", 2));
    EXPECT_NE(japanese.find(key), std::string::npos) << key;
    ++checked;
  }
  EXPECT_EQ(checked, 10);
}

// Shortening to any width shows the text escaped as far as it fits: never half an escape or half
// a UTF-8 character. Past every width it is the escaped text itself.
TEST(TerminalTextTest, ControlsAreShownEscapedAndShorteningCutsNoEscapeOrCharacter) {
  const std::tuple<std::string, size_t, std::string> kCases[] = {
      {"a\x1b]0;pwned\x07.mbx", 99, "a\\x1b]0;pwned\\x07.mbx"},
      {"tab\there\r\n", 99, "tab\\x09here\\x0d\\x0a"},
      {"del\x7f", 99, "del\\x7f"},
      {"csi\xc2\x9b", 99, "csi\\u009b"},  // C1 control as UTF-8
      {"\xe2\x80\xaegpj.exe \xe2\x81\xa6\xe2\x81\xa9\xe2\x80\xa9", 99,
       "\\u202egpj.exe \\u2066\\u2069\xe2\x80\xa9"},   // overrides, isolates; not U+2029
      {"\xc0\x9b\xe0\x80\x9b", 99, "\\u001b\\u001b"},  // overlong ESC
      {"\xc2\xa0nbsp \xe5\x8f\x97", 99, "\xc2\xa0nbsp \xe5\x8f\x97"},  // printable: kept
      {"broken \xc2 \xe5\x8f", 99, "broken \xc2 \xe5\x8f"},            // lone bytes kept
      {std::string("nul\0", 4), 99, "nul\\x00"},
      {"abcdef", 4, "abcd"},
      {"ab\x1b", 4, "ab"},  // "\x1b" takes four places
      {"ab\x1b", 6, "ab\\x1b"},
      {"a\xe5\x8f\x97\xe4\xbf\xa1", 5, "a\xe5\x8f\x97"},  // 受 fits, 信 does not
      {"\xf0\x9f\x93\xa7x", 4, "\xf0\x9f\x93\xa7"},
  };
  for (const auto& [text, width, shown] : kCases) {
    SCOPED_TRACE(text + " " + std::to_string(width));
    EXPECT_EQ(ShortenForTerminal(text, width), shown);
    EXPECT_EQ(EscapeControls(text, false), ShortenForTerminal(text, 99));
    EXPECT_EQ(EscapeForTerminal(text), ShortenForTerminal(text, 99));
  }
  EXPECT_EQ(EscapeControls("line\nnext\x1b", true), "line\nnext\\x1b");
}

// One drawing of the bar: the label padded to 32 columns, 30 cells, the count, erase to the end.
std::string Bar(const std::string& label, int filled, const std::string& count) {
  return "\r" + label + std::string(32 - label.size(), ' ') + " [" + std::string(filled, '#') +
         std::string(30 - filled, '.') + "] " + count + "\x1b[K";
}

// The front end's bar and its failures share stderr: a failure clears the bar's line first, and
// so does the end of the run. (Without a bar, a notice stands alone: checked end to end.)
TEST(TerminalProgressTest, RedrawsWhenTheBarMovesAndClearsItsLineForAFailureAndAtTheEnd) {
  ::testing::internal::CaptureStderr();
  CliFrontEnd front_end("out", "x", true);
  TerminalProgress& progress = *front_end.terminal();
  ConsoleNotices notices;
  notices.progress = &progress;
  Notice failure;
  failure.text = "CreateFile(Source)\nout/a\x1b]0;x\x07.mbx";
  front_end.CloseProgress();  // nothing drawn yet: nothing to clear
  progress.SetLabel("Box\x1b");
  progress.SetRange(200);
  progress.SetStep(1);
  progress.SetPosition(0);
  progress.StepIt();  // still 0 %: not drawn again
  progress.StepIt();
  notices.Show(failure);
  progress.SetPosition(100);
  progress.SetPosition(250);  // past the end shows the end
  front_end.CloseProgress();
  front_end.CloseProgress();
  progress.SetLabel("Empty");
  progress.SetRange(0);  // nothing to read is all done
  EXPECT_EQ(
      ::testing::internal::GetCapturedStderr(),
      Bar("Box\\x1b", 0, "0/200") + Bar("Box\\x1b", 0, "0/200") + Bar("Box\\x1b", 0, "2/200") +
          "\r\x1b[KCreateFile(Source)\nout/a\\x1b]0;x\\x07.mbx\n" + Bar("Box\\x1b", 15, "100/200") +
          Bar("Box\\x1b", 30, "200/200") + "\r\x1b[K" + Bar("Empty", 30, "0/0"));
}

// A path in a notice is escaped whole: a line feed in a folder's name cannot forge a line of
// its own; the notice's own lines stay lines.
TEST(ConsoleNoticesTest, APathInANoticeIsEscapedLineFeedsAndAll) {
  ConsoleNotices notices;
  SetNoticeOutput(&notices);
  std::string shown = ferrolt::testing::CapturedOutput([&](std::FILE* out) {
    notices.failures = out;
    ShowMessagePath(kOutputExists, kCaptionProgramError, "out/a\nferrolt-cli: done\x1b");
  });
  SetNoticeOutput(nullptr);
  EXPECT_NE(shown.find("out/a\\x0aferrolt-cli: done\\x1b\n"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("\nferrolt-cli"), std::string::npos) << shown;
}

}  // namespace
}  // namespace ferrolt
