#include "app/window_choices.h"

#include <gtest/gtest.h>

namespace ferrolt {
namespace {

TEST(WindowChoicesTest, DialogSetShowCommandsAndChosenFolder) {
  // The large set only above 100 dpi; exactly 100 still reads the normal set.
  for (int dpi : {96, 100, 101, 144}) EXPECT_EQ(ChooseDialogSetOffset(dpi), dpi > 100 ? 10 : 0);
  // Maximized becomes show; normal, minimized without activation and others pass.
  for (int show : {3, 1, 7, 10}) EXPECT_EQ(ChooseStartShowCommand(show), show == 3 ? 5 : show);
  // Wine never puts the starter's show-maximized in place of the first command, so only this
  // decision is tested: a window that came out zoomed is restored, any other left alone.
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
