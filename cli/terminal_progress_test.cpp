#include "cli/terminal_progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/captured_output.h"

namespace ferrolt {
namespace {

// One drawing of the bar: the label padded to 32 columns, 30 cells, the count, erase to the end.
std::string Bar(const std::string& label, int filled, const std::string& count) {
  return "\r" + label + std::string(32 - label.size(), ' ') + " [" + std::string(filled, '#') +
         std::string(30 - filled, '.') + "] " + count + "\x1b[K";
}

TEST(TerminalProgressTest, RedrawsWhenTheBarMovesAndClearsItsLineAtTheEnd) {
  std::string written = testing::CapturedOutput([](std::FILE* file) {
    TerminalProgress progress(file);
    progress.Finish();  // nothing drawn yet: nothing to clear
    progress.SetLabel("Box");
    progress.SetRange(200);
    progress.SetStep(1);
    progress.SetPosition(0);
    progress.StepIt();  // still 0 %: not drawn again
    progress.StepIt();
    progress.SetPosition(100);
    progress.SetPosition(250);  // past the end shows the end
    progress.Finish();
    progress.Finish();
    progress.SetLabel("Empty");
    progress.SetRange(0);  // nothing to read is all done
  });
  std::string expected = Bar("Box", 0, "0/200") + Bar("Box", 0, "0/200") + Bar("Box", 0, "2/200") +
                         Bar("Box", 15, "100/200") + Bar("Box", 30, "200/200") + "\r\x1b[K" +
                         Bar("Empty", 30, "0/0");
  EXPECT_EQ(written, expected);
}

}  // namespace
}  // namespace ferrolt
