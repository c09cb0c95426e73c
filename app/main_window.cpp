#include "app/main_window.h"

#include <shellapi.h>

#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/about_box.h"
#include "app/file_dialogs.h"
#include "app/progress_window.h"
#include "app/run_thread.h"
#include "app/session_end.h"
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

// From Execute or a drop until the run thread has ended, its dialogs included. Meanwhile a drop
// is let go unread and Execute does nothing: a second run would share the first one's state.
bool run_under_way = false;
// Closing the window during a run asks the run to stop before its next message, so every file
// written holds whole messages; the window closes when the run has ended.
std::atomic<bool> close_requested{false};
bool closed_during_run = false;
// Each control and whether it was enabled before the run greyed them all.
std::vector<std::pair<HWND, BOOL>> held_controls;
HWND focus_before_run = nullptr;
// The converter asks for every message. The choice cannot change while the run holds the
// controls, so it is read once when the run starts instead of at the window thread each time.
bool half_width_kana_chosen = true;

bool IsButtonOn(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

bool PrefersHalfWidthKana(void* chosen) { return *static_cast<const bool*>(chosen); }

bool StopRequestedByClose() { return close_requested.load(); }

// The run's view of this window: the target client, the Save dialog and the progress window.
// Called on the run thread; what makes or shows a window is done on the window thread.
class WindowRunFrontEnd final : public RunFrontEnd {
 public:
  explicit WindowRunFrontEnd(HWND main_window) : main_window_(main_window) {}

  bool CheckTarget() override { return CheckTargetClient(&home_dir_); }
  bool PrepareTarget(std::string* target_dir) override {
    return PrepareTargetFolder(home_dir_, target_dir);
  }
  bool PromptExportPrefix(std::string* export_prefix) override {
    bool chosen = false;
    CallOnWindowThread([&] { chosen = ferrolt::PromptExportPrefix(main_window_, export_prefix); });
    // A close asked for while the dialog was up counts as a cancel: nothing gets written.
    return chosen && !close_requested;
  }
  ProgressSink* OpenProgress() override {
    bool opened = false;
    CallOnWindowThread([&] { opened = progress_.Open(program_instance, dialog_set_offset); });
    return opened ? &progress_ : nullptr;
  }
  void CloseProgress() override {
    CallOnWindowThread([&] { progress_.Close(); });
  }

 private:
  HWND main_window_;
  std::string home_dir_;
  ProgressWindow progress_;
};

// Reads the window's choices into the run: deleted mail is skipped unless box 1016 is ticked.
void PrepareRunState(HWND window) {
  run_state.conversion_run.skip_deleted = !IsButtonOn(window, FERROLT_INCLUDE_DELETED);
  half_width_kana_chosen = IsButtonOn(window, FERROLT_PREFER_HALF_KANA);
  run_state.prefers_half_width_kana = PrefersHalfWidthKana;
  run_state.query_context = &half_width_kana_chosen;
  run_state.stop_requested = StopRequestedByClose;
}

// Greys every control, as a modal dialog would the whole window; the window itself stays
// enabled so that it can still be moved, minimized and closed.
void HoldControls(HWND window) {
  focus_before_run = GetFocus();
  for (HWND control = GetWindow(window, GW_CHILD); control != nullptr;
       control = GetWindow(control, GW_HWNDNEXT)) {
    held_controls.emplace_back(control, IsWindowEnabled(control));
    EnableWindow(control, FALSE);
  }
}

void ReleaseControls(HWND window) {
  for (const auto& [control, enabled] : held_controls) EnableWindow(control, enabled);
  held_controls.clear();
  if (focus_before_run != nullptr && IsWindowEnabled(focus_before_run) &&
      GetActiveWindow() == window) {
    SetFocus(focus_before_run);
  }
  focus_before_run = nullptr;
}

void BeginRun(HWND window) {
  run_under_way = true;
  close_requested = false;
  HoldControls(window);
  PrepareRunState(window);
}

void EndRun(HWND window) {
  WithdrawSessionEndReason(window);
  ReleaseControls(window);
  run_under_way = false;
  if (close_requested) {
    closed_during_run = true;
    DestroyWindow(window);
  }
}

// The run goes to its own thread, whose end the window hears as kRunEndedMessage.
void StartRun(HWND window, const std::function<void()>& work) {
  if (StartRunThread(window, work)) return;
  work();  // no thread to be had: the run holds the window thread, as it would on one thread
  EndRun(window);
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
  if (run_under_way) return;
  bool import = IsButtonOn(window, FERROLT_OUTPUT_DIRECT);
  bool export_eml = IsButtonOn(window, FERROLT_OUTPUT_EML);
  BeginRun(window);
  // The source is located here, on the window thread: it may show the Open dialog.
  if (!LocateSourceStore(&run_state.source_dir, PromptSourceFolder, window) || close_requested ||
      !(import || export_eml)) {
    EndRun(window);
    return;
  }
  StartRun(window, [window, import] {
    WindowRunFrontEnd front_end(window);
    import ? RunFolderImport(&run_state, &front_end) : RunFolderExport(&run_state, &front_end);
  });
}

void OnDropFiles(HWND window, HDROP drop) {
  if (run_under_way) {
    DragFinish(drop);  // taken and let go: the shell's drop ends, no second run starts
    return;
  }
  std::vector<std::string> paths = ReadDroppedPaths(drop);
  DragFinish(drop);
  bool import = IsButtonOn(window, FERROLT_OUTPUT_DIRECT);
  if (!import && !IsButtonOn(window, FERROLT_OUTPUT_EML)) return;
  BeginRun(window);
  StartRun(window, [window, import, paths] {
    WindowRunFrontEnd front_end(window);
    import ? RunDroppedImport(&run_state, &front_end, paths)
           : RunDroppedExport(&run_state, &front_end, paths);
  });
}

void OnRunEnded(HWND window) {
  FinishRunThread();
  EndRun(window);
}

// True when the close is held back until the run has stopped.
bool OnClose() {
  if (!run_under_way) return false;
  close_requested = true;
  return true;
}

// The end of the session is never refused: the run can stop in time. While one is under way,
// Windows is told why the program wants a moment.
LRESULT OnQueryEndSession(HWND window) {
  if (run_under_way) GiveSessionEndReason(window, program_instance);
  return TRUE;
}

// Windows may end the program as soon as this returns: the run is stopped as a close stops it,
// after the message being written, and waited for. Whatever it shows is cancelled, nobody being
// left to answer it; a run waiting behind a notice or dialog in a frame further out stops when
// that returns, which it does at once, and writes nothing meanwhile. The window then closes as
// after a close in mid-run.
void OnEndSession(bool ending) {
  if (!ending || !run_under_way) return;
  close_requested = true;
  DropWindowThreadCalls();
  CancelThreadDialogs();
  WaitForRunThreadWork(kSessionEndWaitMs);
}

// True when the command was handled; the rest goes to the plain default procedure, which
// ignores Enter (1) and Escape (2).
bool OnCommand(HWND window, int id) {
  switch (id) {
    case FERROLT_EXECUTE:
      OnExecute(window);
      return true;
    case FERROLT_EXIT:
      if (!OnClose()) DestroyWindow(window);
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

bool ClosedDuringRun() { return closed_during_run; }

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
    case WM_CLOSE:
      if (OnClose()) return 0;
      break;
    case WM_QUERYENDSESSION:
      return OnQueryEndSession(window);
    case WM_ENDSESSION:
      OnEndSession(wparam != FALSE);
      return 0;
    case kRunEndedMessage:
      OnRunEnded(window);
      return 0;
    case kWindowThreadCallMessage:
      RunPostedCall(lparam);
      return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace ferrolt
