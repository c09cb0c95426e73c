#include "tests/gui/harness.h"

#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace ferrolt::gui {
namespace {

int check_count = 0;
int failure_count = 0;
std::string shots_folder;

constexpr int kFileNameCombo = 0x47C;  // cmb13 of the common file dialogs
constexpr int kFilterCombo = 0x470;    // cmb1
constexpr int kMessageBoxText = 0xFFFF;

std::string Recode(const std::string& text, UINT from, UINT to) {
  if (text.empty()) return text;
  int wide_length = MultiByteToWideChar(from, 0, text.data(), (int)text.size(), nullptr, 0);
  std::wstring wide(wide_length, L'\0');
  MultiByteToWideChar(from, 0, text.data(), (int)text.size(), wide.data(), wide_length);
  int length = WideCharToMultiByte(to, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  std::string result(length, '\0');
  WideCharToMultiByte(to, 0, wide.data(), wide_length, result.data(), length, nullptr, nullptr);
  return result;
}

struct Search {
  DWORD process_id;
  int child_id;
  HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM lparam) {
  Search* search = reinterpret_cast<Search*>(lparam);
  DWORD owner_process = 0;
  GetWindowThreadProcessId(window, &owner_process);
  if (owner_process != search->process_id || !IsWindowVisible(window)) return TRUE;
  if (ClassName(window) != "#32770") return TRUE;
  if (GetDlgItem(window, search->child_id) == nullptr) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK MatchIconChild(HWND child, LPARAM lparam) {
  LONG style = GetWindowLongA(child, GWL_STYLE);
  if (ClassName(child) == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
    *reinterpret_cast<HWND*>(lparam) = child;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK MatchEdit(HWND child, LPARAM lparam) {
  if (ClassName(child) == "Edit") {
    *reinterpret_cast<HWND*>(lparam) = child;
    return FALSE;
  }
  return TRUE;
}

// Copies a screen rectangle into 24-bit rows, bottom row first (the .bmp order).
std::string CaptureScreen(const RECT& rect, int* width, int* height) {
  *width = rect.right - rect.left;
  *height = rect.bottom - rect.top;
  std::string pixels;
  if (*width <= 0 || *height <= 0) return pixels;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, *width, *height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, *width, *height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, previous);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = *width;
  info.bmiHeader.biHeight = *height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  int row_bytes = (*width * 3 + 3) & ~3;
  pixels.resize(static_cast<size_t>(row_bytes) * *height);
  GetDIBits(memory, bitmap, 0, *height, pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// Tells the three message-box icons apart by their colours: red stop sign, yellow triangle, blue
// disc.
char ClassifyIcon(HWND icon) {
  if (icon == nullptr || !IsWindowVisible(icon)) return '-';
  RECT rect;
  GetWindowRect(icon, &rect);
  int width = 0, height = 0;
  std::string pixels = CaptureScreen(rect, &width, &height);
  int red = 0, yellow = 0, blue = 0;
  int row_bytes = (width * 3 + 3) & ~3;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned char* p =
          reinterpret_cast<const unsigned char*>(pixels.data()) + y * row_bytes + x * 3;
      int b = p[0], g = p[1], r = p[2];
      if (r > 150 && g < 90 && b < 90) ++red;
      if (r > 180 && g > 150 && b < 100) ++yellow;
      if (b > 150 && r < 100) ++blue;
    }
  }
  if (red > 20 && red > yellow && red > blue) return 'E';
  if (yellow > 20 && yellow > blue) return 'W';
  if (blue > 20) return 'I';
  return '?';
}

}  // namespace

bool Check(bool ok, const std::string& what) {
  ++check_count;
  if (!ok) ++failure_count;
  std::printf("%s %s\n", ok ? "  ok  " : "  FAIL", what.c_str());
  std::fflush(stdout);
  return ok;
}

bool CheckText(const std::string& actual, const std::string& expected, const std::string& what) {
  bool ok = actual == expected;
  if (!ok) {
    return Check(false, what + "\n         got:      [" + Utf8(actual) + "]\n         expected: [" +
                            Utf8(expected) + "]");
  }
  return Check(true, what);
}

int CheckCount() { return check_count; }
int FailureCount() { return failure_count; }

std::string Ansi(const std::string& utf8) { return Recode(utf8, CP_UTF8, CP_ACP); }
std::string Utf8(const std::string& ansi) { return Recode(ansi, CP_ACP, CP_UTF8); }

std::wstring Wide(const std::string& utf8) {
  int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), wide.data(), length);
  return wide;
}

bool StartProcess(const std::string& command_line, PROCESS_INFORMATION* info) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::string line = command_line;
  return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, info) != 0;
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
  for (int waited = 0; waited < 15000; waited += 20) {
    HWND window = FindWindowA("Ferrolt", nullptr);
    DWORD owner_process = 0;
    if (window != nullptr) GetWindowThreadProcessId(window, &owner_process);
    if (owner_process == program->info.dwProcessId && IsWindowVisible(window)) {
      program->main = window;
      Pause(100);  // let it finish its first paint
      return true;
    }
    if (WaitForSingleObject(program->info.hProcess, 20) == WAIT_OBJECT_0) return false;
  }
  return false;
}

int WaitForExit(const PROCESS_INFORMATION& info, DWORD timeout_ms) {
  if (WaitForSingleObject(info.hProcess, timeout_ms) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  return static_cast<int>(code);
}

void EndProcess(PROCESS_INFORMATION* info) {
  if (info->hProcess == nullptr) return;
  if (WaitForSingleObject(info->hProcess, 0) != WAIT_OBJECT_0) {
    TerminateProcess(info->hProcess, 99);
    WaitForSingleObject(info->hProcess, 5000);
  }
  CloseHandle(info->hThread);
  CloseHandle(info->hProcess);
  *info = {};
}

HWND FindDialogWithChild(DWORD process_id, int child_id) {
  Search search = {process_id, child_id, nullptr};
  EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForDialogWithChild(DWORD process_id, int child_id, DWORD timeout_ms) {
  for (DWORD waited = 0; waited <= timeout_ms; waited += 20) {
    HWND found = FindDialogWithChild(process_id, child_id);
    if (found != nullptr) return found;
    Sleep(20);
  }
  return nullptr;
}

bool WaitUntilGone(HWND window, DWORD timeout_ms) {
  for (DWORD waited = 0; waited <= timeout_ms; waited += 20) {
    if (!IsWindow(window) || !IsWindowVisible(window)) return true;
    Sleep(20);
  }
  return false;
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
  RECT rect;
  GetWindowRect(bar, &rect);
  int width = 0, height = 0;
  std::string pixels = CaptureScreen(rect, &width, &height);
  if (width <= 4) return -1;
  COLORREF fill = GetSysColor(COLOR_HIGHLIGHT);
  int row_bytes = (width * 3 + 3) & ~3;
  const unsigned char* row =
      reinterpret_cast<const unsigned char*>(pixels.data()) + (height / 2) * row_bytes;
  int filled = 0;
  for (int x = 0; x < width; ++x) {
    const unsigned char* p = row + x * 3;
    if (std::abs(p[2] - GetRValue(fill)) < 24 && std::abs(p[1] - GetGValue(fill)) < 24 &&
        std::abs(p[0] - GetBValue(fill)) < 24) {
      ++filled;
    }
  }
  return static_cast<double>(filled) / (width - 4);
}

std::string ClassName(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

bool WaitForBox(DWORD process_id, DWORD timeout_ms, Box* box) {
  *box = Box();
  box->window = WaitForDialogWithChild(process_id, kMessageBoxText, timeout_ms);
  if (box->window == nullptr) return false;
  Pause(150);  // drawn before its icon is read off the screen
  box->caption = WindowText(box->window);
  box->text = WindowText(GetDlgItem(box->window, kMessageBoxText));
  HWND icon = nullptr;
  EnumChildWindows(box->window, MatchIconChild, reinterpret_cast<LPARAM>(&icon));
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

static HWND FileNameEdit(HWND dialog) {
  HWND combo = GetDlgItem(dialog, kFileNameCombo);
  if (ClassName(combo) == "Edit") return combo;
  HWND edit = nullptr;
  EnumChildWindows(combo, MatchEdit, reinterpret_cast<LPARAM>(&edit));
  return edit;
}

std::string FileDialogName(HWND dialog) { return WindowText(FileNameEdit(dialog)); }

std::string FileDialogFilter(HWND dialog) { return WindowText(GetDlgItem(dialog, kFilterCombo)); }

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
  std::string block(sizeof(DROPFILES), '\0');
  DROPFILES header = {};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = FALSE;
  block.replace(0, sizeof header, reinterpret_cast<const char*>(&header), sizeof header);
  for (const std::string& path : paths) block += path + '\0';
  block += '\0';
  // A handle of our own would mean nothing in the program: the block must live in its memory.
  void* remote = VirtualAllocEx(program.info.hProcess, nullptr, block.size(),
                                MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remote == nullptr) return false;
  SIZE_T written = 0;
  if (!WriteProcessMemory(program.info.hProcess, remote, block.data(), block.size(), &written) ||
      written != block.size()) {
    VirtualFreeEx(program.info.hProcess, remote, 0, MEM_RELEASE);
    return false;
  }
  return PostMessageA(program.main, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0) != 0;
}

void SetShotsFolder(const std::string& folder) { shots_folder = folder; }

void Screenshot(HWND window, const std::string& name) {
  if (shots_folder.empty() || window == nullptr) return;
  RECT rect;
  GetWindowRect(window, &rect);
  int width = 0, height = 0;
  std::string pixels = CaptureScreen(rect, &width, &height);
  if (pixels.empty()) return;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  std::ofstream out(shots_folder + "\\" + name + ".bmp", std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
}

void Pause(DWORD ms) { Sleep(ms); }

}  // namespace ferrolt::gui
