#include "app/window_choices.h"

#include <gtest/gtest.h>

#include <string>

namespace ferrolt {
namespace {

// Each row is a situation a user meets and the outcome Windows must see, written out as numbers
// (the show commands as <windows.h> numbers them), not as the rule that produces them.
TEST(WindowChoicesTest, DialogSetShowCommandsAndChosenFolder) {
  const int kDialogSets[][2] = {{96, 0}, {100, 0}, {101, 10}, {120, 10}, {144, 10}};
  for (const auto& [dpi, offset] : kDialogSets) {
    EXPECT_EQ(ChooseDialogSetOffset(dpi), offset) << dpi;
  }
  // SW_SHOWMAXIMIZED 3 -> SW_SHOW 5; SW_SHOWNORMAL 1, SW_SHOWMINNOACTIVE 7, SW_SHOWDEFAULT 10 kept.
  const int kStartShows[][2] = {{3, 5}, {1, 1}, {7, 7}, {10, 10}};
  for (const auto& [asked, shown] : kStartShows) {
    EXPECT_EQ(ChooseStartShowCommand(asked), shown) << asked;
  }
  // Wine never puts the starter's show-maximized in place of the first command, so only this
  // decision is tested: a window that came out zoomed is restored (SW_RESTORE 9), any other left.
  EXPECT_EQ(ChooseShowAfterFirstShow(true), 9);
  EXPECT_EQ(ChooseShowAfterFirstShow(false), 0);
  const char* const kFolders[][2] = {{"C:\\a\\b\\c.mbx", "C:\\a\\b\\"},
                                     {"C:\\Inbox.mbx", "C:\\"},
                                     {"Inbox.mbx", ""},
                                     {"C:\\folder\\", "C:\\folder\\"}};
  for (const auto& [path, folder] : kFolders) EXPECT_EQ(FolderOfChosenFile(path), folder) << path;
}

}  // namespace
}  // namespace ferrolt
