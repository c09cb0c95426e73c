#ifndef FERROLT_APP_MAIN_WINDOW_H_
#define FERROLT_APP_MAIN_WINDOW_H_

// The main window: a modeless dialog of the program's own class "Ferrolt", whose window
// procedure turns the user's choices into runs.

#include <windows.h>

namespace ferrolt {

constexpr char kMainWindowClass[] = "Ferrolt";

// Registers the class "Ferrolt" with the icon FERROLT_ICON and room for a dialog's window bytes.
bool RegisterMainWindowClass(HINSTANCE instance);

// Chooses DialogSetOffset from the desktop's density, creates the main window from template
// FERROLT_MAIN_TEMPLATE + DialogSetOffset, edits its system menu, sets the first choices and
// shows it. Shows kWindowFailed and returns nullptr when the window cannot be made. The window
// keeps its state itself and lets it go when destroyed; its quit message carries the program's exit
// code: 0 when it was closed during a run, which then stopped before its next message, 1 otherwise.
HWND CreateMainWindow(HINSTANCE instance, int show_command);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace ferrolt

#endif  // FERROLT_APP_MAIN_WINDOW_H_
