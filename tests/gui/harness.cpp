#include "tests/gui/harness.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "resources/resource_ids.h"

namespace ferrolt::gui {
namespace {

int check_count = 0;
int failure_count = 0;

}  // namespace

bool Check(bool ok, const std::string& what) {
  ++check_count;
  failure_count += !ok;
  std::printf("%s %s\n", ok ? "  ok  " : "  FAIL", what.c_str());
  std::fflush(stdout);
  return ok;
}

// run.sh reads the log as the ANSI code page, so the texts are printed as they came.
bool CheckText(const std::string& actual, const std::string& expected, const std::string& what) {
  if (actual == expected) return Check(true, what);
  return Check(
      false, what + "\n         got:      [" + actual + "]\n         expected: [" + expected + "]");
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

bool StartProgram(const std::string& exe, Program* program) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::string line = "\"" + exe + "\"";
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &program->info)) {
    return false;
  }
  WaitFor(
      [program] {
        HWND window = FindWindowA("Ferrolt", nullptr);
        DWORD owner_process = 0;
        GetWindowThreadProcessId(window, &owner_process);
        bool ours = owner_process == program->info.dwProcessId && IsWindowVisible(window);
        program->main = ours ? window : nullptr;
        // A process that ended without a window is not waited for.
        return program->main != nullptr || WaitForSingleObject(program->info.hProcess, 0) == 0;
      },
      15000);
  Pause(100);  // let it finish its first paint
  return program->main != nullptr;
}

int WaitForExit(Program* program, DWORD timeout_ms) {
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(program->info.hProcess, timeout_ms) == WAIT_OBJECT_0) {
    GetExitCodeProcess(program->info.hProcess, &code);
  } else {
    TerminateProcess(program->info.hProcess, 99);
    WaitForSingleObject(program->info.hProcess, 5000);
  }
  CloseHandle(program->info.hThread);
  CloseHandle(program->info.hProcess);
  *program = Program();
  return static_cast<int>(code);
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

bool NoBoxWithin(DWORD process_id, DWORD wait_ms) {
  return WaitForDialogWithChild(process_id, 0xFFFF, wait_ms) == nullptr;
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

std::string Choices(HWND main) {
  std::string choices;
  for (int id :
       {FERROLT_OUTPUT_DIRECT, FERROLT_OUTPUT_EML, FERROLT_PREFER_HALF_KANA, FERROLT_PREFER_EUC,
        FERROLT_INCLUDE_DELETED, FERROLT_CONVERSION_GROUP, FERROLT_EXECUTE}) {
    bool ticked = SendDlgItemMessageA(main, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
    choices += !IsWindowEnabled(GetDlgItem(main, id)) ? '-' : ticked ? '1' : '0';
  }
  return choices;
}

std::string CaptureScreen(HWND window, int* width, int* height) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  *width = std::max(0L, rect.right - rect.left);
  *height = std::max(0L, rect.bottom - rect.top);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, *width, *height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, *width, *height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, previous);
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = *width;
  info.biHeight = -*height;  // top row first
  info.biPlanes = 1;
  info.biBitCount = 32;
  BITMAPFILEHEADER file = {0x4D42, 0, 0, 0, sizeof file + sizeof info};  // "BM"
  std::string bmp(file.bfOffBits + 4 * *width * *height, '\0');
  file.bfSize = static_cast<DWORD>(bmp.size());
  bmp.replace(0, sizeof file, reinterpret_cast<const char*>(&file), sizeof file);
  bmp.replace(sizeof file, sizeof info, reinterpret_cast<const char*>(&info), sizeof info);
  GetDIBits(memory, bitmap, 0, *height, bmp.data() + file.bfOffBits,
            reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return bmp;
}

const unsigned char* Pixel(const std::string& bmp, int width, int x, int y) {
  return reinterpret_cast<const unsigned char*>(bmp.data()) + sizeof(BITMAPFILEHEADER) +
         sizeof(BITMAPINFOHEADER) + 4 * (y * width + x);
}

void Screenshot(HWND window, const std::string& folder, const std::string& name) {
  int width = 0, height = 0;
  std::string bmp = CaptureScreen(window, &width, &height);
  if (!bmp.empty()) std::ofstream(folder + "\\" + name + ".bmp", std::ios::binary) << bmp;
}

}  // namespace ferrolt::gui
