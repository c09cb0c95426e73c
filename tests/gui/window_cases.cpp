// The GUI test driver, run under Wine by tests/gui/run.sh, one phase per start, because the
// registry and the screen density change between phases.
//   gui_driver.exe large|main FERROLT_EXE DATA_ROOT SHOTS_FOLDER
// This file holds the main window's own cases: start state, single instance, the About box, the
// dialog set chosen by density, Exit and closing.

#include <windows.h>

#include <cstdio>
#include <string>

#include "resources/resource_ids.h"
#include "tests/gui/harness.h"

namespace ferrolt::gui {
namespace {

// Dialog units to pixels as the dialog manager computes them for "Terminal" at `points`.
SIZE DialogUnitsToPixels(int points, int width, int height) {
  HDC screen = GetDC(nullptr);
  LOGFONTA font = {};
  font.lfHeight = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
  font.lfCharSet = DEFAULT_CHARSET;
  lstrcpyA(font.lfFaceName, "Terminal");
  HFONT handle = CreateFontIndirectA(&font);
  HGDIOBJ previous = SelectObject(screen, handle);
  TEXTMETRICA metrics;
  GetTextMetricsA(screen, &metrics);
  SIZE extent;
  GetTextExtentPoint32A(screen, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52,
                        &extent);
  SelectObject(screen, previous);
  DeleteObject(handle);
  ReleaseDC(nullptr, screen);
  return SIZE{MulDiv(width, (extent.cx / 26 + 1) / 2, 4), MulDiv(height, metrics.tmHeight, 8)};
}

// Which dialog set a window was made from, told by the pixel size of one of its controls; the
// two sets must differ there, or the check could not tell them apart.
void CheckDialogSet(HWND dialog, int control, int width, int height, int points,
                    const std::string& what) {
  RECT rect = {};
  GetWindowRect(GetDlgItem(dialog, control), &rect);
  SIZE expected = DialogUnitsToPixels(points, width, height);
  SIZE other = DialogUnitsToPixels(points == 10 ? 8 : 10, width, height);
  Check((expected.cx != other.cx || expected.cy != other.cy) &&
            rect.right - rect.left == expected.cx && rect.bottom - rect.top == expected.cy,
        what + " is laid out in the " + std::to_string(points) + "-point set");
}

HWND OpenAboutBox(const Program& program) {
  PostMessageA(program.main, WM_SYSCOMMAND, FERROLT_ABOUT_COMMAND, 0);
  return WaitForDialogWithChild(program.info.dwProcessId, FERROLT_WEB_ADDRESS, 5000);
}

// Without the target client installed, at 120 dpi: the start state, the large dialog set.
void RunLargeFontCases(const std::string& exe) {
  Program program;
  if (!Check(StartProgram(exe, &program), "starts at 120 dpi")) return;
  CheckText(Choices(program.main), "-1--0-0",
            "without the target client: .eml chosen, direct output and conversion greyed");
  CheckDialogSet(program.main, FERROLT_EXECUTE, 55, 15, 8, "main window (111) at 120 dpi");
  HWND about = OpenAboutBox(program);
  CheckDialogSet(about, FERROLT_WEB_ADDRESS, 185, 10, 8, "About box (113) at 120 dpi");
  PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
  Check(about != nullptr && WaitUntilGone(about), "OK closes the About box");
  PostMessageA(GetDlgItem(program.main, FERROLT_EXIT), BM_CLICK, 0, 0);
  Check(WaitForExit(&program, 10000) == 1, "Exit ends the program with exit code 1");
}

void RunMainCases(const std::string& exe, const std::string& root, const std::string& shots) {
  Program program;
  if (!Check(StartProgram(exe, &program), "starts")) return;
  HWND main = program.main;
  CheckText(Choices(main), "1010000", "at start: direct output, half-width kana, no deleted mail");
  CheckDialogSet(main, FERROLT_EXECUTE, 55, 15, 10, "main window (101) at 96 dpi");
  Screenshot(main, shots, "main-window");
  SendDlgItemMessageA(main, FERROLT_OUTPUT_EML, BM_CLICK, 0, 0);
  CheckText(Choices(main), "01--0-0", "choosing .eml greys the code conversion group");
  SendDlgItemMessageA(main, FERROLT_OUTPUT_DIRECT, BM_CLICK, 0, 0);
  CheckText(Choices(main), "1010000", "choosing direct output enables it again");

  // A second start brings the first window back, restored, and ends with 1.
  ShowWindow(main, SW_MINIMIZE);
  WaitFor([main] { return IsIconic(main) != 0; }, 2000);
  Program second;
  Check(!StartProgram(exe, &second) && WaitForExit(&second, 10000) == 1,
        "a second start opens no window and ends with exit code 1");
  Check(WaitFor([main] { return !IsIconic(main) && IsWindowVisible(main); }, 3000) &&
            FindWindowA("Ferrolt", nullptr) == main,
        "the second start restores the first window");

  HWND about = OpenAboutBox(program);
  Check(about != nullptr && GetWindow(about, GW_OWNER) == main,
        "About item opens the About box, owned by the main window");
  CheckText(WindowText(GetDlgItem(about, FERROLT_WEB_ADDRESS)), "https://ferrolt.example.jp/",
            "About box web address");
  PostMessageA(GetDlgItem(about, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
  Check(WaitUntilGone(about), "Escape closes the About box");

  RunConversionCases(root, &program);
  PostMessageA(program.main, WM_SYSCOMMAND, SC_CLOSE, 0);
  Check(WaitForExit(&program, 10000) == 1, "the system menu's Close ends with exit code 1");
  RunCloseDuringRunCases(exe, root);
}

}  // namespace
}  // namespace ferrolt::gui

int main(int argc, char** argv) {
  using namespace ferrolt::gui;
  std::string phase = argc == 5 ? argv[1] : "";
  if (phase == "large") {
    RunLargeFontCases(argv[2]);
  } else if (phase == "main") {
    RunMainCases(argv[2], argv[3], argv[4]);
  } else {
    std::fprintf(stderr, "usage: gui_driver large|main FERROLT_EXE DATA_ROOT SHOTS_FOLDER\n");
    return 101;
  }
  std::printf("phase %s: %d checks, %d failed\n", phase.c_str(), CheckCount(), FailureCount());
  return FailureCount() > 100 ? 100 : FailureCount();
}
