#include "app/window_choices.h"

#include <gtest/gtest.h>

namespace ferrolt {
namespace {

TEST(ChooseDialogSetOffsetTest, LargeSetOnlyAboveOneHundredDpi) {
  EXPECT_EQ(ChooseDialogSetOffset(96), 0);
  EXPECT_EQ(ChooseDialogSetOffset(100), 0);  // exactly 100 still reads the normal set
  EXPECT_EQ(ChooseDialogSetOffset(101), 10);
  EXPECT_EQ(ChooseDialogSetOffset(120), 10);
  EXPECT_EQ(ChooseDialogSetOffset(144), 10);
}

TEST(ChooseStartShowCommandTest, MaximizedBecomesShowOthersPass) {
  EXPECT_EQ(ChooseStartShowCommand(3), 5);
  EXPECT_EQ(ChooseStartShowCommand(1), 1);  // normal
  EXPECT_EQ(ChooseStartShowCommand(7), 7);  // minimized without activation
  EXPECT_EQ(ChooseStartShowCommand(10), 10);
}

// Wine never puts the starter's show-maximized in place of the program's first command, so only
// this decision can be tested: a window that came out zoomed is restored, any other left alone.
TEST(ChooseShowAfterFirstShowTest, ZoomedWindowIsRestoredOthersAreLeftAsShown) {
  EXPECT_EQ(ChooseShowAfterFirstShow(true), 9);
  EXPECT_EQ(ChooseShowAfterFirstShow(false), 0);
}

TEST(FolderOfChosenFileTest, CutsRightAfterTheLastBackslash) {
  EXPECT_EQ(FolderOfChosenFile("C:\\x\\Inbox.mbx"), "C:\\x\\");
  EXPECT_EQ(FolderOfChosenFile("C:\\a\\b\\c.mbx"), "C:\\a\\b\\");
  EXPECT_EQ(FolderOfChosenFile("C:\\Inbox.mbx"), "C:\\");
  EXPECT_EQ(FolderOfChosenFile("Inbox.mbx"), "");  // no folder part at all
  EXPECT_EQ(FolderOfChosenFile("C:\\folder\\"), "C:\\folder\\");
}

}  // namespace
}  // namespace ferrolt
