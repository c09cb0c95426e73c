// Ferrolt.exe: one window; a run works on a thread of its own. The command line is not read.

#include <windows.h>

#include "app/gui_notices.h"
#include "app/main_window.h"
#include "notices/catalogue.h"
#include "notices/notices.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
  using namespace ferrolt;
  // One instance only: a second start brings the first window back and ends.
  HWND running = FindWindowA(kMainWindowClass, nullptr);
  if (running != nullptr) {
    SetForegroundWindow(running);
    ShowWindow(running, SW_RESTORE);
    return 1;
  }
  InstallGuiNotices(instance);
  if (!RegisterMainWindowClass(instance)) {
    ShowMessage(kWindowClassFailed, kCaptionProgramError);
    return 0;
  }
  HWND main_window = CreateMainWindow(instance, show_command);
  if (main_window == nullptr) return 0;
  MSG message;
  BOOL got;
  while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
    if (!IsDialogMessageA(main_window, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  // The window's quit message tells whether a run was cut short by closing it: no normal end.
  return got == 0 ? static_cast<int>(message.wParam) : 1;
}
