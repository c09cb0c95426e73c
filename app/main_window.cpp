#include "app/main_window.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "app/about_box.h"
#include "app/file_dialogs.h"
#include "app/progress_window.h"
#include "app/window_choices.h"
#include "convert/runs.h"
#include "notices/catalogue.h"
#include "notices/notices.h"
#include "resources/resource_ids.h"
#include "stores/source_store.h"
#include "stores/target_client.h"

namespace ferrolt {
namespace {

// Program-wide, set once when the main window is made.
HINSTANCE program_instance = nullptr;
int dialog_set_offset = 0;

// What every run shares: SourceDir, TargetDir, ExportPrefix and ConversionRun.
RunState run_state;

bool IsButtonOn(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

// Asked for every message anew by the converter, so it follows the window as the user left it.
bool PrefersHalfWidthKana(void* main_window) {
  return IsButtonOn(static_cast<HWND>(main_window), FERROLT_PREFER_HALF_KANA);
}

// The run's view of this window: the target client, the Save dialog and the progress window.
class WindowRunFrontEnd final : public RunFrontEnd {
 public:
  explicit WindowRunFrontEnd(HWND main_window) : main_window_(main_window) {}

  bool CheckTarget() override { return CheckTargetClient(&home_dir_); }
  bool PrepareTarget(std::string* target_dir) override {
    return PrepareTargetFolder(home_dir_, target_dir);
  }
  bool PromptExportPrefix(std::string* export_prefix) override {
    return ferrolt::PromptExportPrefix(main_window_, export_prefix);
  }
  ProgressSink* OpenProgress() override {
    return progress_.Open(program_instance, dialog_set_offset) ? &progress_ : nullptr;
  }
  void CloseProgress() override { progress_.Close(); }

 private:
  HWND main_window_;
  std::string home_dir_;
  ProgressWindow progress_;
};

// Reads the window's choices into the run: deleted mail is skipped unless box 1016 is ticked.
void PrepareRunState(HWND window) {
  run_state.conversion_run.skip_deleted = !IsButtonOn(window, FERROLT_INCLUDE_DELETED);
  run_state.prefers_half_width_kana = PrefersHalfWidthKana;
  run_state.query_context = window;
}

void EnableConversionChoices(HWND window, bool enable) {
  for (int id : {FERROLT_CONVERSION_GROUP, FERROLT_PREFER_HALF_KANA, FERROLT_PREFER_EUC}) {
    EnableWindow(GetDlgItem(window, id), enable);
  }
}

// Reads every dropped path, asking each one's length first, so no path is ever cut short.
std::vector<std::string> ReadDroppedPaths(HDROP drop) {
  std::vector<std::string> paths;
  UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    UINT length = DragQueryFileA(drop, i, nullptr, 0);
    std::vector<char> path(length + 1);
    UINT copied = DragQueryFileA(drop, i, path.data(), length + 1);
    paths.emplace_back(path.data(), copied);
  }
  return paths;
}

void UpdateSystemMenuStates(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  bool minimized = IsIconic(window);
  EnableMenuItem(menu, SC_RESTORE, MF_BYCOMMAND | (minimized ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu, SC_MOVE, MF_BYCOMMAND | (minimized ? MF_GRAYED : MF_ENABLED));
  EnableMenuItem(menu, SC_MINIMIZE, MF_BYCOMMAND | (minimized ? MF_GRAYED : MF_ENABLED));
}

void EditSystemMenu(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  char text[32];
  if (LoadStringA(program_instance, kAboutMenuItem, text, sizeof text) <= 0) {
    lstrcpynA(text, "&About Ferrolt...", sizeof text);
  }
  AppendMenuA(menu, MF_STRING, FERROLT_ABOUT_COMMAND, text);
}

void SetInitialChoices(HWND window) {
  CheckDlgButton(window, FERROLT_OUTPUT_DIRECT, BST_CHECKED);
  CheckDlgButton(window, FERROLT_OUTPUT_EML, BST_UNCHECKED);
  CheckDlgButton(window, FERROLT_PREFER_HALF_KANA, BST_CHECKED);
  CheckDlgButton(window, FERROLT_PREFER_EUC, BST_UNCHECKED);
  if (!TargetClientInstalled()) {
    // Without the target client only .eml export can be chosen.
    CheckDlgButton(window, FERROLT_OUTPUT_DIRECT, BST_UNCHECKED);
    CheckDlgButton(window, FERROLT_OUTPUT_EML, BST_CHECKED);
    EnableWindow(GetDlgItem(window, FERROLT_OUTPUT_DIRECT), FALSE);
    EnableConversionChoices(window, false);
  }
}

// Message handlers: each reads the window and hands over to the portable run logic.

void OnCreate(HWND window) { DragAcceptFiles(window, TRUE); }

void OnDestroy(HWND window) {
  GetSystemMenu(window, TRUE);  // gives the window back the system's own menu
  PostQuitMessage(0);
}

void OnNonClientLeftButtonDown(HWND window, WPARAM hit_test) {
  if (hit_test == HTMINBUTTON) UpdateSystemMenuStates(window);
}

void OnSystemCommand(HWND window, WPARAM command) {
  if (command == FERROLT_ABOUT_COMMAND) ShowAboutBox(program_instance, window, dialog_set_offset);
}

void OnExecute(HWND window) {
  PrepareRunState(window);
  if (!LocateSourceStore(&run_state.source_dir, PromptSourceFolder, window)) return;
  WindowRunFrontEnd front_end(window);
  if (IsButtonOn(window, FERROLT_OUTPUT_DIRECT)) {
    RunFolderImport(&run_state, &front_end);
  } else if (IsButtonOn(window, FERROLT_OUTPUT_EML)) {
    RunFolderExport(&run_state, &front_end);
  }
}

void OnDropFiles(HWND window, HDROP drop) {
  PrepareRunState(window);
  std::vector<std::string> paths = ReadDroppedPaths(drop);
  WindowRunFrontEnd front_end(window);
  if (IsButtonOn(window, FERROLT_OUTPUT_DIRECT)) {
    RunDroppedImport(&run_state, &front_end, paths);
  } else if (IsButtonOn(window, FERROLT_OUTPUT_EML)) {
    RunDroppedExport(&run_state, &front_end, paths);
  }
  DragFinish(drop);
}

// True when the command was handled; the rest goes to the plain default procedure, which
// ignores Enter (1) and Escape (2).
bool OnCommand(HWND window, int id) {
  switch (id) {
    case FERROLT_EXECUTE:
      OnExecute(window);
      return true;
    case FERROLT_EXIT:
      DestroyWindow(window);
      return true;
    case FERROLT_OUTPUT_DIRECT:
      EnableConversionChoices(window, true);
      return false;
    case FERROLT_OUTPUT_EML:
      EnableConversionChoices(window, false);
      return false;
    default:
      return false;
  }
}

}  // namespace

bool RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSA window_class = {};
  window_class.style = 0;
  window_class.lpfnWndProc = MainWindowProc;
  window_class.cbClsExtra = 0;
  window_class.cbWndExtra = DLGWINDOWEXTRA;  // the dialog manager keeps its state there
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(FERROLT_ICON));
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszMenuName = nullptr;
  window_class.lpszClassName = kMainWindowClass;
  return RegisterClassA(&window_class) != 0;
}

HWND CreateMainWindow(HINSTANCE instance, int show_command) {
  program_instance = instance;
  HDC desktop = GetDC(GetDesktopWindow());
  int logical_dpi = GetDeviceCaps(desktop, LOGPIXELSX);
  ReleaseDC(GetDesktopWindow(), desktop);
  dialog_set_offset = ChooseDialogSetOffset(logical_dpi);

  // No dialog procedure: the class's window procedure is the dialog's handler.
  HWND window = CreateDialogParamA(
      instance, MAKEINTRESOURCEA(FERROLT_MAIN_TEMPLATE + dialog_set_offset), nullptr, nullptr, 0);
  if (window == nullptr) {
    ShowMessage(kWindowFailed, kCaptionProgramError);
    return nullptr;
  }
  EditSystemMenu(window);
  SetInitialChoices(window);
  ShowWindow(window, ChooseStartShowCommand(show_command));
  // Windows may have shown it as the starter asked rather than as told.
  int show_again = ChooseShowAfterFirstShow(IsZoomed(window) != 0);
  if (show_again != 0) ShowWindow(window, show_again);
  UpdateWindow(window);
  return window;
}

int DialogSetOffset() { return dialog_set_offset; }

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(window);
      return 0;
    case WM_DESTROY:
      OnDestroy(window);
      return 0;
    case WM_NCLBUTTONDOWN:
      OnNonClientLeftButtonDown(window, wparam);
      break;
    case WM_INITMENU:
      UpdateSystemMenuStates(window);
      return 0;
    case WM_SYSCOMMAND:
      OnSystemCommand(window, wparam);
      break;
    case WM_COMMAND:
      if (OnCommand(window, LOWORD(wparam))) return 0;
      break;
    case WM_DROPFILES:
      OnDropFiles(window, reinterpret_cast<HDROP>(wparam));
      return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace ferrolt
