#ifndef FERROLT_APP_MAIN_WINDOW_H_
#define FERROLT_APP_MAIN_WINDOW_H_

// The main window: a modeless dialog of the program's own class "Ferrolt", whose window
// procedure turns the user's choices into runs.

#include <windows.h>

namespace ferrolt {

constexpr char kMainWindowClass[] = "Ferrolt";

// Registers the class "Ferrolt" with the icon 102 and room for a dialog's window bytes.
bool RegisterMainWindowClass(HINSTANCE instance);

// Chooses DialogSetOffset from the desktop's density, creates the main window from template
// 101 or 111, edits its system menu, sets the first choices and shows it. Shows message 33 and
// returns nullptr when the window cannot be made.
HWND CreateMainWindow(HINSTANCE instance, int show_command);

// 0 for the normal dialog set, 10 for the large-font set; fixed when the main window is made.
int DialogSetOffset();

// True when the window was closed during a run, which then stopped before its next message.
bool ClosedDuringRun();

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace ferrolt

#endif  // FERROLT_APP_MAIN_WINDOW_H_
