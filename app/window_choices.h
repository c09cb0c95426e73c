#ifndef FERROLT_APP_WINDOW_CHOICES_H_
#define FERROLT_APP_WINDOW_CHOICES_H_

// The few decisions of the Windows front end that do not need Windows, kept apart so the unit
// tests check them on every platform.

#include <string>

namespace ferrolt {

// DialogSetOffset for a desktop of `logical_dpi` dots per inch: the large-font set (templates
// 111/113/116) above 100, the normal set (101/103/106) otherwise.
int ChooseDialogSetOffset(int logical_dpi);

// The main window has no maximize box, so a start asking for it (SW_SHOWMAXIMIZED, 3) shows the
// window plainly (SW_SHOW, 5); every other show command is used as given.
int ChooseStartShowCommand(int show_command);

// The folder of a file chosen in the Open dialog: everything up to and including its last
// backslash, or nothing when there is none.
std::string FolderOfChosenFile(const std::string& path);

}  // namespace ferrolt

#endif  // FERROLT_APP_WINDOW_CHOICES_H_
