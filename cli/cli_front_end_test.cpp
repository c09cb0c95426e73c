#include "cli/cli_front_end.h"

#include <gtest/gtest.h>

#include <string>

#include "cli/terminal_progress.h"
#include "tests/support/captured_output.h"

namespace ferrolt {
namespace {

using testing::CapturedOutput;

// One terminal: the bar and the notices share it, as stderr does. (Without a bar, a notice
// stands alone: checked end to end.)
TEST(ConsoleNoticesTest, AFailureClearsTheBarAndShowsControlsEscaped) {
  std::string shown = CapturedOutput([](std::FILE* terminal) {
    TerminalProgress bar(terminal);
    ConsoleNotices notices;
    notices.progress = &bar;
    notices.failures = terminal;
    bar.SetLabel("a\x1b]0;pwned\x07.mbx");
    bar.SetRange(4);
    bar.StepIt();
    Notice notice;
    notice.text = "CreateFile(Source)\nout/a\x1b]0;pwned\x07.mbx";
    notices.Show(notice);
    bar.Finish();  // nothing left to clear
  });
  size_t bar_end = shown.find("1/4\x1b[K");
  ASSERT_NE(bar_end, std::string::npos) << shown;
  EXPECT_EQ(shown.substr(bar_end + 6), "\r\x1b[KCreateFile(Source)\nout/a\\x1b]0;pwned\\x07.mbx\n");
  EXPECT_EQ(shown.find("a\\x1b]0;pwned\\x07.mbx "), 1u) << "the label is escaped";
}

}  // namespace
}  // namespace ferrolt
