#ifndef FERROLT_TESTS_GUI_HARNESS_H_
#define FERROLT_TESTS_GUI_HARNESS_H_

// What the GUI driver needs to work Ferrolt.exe from outside: start and end it, find its windows,
// read and answer its message boxes, fill its file dialogs, drop files on it, photograph it, and
// count checks.

#include <windows.h>

#include <string>
#include <vector>

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

// Starts `exe` with the given show command and waits for its main window (class "Ferrolt").
bool StartProgram(const std::string& exe, int show_command, Program* program);
// The exit code after the process ended within `timeout_ms`, or -1.
int WaitForExit(const PROCESS_INFORMATION& info, DWORD timeout_ms);
// Ends the process if it still runs and closes its handles.
void EndProcess(PROCESS_INFORMATION* info);

// A top-level window of this process standing in for another mail client's main window.
HWND OpenStandIn(const char* class_name, const char* title);

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
HWND WaitForDialogWithChild(DWORD process_id, int child_id, DWORD timeout_ms);
bool WaitUntilGone(HWND window, DWORD timeout_ms);
std::string WindowText(HWND window);

// How much of a progress bar is painted filled, 0 to 1, read off the screen as the user sees it.
double FilledFraction(HWND bar);

// A message box as the user sees it.
struct Box {
  HWND window = nullptr;
  std::string caption;  // ANSI
  std::string text;     // ANSI
  char icon = '?';      // 'E' error, 'W' warning, 'I' information, '-' none
};
bool WaitForBox(DWORD process_id, DWORD timeout_ms, Box* box);
void AnswerBox(const Box& box);
// True when no message box appears within `wait_ms`.
bool NoBoxWithin(DWORD process_id, DWORD wait_ms);

// The Open or Save dialog of the process: it has the file-name combo 0x47C and filter combo 0x470.
constexpr int kFileNameCombo = 0x47C;
constexpr int kFilterCombo = 0x470;
HWND WaitForFileDialog(DWORD process_id, DWORD timeout_ms);
HWND FileNameEdit(HWND dialog);
void ChooseInFileDialog(HWND dialog, const std::string& path);
void CancelFileDialog(HWND dialog);

// Puts a DROPFILES block for `paths` into the program's memory and posts WM_DROPFILES.
bool DropFiles(const Program& program, const std::vector<std::string>& paths);

// Saves the window's screen area as a .bmp in the shots folder (run.sh makes PNGs of them).
void SetShotsFolder(const std::string& folder);
void Screenshot(HWND window, const std::string& name);

// The phases that drive Ferrolt.exe through real runs (run_cases.cpp); `root` is a fresh folder.
void RunConversionCases(const std::string& root, Program* program);
void RunCloseDuringRunCases(const std::string& exe, const std::string& root);

}  // namespace ferrolt::gui

#endif  // FERROLT_TESTS_GUI_HARNESS_H_
