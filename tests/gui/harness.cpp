#include "tests/gui/harness.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace ferrolt::gui {
namespace {

int check_count = 0;
int failure_count = 0;
std::string shots_folder;

constexpr int kMessageBoxText = 0xFFFF;

// The window's screen area as a 24-bit .bmp file: headers, then rows bottom first.
std::string CaptureScreen(HWND window, int* width, int* height) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  *width = rect.right - rect.left;
  *height = rect.bottom - rect.top;
  if (*width <= 0 || *height <= 0) return "";
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, *width, *height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, *width, *height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, previous);
  BITMAPFILEHEADER file = {};
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = *width;
  info.bmiHeader.biHeight = *height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  std::string bmp(sizeof file + sizeof info.bmiHeader, '\0');
  bmp.resize(bmp.size() + static_cast<size_t>((*width * 3 + 3) & ~3) * *height);
  GetDIBits(memory, bitmap, 0, *height, bmp.data() + sizeof file + sizeof info.bmiHeader, &info,
            DIB_RGB_COLORS);
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = static_cast<DWORD>(bmp.size());
  bmp.replace(0, sizeof file, reinterpret_cast<const char*>(&file), sizeof file);
  bmp.replace(sizeof file, sizeof info.bmiHeader, reinterpret_cast<const char*>(&info.bmiHeader),
              sizeof info.bmiHeader);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return bmp;
}

// The pixel at (x, y), counted from the bottom row, as blue, green, red.
const unsigned char* Pixel(const std::string& bmp, int width, int x, int y) {
  return reinterpret_cast<const unsigned char*>(bmp.data()) + sizeof(BITMAPFILEHEADER) +
         sizeof(BITMAPINFOHEADER) + y * ((width * 3 + 3) & ~3) + x * 3;
}

// Tells the three message-box icons apart by their colours: red stop sign, yellow triangle, blue
// disc.
char ClassifyIcon(HWND icon) {
  if (icon == nullptr || !IsWindowVisible(icon)) return '-';
  int width = 0, height = 0, red = 0, yellow = 0, blue = 0;
  std::string bmp = CaptureScreen(icon, &width, &height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned char* p = Pixel(bmp, width, x, y);
      red += p[2] > 150 && p[1] < 90 && p[0] < 90;
      yellow += p[2] > 180 && p[1] > 150 && p[0] < 100;
      blue += p[0] > 150 && p[2] < 100;
    }
  }
  if (red > 20 && red > yellow && red > blue) return 'E';
  if (yellow > 20 && yellow > blue) return 'W';
  return blue > 20 ? 'I' : '?';
}

}  // namespace

bool Check(bool ok, const std::string& what) {
  ++check_count;
  failure_count += !ok;
  std::printf("%s %s\n", ok ? "  ok  " : "  FAIL", what.c_str());
  std::fflush(stdout);
  return ok;
}

// The log is read as the ANSI code page, so the texts are printed as they came.
bool CheckText(const std::string& actual, const std::string& expected, const std::string& what) {
  return Check(actual == expected, actual == expected
                                       ? what
                                       : what + "\n         got:      [" + actual +
                                             "]\n         expected: [" + expected + "]");
}

int CheckCount() { return check_count; }
int FailureCount() { return failure_count; }

std::string Ansi(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), wide.data(),
                                  (int)wide.size()));
  std::string ansi(wide.size() * 2, '\0');
  ansi.resize(WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), ansi.data(),
                                  (int)ansi.size(), nullptr, nullptr));
  return ansi;
}

bool StartProgram(const std::string& exe, int show_command, Program* program) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show_command);
  std::string line = "\"" + exe + "\"";
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &program->info)) {
    return false;
  }
  // Stops waiting when the process ends without a window.
  WaitFor(
      [program] {
        HWND window = FindWindowA("Ferrolt", nullptr);
        DWORD owner_process = 0;
        if (window != nullptr) GetWindowThreadProcessId(window, &owner_process);
        if (owner_process == program->info.dwProcessId && IsWindowVisible(window)) {
          program->main = window;
        }
        return program->main != nullptr || WaitForExit(program->info, 0) != -1;
      },
      15000);
  Pause(100);  // let it finish its first paint
  return program->main != nullptr;
}

int WaitForExit(const PROCESS_INFORMATION& info, DWORD timeout_ms) {
  DWORD code = 0;
  if (WaitForSingleObject(info.hProcess, timeout_ms) != WAIT_OBJECT_0) return -1;
  GetExitCodeProcess(info.hProcess, &code);
  return static_cast<int>(code);
}

void EndProcess(PROCESS_INFORMATION* info) {
  if (info->hProcess == nullptr) return;
  if (WaitForExit(*info, 0) == -1) {
    TerminateProcess(info->hProcess, 99);
    WaitForSingleObject(info->hProcess, 5000);
  }
  CloseHandle(info->hThread);
  CloseHandle(info->hProcess);
  *info = {};
}

HWND OpenStandIn(const char* class_name, const char* title) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = class_name;
  RegisterClassA(&window_class);
  HWND window = CreateWindowA(class_name, title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                              nullptr, window_class.hInstance, nullptr);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  return window;
}

void Pause(DWORD ms) {
  DWORD start = GetTickCount();
  MSG message;
  do {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  } while (MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                     ms - std::min<DWORD>(ms, GetTickCount() - start),
                                     QS_ALLINPUT) != WAIT_TIMEOUT);
}

HWND FindDialogWithChild(DWORD process_id, int child_id) {
  for (HWND window = FindWindowExA(nullptr, nullptr, "#32770", nullptr); window != nullptr;
       window = FindWindowExA(nullptr, window, "#32770", nullptr)) {
    DWORD owner_process = 0;
    GetWindowThreadProcessId(window, &owner_process);
    if (owner_process == process_id && IsWindowVisible(window) && GetDlgItem(window, child_id)) {
      return window;
    }
  }
  return nullptr;
}

HWND WaitForDialogWithChild(DWORD process_id, int child_id, DWORD timeout_ms) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindDialogWithChild(process_id, child_id)) != nullptr; },
          timeout_ms);
  return found;
}

bool WaitUntilGone(HWND window, DWORD timeout_ms) {
  return WaitFor([window] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout_ms);
}

std::string WindowText(HWND window) {
  // WM_GETTEXT itself: GetWindowText of another process's control returns only the window's
  // stored name, not an edit control's contents.
  char text[2048] = "";
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                      5000, &ignored);
  return text;
}

double FilledFraction(HWND bar) {
  int width = 0, height = 0, filled = 0;
  std::string bmp = CaptureScreen(bar, &width, &height);
  if (width <= 4) return -1;
  COLORREF fill = GetSysColor(COLOR_HIGHLIGHT);
  for (int x = 0; x < width; ++x) {
    const unsigned char* p = Pixel(bmp, width, x, height / 2);
    filled += std::abs(p[2] - GetRValue(fill)) < 24 && std::abs(p[1] - GetGValue(fill)) < 24 &&
              std::abs(p[0] - GetBValue(fill)) < 24;
  }
  return static_cast<double>(filled) / (width - 4);
}

bool WaitForBox(DWORD process_id, DWORD timeout_ms, Box* box) {
  *box = Box();
  box->window = WaitForDialogWithChild(process_id, kMessageBoxText, timeout_ms);
  if (box->window == nullptr) return false;
  Pause(150);  // drawn before its icon is read off the screen
  box->caption = WindowText(box->window);
  box->text = WindowText(GetDlgItem(box->window, kMessageBoxText));
  HWND icon = nullptr;
  while ((icon = FindWindowExA(box->window, icon, "Static", nullptr)) != nullptr &&
         (GetWindowLongA(icon, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
  }
  box->icon = ClassifyIcon(icon);
  return true;
}

void AnswerBox(const Box& box) {
  PostMessageA(box.window, WM_COMMAND, IDOK, 0);
  WaitUntilGone(box.window, 5000);
}

bool NoBoxWithin(DWORD process_id, DWORD wait_ms) {
  return WaitForDialogWithChild(process_id, kMessageBoxText, wait_ms) == nullptr;
}

HWND WaitForFileDialog(DWORD process_id, DWORD timeout_ms) {
  HWND dialog = WaitForDialogWithChild(process_id, kFileNameCombo, timeout_ms);
  if (dialog != nullptr) Pause(200);  // it fills its controls after showing
  return dialog;
}

HWND FileNameEdit(HWND dialog) {
  HWND combo = GetDlgItem(dialog, kFileNameCombo);
  HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
  return edit != nullptr ? edit : combo;
}

void ChooseInFileDialog(HWND dialog, const std::string& path) {
  SendMessageA(FileNameEdit(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  WaitUntilGone(dialog, 5000);
}

void CancelFileDialog(HWND dialog) {
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  WaitUntilGone(dialog, 5000);
}

bool DropFiles(const Program& program, const std::vector<std::string>& paths) {
  DROPFILES header = {};
  header.pFiles = sizeof header;
  std::string block(reinterpret_cast<const char*>(&header), sizeof header);
  for (const std::string& path : paths) block += path + '\0';
  block += '\0';
  // A handle of our own would mean nothing in the program: the block must live in its memory.
  void* remote = VirtualAllocEx(program.info.hProcess, nullptr, block.size(),
                                MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  SIZE_T written = 0;
  if (remote == nullptr ||
      !WriteProcessMemory(program.info.hProcess, remote, block.data(), block.size(), &written) ||
      written != block.size()) {
    if (remote != nullptr) VirtualFreeEx(program.info.hProcess, remote, 0, MEM_RELEASE);
    return false;
  }
  return PostMessageA(program.main, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0) != 0;
}

void SetShotsFolder(const std::string& folder) { shots_folder = folder; }

void Screenshot(HWND window, const std::string& name) {
  int width = 0, height = 0;
  std::string bmp = CaptureScreen(window, &width, &height);
  if (!shots_folder.empty() && !bmp.empty()) {
    std::ofstream(shots_folder + "\\" + name + ".bmp", std::ios::binary) << bmp;
  }
}

}  // namespace ferrolt::gui
