#include "app/window_choices.h"

#include "platform/files.h"
#include "resources/resource_ids.h"

namespace ferrolt {

int ChooseDialogSetOffset(int logical_dpi) {
  return logical_dpi > 100 ? FERROLT_LARGE_SET_OFFSET : 0;
}

int ChooseStartShowCommand(int show_command) {
  constexpr int kShowMaximized = 3;
  constexpr int kShow = 5;
  return show_command == kShowMaximized ? kShow : show_command;
}

int ChooseShowAfterFirstShow(bool zoomed) {
  constexpr int kRestore = 9;
  return zoomed ? kRestore : 0;
}

// The cut is made double-byte-aware: in Shift_JIS a kanji's second byte can be a backslash.
std::string FolderOfChosenFile(const std::string& path) {
  return path.substr(0, LastComponentStart(path));
}

}  // namespace ferrolt
