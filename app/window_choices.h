#ifndef FERROLT_APP_WINDOW_CHOICES_H_
#define FERROLT_APP_WINDOW_CHOICES_H_

// The few decisions of the Windows front end that do not need Windows, kept apart so the unit
// tests check them on every platform.

#include <string>

namespace ferrolt {

// DialogSetOffset for a desktop of `logical_dpi` dots per inch: 10, the large-font set of
// templates, above 100; 0, the normal set, otherwise.
int ChooseDialogSetOffset(int logical_dpi);

// The main window has no maximize box, so a start asking for it (SW_SHOWMAXIMIZED, 3) shows the
// window plainly (SW_SHOW, 5); every other show command is used as given.
int ChooseStartShowCommand(int show_command);

// Windows shows a program's first window as its starter asked (a shortcut set to maximized does
// STARTF_USESHOWWINDOW with show-maximized), whatever command the program passes. The main
// window has no maximize box, so when the first show left it zoomed it is shown again restored
// (SW_RESTORE, 9); otherwise nothing more is done (0).
int ChooseShowAfterFirstShow(bool zoomed);

// The folder of a file chosen in the Open dialog: everything up to and including its last
// backslash, or nothing when there is none.
std::string FolderOfChosenFile(const std::string& path);

}  // namespace ferrolt

#endif  // FERROLT_APP_WINDOW_CHOICES_H_
