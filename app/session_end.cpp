#include "app/session_end.h"

#include <cstring>

#include "notices/catalogue.h"
#include "resources/resource_ids.h"

namespace ferrolt {
namespace {

using ReasonCreate = BOOL(WINAPI*)(HWND, LPCWSTR);
using ReasonDestroy = BOOL(WINAPI*)(HWND);

bool reason_given = false;

// Looked up at run time: older systems lack these calls, and a static import of them would keep
// the program from starting there. user32 is loaded in every window program; no release needed.
template <typename Function>
Function User32Entry(const char* name) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  FARPROC entry = user32 == nullptr ? nullptr : GetProcAddress(user32, name);
  // Through the one function type that matches every other.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(entry));
}

BOOL CALLBACK CancelIfDialog(HWND window, LPARAM) {
  char class_name[8] = "";
  GetClassNameA(window, class_name, sizeof class_name);
  if (std::strcmp(class_name, "#32770") == 0 &&
      GetDlgItem(window, FERROLT_PROGRESS_BAR) == nullptr) {
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  }
  return TRUE;
}

}  // namespace

void GiveSessionEndReason(HWND window, HINSTANCE instance) {
  auto create = User32Entry<ReasonCreate>("ShutdownBlockReasonCreate");
  wchar_t reason[256];
  if (create == nullptr || LoadStringW(instance, kSessionEndReason, reason, 256) <= 0) return;
  if (create(window, reason)) reason_given = true;
}

void WithdrawSessionEndReason(HWND window) {
  if (!reason_given) return;
  auto destroy = User32Entry<ReasonDestroy>("ShutdownBlockReasonDestroy");
  if (destroy != nullptr) destroy(window);
  reason_given = false;
}

void CancelThreadDialogs() { EnumThreadWindows(GetCurrentThreadId(), CancelIfDialog, 0); }

}  // namespace ferrolt
