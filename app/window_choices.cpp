#include "app/window_choices.h"

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

std::string FolderOfChosenFile(const std::string& path) {
  size_t last_backslash = path.rfind('\\');
  if (last_backslash == std::string::npos) return std::string();
  return path.substr(0, last_backslash + 1);
}

}  // namespace ferrolt
