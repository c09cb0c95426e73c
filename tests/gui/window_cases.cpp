// The main window from outside and inside: start state, single instance, the About box, the
// dialog set chosen by density, the system menu, the class, Exit and closing.

#include <windows.h>

#include <string>

#include "app/main_window.h"
#include "resources/resource_ids.h"
#include "tests/gui/gui_cases.h"
#include "tests/gui/harness.h"

namespace ferrolt::gui {
namespace {

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

// Which dialog set a window was made from, told by the pixel size of one of its controls.
void CheckDialogSet(HWND dialog, int control, int width, int height, int expected_points,
                    const std::string& what) {
  RECT rect;
  GetWindowRect(GetDlgItem(dialog, control), &rect);
  SIZE actual = {rect.right - rect.left, rect.bottom - rect.top};
  SIZE expected = DialogUnitsToPixels(expected_points, width, height);
  SIZE other = DialogUnitsToPixels(expected_points == 10 ? 8 : 10, width, height);
  Check(expected.cx != other.cx || expected.cy != other.cy,
        what + ": the two dialog sets differ in size here");
  Check(actual.cx == expected.cx && actual.cy == expected.cy,
        what + " is laid out in the " + std::to_string(expected_points) + "-point set (" +
            std::to_string(actual.cx) + "x" + std::to_string(actual.cy) + " px)");
}

HWND OpenAboutBox(const Program& program) {
  PostMessageA(program.main, WM_SYSCOMMAND, FERROLT_ABOUT_COMMAND, 0);
  return WaitForDialogWithChild(program.info.dwProcessId, FERROLT_WEB_ADDRESS, 5000);
}

void CheckExitCodeAfter(Program* program, const std::string& how) {
  Check(WaitForExit(program->info, 10000) == 1, how + " ends the program with exit code 1");
  EndProcess(&program->info);
}

}  // namespace

void RunStartWithoutTargetCases(const DriverSetup& setup) {
  Program program;
  if (!Check(StartProgram(setup.ferrolt_exe, SW_SHOWNORMAL, &program),
             "starts without the target client's settings")) {
    return;
  }
  HWND main = program.main;
  Check(!IsOn(main, FERROLT_OUTPUT_DIRECT) && IsOn(main, FERROLT_OUTPUT_EML),
        "without the target client .eml output is chosen");
  Check(!IsEnabled(main, FERROLT_OUTPUT_DIRECT), "direct output is greyed");
  Check(ConversionChoicesEnabled(main, false), "code conversion choices are greyed");
  Check(IsEnabled(main, FERROLT_OUTPUT_EML) && IsEnabled(main, FERROLT_EXECUTE),
        ".eml output and Execute stay available");
  Screenshot(main, "main-window-without-target");
  PostMessageA(GetDlgItem(main, FERROLT_EXIT), BM_CLICK, 0, 0);
  CheckExitCodeAfter(&program, "Exit");
}

void RunLargeFontCases(const DriverSetup& setup) {
  Program program;
  if (!Check(StartProgram(setup.ferrolt_exe, SW_SHOWNORMAL, &program), "starts at 120 dpi")) {
    return;
  }
  CheckDialogSet(program.main, FERROLT_EXECUTE, 55, 15, 8, "main window (111) at 120 dpi");
  Screenshot(program.main, "main-window-120dpi");
  HWND about = OpenAboutBox(program);
  if (Check(about != nullptr, "About box opens at 120 dpi")) {
    CheckDialogSet(about, FERROLT_WEB_ADDRESS, 185, 10, 8, "About box (113) at 120 dpi");
    PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    WaitUntilGone(about, 5000);
  }
  PostMessageA(program.main, WM_CLOSE, 0, 0);
  CheckExitCodeAfter(&program, "closing at 120 dpi");
}

void RunStartAndWindowCases(const DriverSetup& setup, Program* program) {
  HWND main = program->main;
  CheckText(WindowText(main), "MS-IM to Corvane! Mail Data Converter", "main window caption");
  Check(GetClassLongA(main, GCL_STYLE) == 0, "class style 0");
  Check(GetClassLongA(main, GCL_CBWNDEXTRA) == DLGWINDOWEXTRA, "class keeps 30 window bytes");
  Check(IsOn(main, FERROLT_OUTPUT_DIRECT) && !IsOn(main, FERROLT_OUTPUT_EML),
        "direct output chosen at start");
  Check(IsOn(main, FERROLT_PREFER_HALF_KANA) && !IsOn(main, FERROLT_PREFER_EUC),
        "half-width kana preferred at start");
  Check(!IsOn(main, FERROLT_INCLUDE_DELETED), "deleted mail not included at start");
  Check(IsEnabled(main, FERROLT_OUTPUT_DIRECT) && ConversionChoicesEnabled(main, true),
        "every choice available with the target client installed");
  CheckDialogSet(main, FERROLT_EXECUTE, 55, 15, 10, "main window (101) at 96 dpi");
  Screenshot(main, "main-window");

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
  Pause(200);
  Check(IsIconic(main), "main window minimized before the second start");
  PROCESS_INFORMATION second = {};
  if (Check(StartProcess("\"" + setup.ferrolt_exe + "\"", &second), "second start")) {
    Check(WaitForExit(second, 10000) == 1, "second instance ends with exit code 1");
    EndProcess(&second);
  }
  Pause(300);
  Check(!IsIconic(main) && IsWindowVisible(main), "first window restored by the second start");
  Check(FindWindowA("Ferrolt", nullptr) == main, "still exactly the first window");

  HWND about = OpenAboutBox(*program);
  if (Check(about != nullptr, "About item opens the About box")) {
    CheckText(WindowText(about), Ansi("Ferrolt について"), "About box caption");
    CheckText(WindowText(GetDlgItem(about, FERROLT_WEB_ADDRESS)), "https://ferrolt.example.jp/",
              "About box web address");
    Check(GetWindow(about, GW_OWNER) == main, "About box is owned by the main window");
    CheckDialogSet(about, FERROLT_WEB_ADDRESS, 185, 10, 10, "About box (103) at 96 dpi");
    Screenshot(about, "about-box");
    PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    Check(WaitUntilGone(about, 5000), "OK closes the About box");
  }
  about = OpenAboutBox(*program);
  if (about != nullptr) {
    PostMessageA(GetDlgItem(about, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    Check(WaitUntilGone(about, 5000), "Escape closes the About box");
  }
  about = OpenAboutBox(*program);
  if (about != nullptr) {
    PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0);
    Check(WaitUntilGone(about, 5000), "the close box closes the About box");
  }
}

void RunEndCases(const DriverSetup& setup, Program* program) {
  PostMessageA(GetDlgItem(program->main, FERROLT_EXIT), BM_CLICK, 0, 0);
  CheckExitCodeAfter(program, "Exit");
  Program again;
  if (Check(StartProgram(setup.ferrolt_exe, SW_SHOWMAXIMIZED, &again),
            "starts when asked to show maximized")) {
    Check(!IsZoomed(again.main) && IsWindowVisible(again.main), "opens in its normal size");
    PostMessageA(again.main, WM_SYSCOMMAND, SC_CLOSE, 0);
    CheckExitCodeAfter(&again, "closing from the system menu");
  }
}

void RunInProcessCases() {
  // The window procedure and window creation linked into this process, where the system menu
  // can be read (Wine does not share menus between processes).
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!Check(RegisterMainWindowClass(instance), "class registers")) return;
  WNDCLASSA window_class = {};
  GetClassInfoA(instance, "Ferrolt", &window_class);
  Check(window_class.style == 0 && window_class.cbClsExtra == 0 && window_class.cbWndExtra == 30 &&
            window_class.lpfnWndProc == MainWindowProc,
        "class: style 0, no class bytes, 30 window bytes, our window procedure");
  Check(window_class.hIcon != nullptr && window_class.hCursor == LoadCursorA(nullptr, IDC_ARROW) &&
            window_class.hbrBackground == reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1) &&
            window_class.lpszMenuName == nullptr,
        "class: icon 102, arrow cursor, button-face background, no menu");
  HWND main = CreateMainWindow(instance, SW_SHOWNORMAL);
  if (!Check(main != nullptr, "main window made in process")) return;
  HMENU menu = GetSystemMenu(main, FALSE);
  int count = GetMenuItemCount(menu);
  Check(GetMenuState(menu, SC_MAXIMIZE, MF_BYCOMMAND) == 0xFFFFFFFF, "no maximize item");
  Check(GetMenuState(menu, SC_SIZE, MF_BYCOMMAND) == 0xFFFFFFFF, "no size item");
  Check((GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR) != 0,
        "a separator before the last item");
  Check(GetMenuItemID(menu, count - 1) == FERROLT_ABOUT_COMMAND, "the last item is 2001");
  char text[64] = "";
  GetMenuStringA(menu, FERROLT_ABOUT_COMMAND, text, sizeof text, MF_BYCOMMAND);
  CheckText(text, Ansi("Ferroltについて(&A)…"), "About item text from string 80");

  auto greyed = [menu](UINT item) {
    return (GetMenuState(menu, item, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) != 0;
  };
  SendMessageA(main, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
  Check(greyed(SC_RESTORE) && !greyed(SC_MOVE) && !greyed(SC_MINIMIZE),
        "normal window: restore greyed, move and minimize enabled");
  ShowWindow(main, SW_MINIMIZE);
  SendMessageA(main, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
  Check(!greyed(SC_RESTORE) && greyed(SC_MOVE) && greyed(SC_MINIMIZE),
        "minimized window: restore enabled, move and minimize greyed");
  ShowWindow(main, SW_RESTORE);
  SendMessageA(main, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
  Check(greyed(SC_RESTORE) && !greyed(SC_MOVE), "restored window: states back");

  SendMessageA(main, WM_CLOSE, 0, 0);
  Check(!IsWindow(main), "closing destroys the main window");
  MSG message;
  bool quit = PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && message.wParam == 0;
  Check(quit, "destroying posts the quit message with 0");
}

}  // namespace ferrolt::gui

namespace ferrolt::gui {

void RunMainCases(const DriverSetup& setup) {
  Program program;
  if (!Check(StartProgram(setup.ferrolt_exe, SW_SHOWNORMAL, &program), "starts")) return;
  RunStartAndWindowCases(setup, &program);
  RunConversionCases(setup, &program);
  RunEndCases(setup, &program);
  EndProcess(&program.info);
  RunCloseDuringRunCases(setup);
}

}  // namespace ferrolt::gui
