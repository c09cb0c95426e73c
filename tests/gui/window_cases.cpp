// The GUI test driver, run under Wine by tests/gui/run.sh, one phase per start, because the
// registry and the screen density change between phases.
//   gui_driver.exe PHASE FERROLT_EXE DATA_ROOT SHOTS_FOLDER
// This file holds the main window's own cases: start state, single instance, the About box, the
// dialog set chosen by density, the system menu and class, Exit and closing.

#include <windows.h>

#include <cstdio>
#include <string>

#include "app/main_window.h"
#include "resources/resource_ids.h"
#include "tests/gui/harness.h"

namespace ferrolt::gui {
namespace {

std::string shots;  // the folder for pictures

bool IsOn(HWND main, int id) {
  return SendDlgItemMessageA(main, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
bool IsEnabled(HWND main, int id) { return IsWindowEnabled(GetDlgItem(main, id)) != 0; }

bool ConversionChoicesEnabled(HWND main, bool enabled) {
  return IsEnabled(main, FERROLT_CONVERSION_GROUP) == enabled &&
         IsEnabled(main, FERROLT_PREFER_HALF_KANA) == enabled &&
         IsEnabled(main, FERROLT_PREFER_EUC) == enabled;
}

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
  int base_x = (extent.cx / 26 + 1) / 2;
  return SIZE{MulDiv(width, base_x, 4), MulDiv(height, metrics.tmHeight, 8)};
}

// Which dialog set a window was made from, told by the pixel size of one of its controls; the
// two sets must differ there, or the check could not tell them apart.
void CheckDialogSet(HWND dialog, int control, int width, int height, int points,
                    const std::string& what) {
  RECT rect;
  GetWindowRect(GetDlgItem(dialog, control), &rect);
  SIZE actual = {rect.right - rect.left, rect.bottom - rect.top};
  SIZE expected = DialogUnitsToPixels(points, width, height);
  SIZE other = DialogUnitsToPixels(points == 10 ? 8 : 10, width, height);
  Check((expected.cx != other.cx || expected.cy != other.cy) && actual.cx == expected.cx &&
            actual.cy == expected.cy,
        what + " is laid out in the " + std::to_string(points) + "-point set (" +
            std::to_string(actual.cx) + "x" + std::to_string(actual.cy) + " px)");
}

HWND OpenAboutBox(const Program& program) {
  PostMessageA(program.main, WM_SYSCOMMAND, FERROLT_ABOUT_COMMAND, 0);
  return WaitForDialogWithChild(program.info.dwProcessId, FERROLT_WEB_ADDRESS, 5000);
}

void CheckExitCodeAfter(Program* program, const std::string& how) {
  Check(WaitForExit(program, 10000) == 1, how + " ends the program with exit code 1");
}

// Without the target client installed, at 120 dpi: the start state, the large dialog set.
void RunLargeFontCases(const std::string& exe) {
  Program program;
  if (!Check(StartProgram(exe, SW_SHOWNORMAL, &program), "starts at 120 dpi")) return;
  HWND main = program.main;
  Check(!IsOn(main, FERROLT_OUTPUT_DIRECT) && IsOn(main, FERROLT_OUTPUT_EML) &&
            !IsEnabled(main, FERROLT_OUTPUT_DIRECT) && ConversionChoicesEnabled(main, false) &&
            IsEnabled(main, FERROLT_OUTPUT_EML) && IsEnabled(main, FERROLT_EXECUTE),
        "without the target client: .eml chosen, direct output and conversion greyed");
  CheckDialogSet(main, FERROLT_EXECUTE, 55, 15, 8, "main window (111) at 120 dpi");
  HWND about = OpenAboutBox(program);
  CheckDialogSet(about, FERROLT_WEB_ADDRESS, 185, 10, 8, "About box (113) at 120 dpi");
  PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
  WaitUntilGone(about);
  PostMessageA(GetDlgItem(main, FERROLT_EXIT), BM_CLICK, 0, 0);
  CheckExitCodeAfter(&program, "Exit");
}

void RunWindowCases(const std::string& exe, Program* program) {
  HWND main = program->main;
  Check(IsOn(main, FERROLT_OUTPUT_DIRECT) && !IsOn(main, FERROLT_OUTPUT_EML) &&
            IsOn(main, FERROLT_PREFER_HALF_KANA) && !IsOn(main, FERROLT_PREFER_EUC) &&
            !IsOn(main, FERROLT_INCLUDE_DELETED),
        "at start: direct output, half-width kana, deleted mail left out");
  Check(IsEnabled(main, FERROLT_OUTPUT_DIRECT) && ConversionChoicesEnabled(main, true),
        "every choice available with the target client installed");
  CheckDialogSet(main, FERROLT_EXECUTE, 55, 15, 10, "main window (101) at 96 dpi");
  Screenshot(main, shots, "main-window");

  SendMessageA(GetDlgItem(main, FERROLT_OUTPUT_EML), BM_CLICK, 0, 0);
  Check(IsOn(main, FERROLT_OUTPUT_EML) && ConversionChoicesEnabled(main, false),
        "choosing .eml greys the code conversion group");
  SendMessageA(GetDlgItem(main, FERROLT_OUTPUT_DIRECT), BM_CLICK, 0, 0);
  Check(IsOn(main, FERROLT_OUTPUT_DIRECT) && ConversionChoicesEnabled(main, true),
        "choosing direct output enables it again");

  // Enter and Escape reach the window as commands 1 and 2 and must not close it.
  PostMessageA(main, WM_COMMAND, IDOK, 0);
  PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
  Check(NoBoxWithin(program->info.dwProcessId, 300) && IsWindowVisible(main),
        "commands 1 and 2 are ignored");

  // A second start brings the first window back, restored, and ends with 1.
  ShowWindow(main, SW_MINIMIZE);
  WaitFor([main] { return IsIconic(main) != 0; }, 2000);
  Program second;
  Check(!StartProgram(exe, SW_SHOWNORMAL, &second) && WaitForExit(&second, 10000) == 1,
        "a second start opens no window and ends with exit code 1");
  Check(WaitFor([main] { return !IsIconic(main) && IsWindowVisible(main); }, 3000) &&
            FindWindowA("Ferrolt", nullptr) == main,
        "the second start restores the first window");

  HWND about = OpenAboutBox(*program);
  if (Check(about != nullptr && GetWindow(about, GW_OWNER) == main,
            "About item opens the About box, owned by the main window")) {
    CheckText(WindowText(GetDlgItem(about, FERROLT_WEB_ADDRESS)), "https://ferrolt.example.jp/",
              "About box web address");
    CheckDialogSet(about, FERROLT_WEB_ADDRESS, 185, 10, 10, "About box (103) at 96 dpi");
    PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    Check(WaitUntilGone(about), "OK closes the About box");
  }
  about = OpenAboutBox(*program);
  PostMessageA(GetDlgItem(about, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
  Check(about != nullptr && WaitUntilGone(about), "Escape closes the About box");
}

void RunMainCases(const std::string& exe, const std::string& root) {
  Program program;
  if (!Check(StartProgram(exe, SW_SHOWNORMAL, &program), "starts")) return;
  RunWindowCases(exe, &program);
  RunConversionCases(root, &program);
  PostMessageA(GetDlgItem(program.main, FERROLT_EXIT), BM_CLICK, 0, 0);
  CheckExitCodeAfter(&program, "Exit");
  Program again;
  if (Check(StartProgram(exe, SW_SHOWMAXIMIZED, &again), "starts when asked to show maximized")) {
    Check(!IsZoomed(again.main) && IsWindowVisible(again.main), "opens in its normal size");
    PostMessageA(again.main, WM_SYSCOMMAND, SC_CLOSE, 0);
    CheckExitCodeAfter(&again, "closing from the system menu");
  }
  RunCloseDuringRunCases(exe, root);
}

// The window procedure and window creation linked into this process, where the system menu can
// be read (Wine does not share menus between processes).
void RunInProcessCases() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA window_class = {};
  Check(RegisterMainWindowClass(instance) && GetClassInfoA(instance, "Ferrolt", &window_class) &&
            window_class.cbWndExtra == DLGWINDOWEXTRA &&
            window_class.lpfnWndProc == MainWindowProc && window_class.hIcon != nullptr &&
            window_class.hbrBackground == reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
        "class: dialog window bytes, our procedure, icon, button-face background");
  HWND main = CreateMainWindow(instance, SW_SHOWNORMAL);
  if (!Check(main != nullptr, "main window made in process")) return;
  HMENU menu = GetSystemMenu(main, FALSE);
  int count = GetMenuItemCount(menu);
  Check(GetMenuState(menu, SC_MAXIMIZE, MF_BYCOMMAND) == 0xFFFFFFFF &&
            GetMenuState(menu, SC_SIZE, MF_BYCOMMAND) == 0xFFFFFFFF,
        "system menu: no maximize or size item");
  Check((GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR) != 0 &&
            GetMenuItemID(menu, count - 1) == FERROLT_ABOUT_COMMAND,
        "system menu: a separator, then About last");
  char text[64] = "";
  GetMenuStringA(menu, FERROLT_ABOUT_COMMAND, text, sizeof text, MF_BYCOMMAND);
  CheckText(text, Ansi("Ferroltについて(&A)…"), "About item text from string 80");

  auto greyed = [menu](UINT item) {
    return (GetMenuState(menu, item, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) != 0;
  };
  ShowWindow(main, SW_MINIMIZE);
  SendMessageA(main, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
  Check(!greyed(SC_RESTORE) && greyed(SC_MOVE) && greyed(SC_MINIMIZE),
        "minimized window: restore enabled, move and minimize greyed");
  ShowWindow(main, SW_RESTORE);
  SendMessageA(main, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
  Check(greyed(SC_RESTORE) && !greyed(SC_MOVE) && !greyed(SC_MINIMIZE),
        "restored window: restore greyed, move and minimize enabled");

  DestroyWindow(main);
}

}  // namespace
}  // namespace ferrolt::gui

int main(int argc, char** argv) {
  using namespace ferrolt::gui;
  if (argc != 5) {
    std::fprintf(stderr, "usage: gui_driver PHASE FERROLT_EXE DATA_ROOT SHOTS_FOLDER\n");
    return 101;
  }
  std::string phase = argv[1], exe = argv[2];
  shots = argv[4];
  if (phase == "main") {
    RunMainCases(exe, argv[3]);
  } else if (phase == "large") {
    // The program's window first: the in-process one would be found as the program's.
    RunLargeFontCases(exe);
    RunInProcessCases();
  } else {
    std::fprintf(stderr, "unknown phase %s\n", phase.c_str());
    return 101;
  }
  std::printf("phase %s: %d checks, %d failed\n", phase.c_str(), CheckCount(), FailureCount());
  return FailureCount() > 100 ? 100 : FailureCount();
}
