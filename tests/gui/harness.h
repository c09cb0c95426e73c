#ifndef FERROLT_TESTS_GUI_HARNESS_H_
#define FERROLT_TESTS_GUI_HARNESS_H_

// What the GUI driver needs to work Ferrolt.exe from outside: start and end it, wait for its
// windows, read them, photograph them, and count checks.

#include <windows.h>

#include <string>

namespace ferrolt::gui {

// Checks: each prints one line; the driver's exit code is the number of failures (capped).
bool Check(bool ok, const std::string& what);
bool CheckText(const std::string& actual, const std::string& expected, const std::string& what);
int CheckCount();
int FailureCount();

// UTF-8 (as typed in the tests) to the ANSI code page the program's windows speak.
std::string Ansi(const std::string& utf8);

struct Program {
  PROCESS_INFORMATION info = {};
  HWND main = nullptr;
};

// Starts `exe` and waits for its main window (class "Ferrolt"); false when none came.
bool StartProgram(const std::string& exe, Program* program);
// The exit code after the process ended within `timeout_ms`, or -1; ends a process still
// running after that and closes the handles.
int WaitForExit(Program* program, DWORD timeout_ms);

// Sleeps while this thread's windows go on answering.
void Pause(DWORD ms);

// Waits for `condition` to hold, keeping this thread's windows answering meanwhile.
template <typename Condition>
bool WaitFor(Condition condition, DWORD timeout_ms) {
  for (DWORD waited = 0; waited <= timeout_ms; waited += 20) {
    if (condition()) return true;
    Pause(20);
  }
  return false;
}

// A visible top-level "#32770" window of the process that has a child with `child_id`.
HWND FindDialogWithChild(DWORD process_id, int child_id);
HWND WaitForDialogWithChild(DWORD process_id, int child_id, DWORD timeout_ms = 20000);
bool WaitUntilGone(HWND window, DWORD timeout_ms = 5000);
// True when no message box of the process appears within `wait_ms`.
bool NoBoxWithin(DWORD process_id, DWORD wait_ms);
std::string WindowText(HWND window);
// The main window's choices, one character each: 1 ticked, 0 not, - greyed. In order: direct
// output, .eml, half-width kana, EUC-JP, deleted mail, the conversion group, Execute.
std::string Choices(HWND main);

// The window's screen area as a 32-bit .bmp file, and one of its pixels (blue, green, red).
std::string CaptureScreen(HWND window, int* width, int* height);
const unsigned char* Pixel(const std::string& bmp, int width, int x, int y);
// Saves the window as `name`.bmp in the shots folder (run.sh makes PNGs of them).
void Screenshot(HWND window, const std::string& folder, const std::string& name);

// Real runs through the window (run_cases.cpp); `root` is a fresh folder.
void RunConversionCases(const std::string& root, Program* program);
void RunCloseDuringRunCases(const std::string& exe, const std::string& root);

}  // namespace ferrolt::gui

#endif  // FERROLT_TESTS_GUI_HARNESS_H_
