#include "app/main_window.h"

#include <shellapi.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/about_box.h"
#include "app/file_dialogs.h"
#include "app/progress_window.h"
#include "app/run_thread.h"
#include "app/session_end.h"
#include "app/window_choices.h"
#include "app/window_front_end.h"
#include "convert/runs.h"
#include "notices/catalogue.h"
#include "notices/notices.h"
#include "resources/resource_ids.h"
#include "stores/source_store.h"
#include "stores/target_client.h"

namespace ferrolt {
namespace {

// What the run thread may touch. The window thread fills it before the run starts and leaves it
// alone until the run has ended, but for close_requested, which it may set at any time.
struct SharedWithRun {
  // What every run shares: SourceDir, TargetDir, ExportPrefix, ConversionRun and the choices.
  RunState run_state;
  // Closing the window during a run asks the run to stop before its next message, so every file
  // written holds whole messages; the window closes when the run has ended.
  std::atomic<bool> close_requested{false};
};

// Everything the main window keeps, made with the window and deleted with it. Only `run` is
// shared with the run thread; the rest belongs to the window thread.
struct MainWindow {
  HWND window = nullptr;
  HINSTANCE instance = nullptr;
  int dialog_set_offset = 0;  // DialogSetOffset: 0, or 10 for the large-font dialogs
  // From Execute or a drop until the run thread has ended, its dialogs included. Meanwhile a
  // drop is let go unread and Execute does nothing: a second run would share the first's state.
  bool run_under_way = false;
  bool closed_during_run = false;
  // Each control and whether it was enabled before the run greyed them all.
  std::vector<std::pair<HWND, BOOL>> held_controls;
  HWND focus_before_run = nullptr;
  SharedWithRun run;
};

MainWindow* StateOf(HWND window) {
  return reinterpret_cast<MainWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

bool IsButtonOn(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

// The user's choices as the controls show them when a run starts; the run holds the controls
// until it ends, so they cannot change under it. The window offers no salvage.
RunChoices ReadRunChoices(HWND window) {
  RunChoices choices;
  choices.include_deleted = IsButtonOn(window, FERROLT_INCLUDE_DELETED);
  choices.prefer_euc = !IsButtonOn(window, FERROLT_PREFER_HALF_KANA);
  return choices;
}

void PrepareRunState(MainWindow* w) {
  SharedWithRun& run = w->run;
  run.run_state.choices = ReadRunChoices(w->window);
  run.run_state.stop_requested = [&run] { return run.close_requested.load(); };
}

// Greys every control, as a modal dialog would the whole window; the window itself stays
// enabled so that it can still be moved, minimized and closed.
void HoldControls(MainWindow* w) {
  w->focus_before_run = GetFocus();
  for (HWND control = GetWindow(w->window, GW_CHILD); control != nullptr;
       control = GetWindow(control, GW_HWNDNEXT)) {
    w->held_controls.emplace_back(control, IsWindowEnabled(control));
    EnableWindow(control, FALSE);
  }
}

void ReleaseControls(MainWindow* w) {
  for (const auto& [control, enabled] : w->held_controls) EnableWindow(control, enabled);
  w->held_controls.clear();
  if (w->focus_before_run != nullptr && IsWindowEnabled(w->focus_before_run) &&
      GetActiveWindow() == w->window) {
    SetFocus(w->focus_before_run);
  }
  w->focus_before_run = nullptr;
}

void BeginRun(MainWindow* w) {
  w->run_under_way = true;
  w->run.close_requested = false;
  HoldControls(w);
  PrepareRunState(w);
}

// May destroy the window, and `w` with it: nothing is to touch either afterwards.
void EndRun(MainWindow* w) {
  WithdrawSessionEndReason(w->window);
  ReleaseControls(w);
  w->run_under_way = false;
  if (w->run.close_requested) {
    w->closed_during_run = true;
    DestroyWindow(w->window);
  }
}

using RunWork = void (*)(RunState* state, RunFrontEnd* front_end,
                         const std::vector<std::string>& paths);

// Hands the run to its own thread, whose end the window hears as kRunEndedMessage. The thread
// gets the run's shared part and copies of what its front end needs, nothing else of the window.
void StartRun(MainWindow* w, RunWork work, std::vector<std::string> paths) {
  std::function<void()> call = [work, paths = std::move(paths), run = &w->run, window = w->window,
                                instance = w->instance, offset = w->dialog_set_offset] {
    WindowRunFrontEnd front_end(window, instance, offset, &run->close_requested);
    work(&run->run_state, &front_end, paths);
  };
  if (StartRunThread(w->window, call)) return;
  call();  // no thread to be had: the run holds the window thread, as it would on one thread
  EndRun(w);
}

// The folder runs in the shape of the dropped ones, which StartRun takes.
void ImportFolder(RunState* state, RunFrontEnd* front_end, const std::vector<std::string>&) {
  RunFolderImport(state, front_end);
}
void ExportFolder(RunState* state, RunFrontEnd* front_end, const std::vector<std::string>&) {
  RunFolderExport(state, front_end);
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

void EditSystemMenu(HWND window, HINSTANCE instance) {
  HMENU menu = GetSystemMenu(window, FALSE);
  DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  char text[32];
  if (LoadStringA(instance, kAboutMenuItem, text, sizeof text) <= 0) {
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

// The program's exit code rides on the quit message: a run cut short by closing the window is
// no normal end.
void OnDestroy(MainWindow* w) {
  GetSystemMenu(w->window, TRUE);  // gives the window back the system's own menu
  PostQuitMessage(w->closed_during_run ? 0 : 1);
}

// The last message the window gets: its state goes with it.
void OnNonClientDestroy(HWND window, MainWindow* w) {
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  delete w;
}

void OnNonClientLeftButtonDown(HWND window, WPARAM hit_test) {
  if (hit_test == HTMINBUTTON) UpdateSystemMenuStates(window);
}

void OnSystemCommand(MainWindow* w, WPARAM command) {
  if (command == FERROLT_ABOUT_COMMAND) ShowAboutBox(w->instance, w->window, w->dialog_set_offset);
}

void OnExecute(MainWindow* w) {
  if (w->run_under_way) return;
  bool import = IsButtonOn(w->window, FERROLT_OUTPUT_DIRECT);
  bool export_eml = IsButtonOn(w->window, FERROLT_OUTPUT_EML);
  BeginRun(w);
  // The source is located here, on the window thread: it may show the Open dialog.
  if (!LocateSourceStore(&w->run.run_state.source_dir, PromptSourceFolder, w->window) ||
      w->run.close_requested || !(import || export_eml)) {
    EndRun(w);
    return;
  }
  StartRun(w, import ? ImportFolder : ExportFolder, {});
}

void OnDropFiles(MainWindow* w, HDROP drop) {
  if (w->run_under_way) {
    DragFinish(drop);  // taken and let go: the shell's drop ends, no second run starts
    return;
  }
  std::vector<std::string> paths = ReadDroppedPaths(drop);
  DragFinish(drop);
  bool import = IsButtonOn(w->window, FERROLT_OUTPUT_DIRECT);
  if (!import && !IsButtonOn(w->window, FERROLT_OUTPUT_EML)) return;
  BeginRun(w);
  StartRun(w, import ? RunDroppedImport : RunDroppedExport, std::move(paths));
}

void OnRunEnded(MainWindow* w) {
  FinishRunThread();
  EndRun(w);
}

// True when the close is held back until the run has stopped.
bool OnClose(MainWindow* w) {
  if (!w->run_under_way) return false;
  w->run.close_requested = true;
  return true;
}

// The end of the session is never refused: the run can stop in time. While one is under way,
// Windows is told why the program wants a moment.
LRESULT OnQueryEndSession(MainWindow* w) {
  if (w->run_under_way) GiveSessionEndReason(w->window, w->instance);
  return TRUE;
}

// Windows may end the program as soon as this returns: the run is stopped as a close stops it,
// after the message being written, and waited for. Whatever it shows is cancelled, nobody being
// left to answer it; a run waiting behind a notice or dialog in a frame further out stops when
// that returns, which it does at once, and writes nothing meanwhile. The window then closes as
// after a close in mid-run.
void OnEndSession(MainWindow* w, bool ending) {
  if (!ending || !w->run_under_way) return;
  w->run.close_requested = true;
  DropWindowThreadCalls();
  CancelThreadDialogs();
  WaitForRunThreadWork(kSessionEndWaitMs);
}

// True when the command was handled; the rest goes to the plain default procedure, which
// ignores Enter (IDOK) and Escape (IDCANCEL).
bool OnCommand(MainWindow* w, int id) {
  switch (id) {
    case FERROLT_EXECUTE:
      OnExecute(w);
      return true;
    case FERROLT_EXIT:
      if (!OnClose(w)) DestroyWindow(w->window);
      return true;
    case FERROLT_OUTPUT_DIRECT:
      EnableConversionChoices(w->window, true);
      return false;
    case FERROLT_OUTPUT_EML:
      EnableConversionChoices(w->window, false);
      return false;
    default:
      return false;
  }
}

// The window's own messages, once it has its state; nullopt for those the default procedure
// answers.
std::optional<LRESULT> HandleMessage(MainWindow* w, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_DESTROY:
      OnDestroy(w);
      return 0;
    case WM_NCLBUTTONDOWN:
      OnNonClientLeftButtonDown(w->window, wparam);
      return std::nullopt;
    case WM_INITMENU:
      UpdateSystemMenuStates(w->window);
      return 0;
    case WM_SYSCOMMAND:
      OnSystemCommand(w, wparam);
      return std::nullopt;
    case WM_COMMAND:
      if (OnCommand(w, LOWORD(wparam))) return 0;
      return std::nullopt;
    case WM_DROPFILES:
      OnDropFiles(w, reinterpret_cast<HDROP>(wparam));
      return 0;
    case WM_CLOSE:
      if (OnClose(w)) return 0;
      return std::nullopt;
    case WM_QUERYENDSESSION:
      return OnQueryEndSession(w);
    case WM_ENDSESSION:
      OnEndSession(w, wparam != FALSE);
      return 0;
    case kRunEndedMessage:
      OnRunEnded(w);
      return 0;
    case kWindowThreadCallMessage:
      RunPostedCall(lparam);
      return 0;
  }
  return std::nullopt;
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
  auto state = std::make_unique<MainWindow>();
  state->instance = instance;
  HDC desktop = GetDC(GetDesktopWindow());
  int logical_dpi = GetDeviceCaps(desktop, LOGPIXELSX);
  ReleaseDC(GetDesktopWindow(), desktop);
  state->dialog_set_offset = ChooseDialogSetOffset(logical_dpi);

  // No dialog procedure: the class's window procedure is the dialog's handler.
  HWND window = CreateDialogParamA(
      instance, MAKEINTRESOURCEA(FERROLT_MAIN_TEMPLATE + state->dialog_set_offset), nullptr,
      nullptr, 0);
  if (window == nullptr) {
    ShowMessage(kWindowFailed, kCaptionProgramError);
    return nullptr;
  }
  state->window = window;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state.release()));
  DragAcceptFiles(window, TRUE);
  EditSystemMenu(window, instance);
  SetInitialChoices(window);
  ShowWindow(window, ChooseStartShowCommand(show_command));
  // Windows may have shown it as the starter asked rather than as told.
  int show_again = ChooseShowAfterFirstShow(IsZoomed(window) != 0);
  if (show_again != 0) ShowWindow(window, show_again);
  UpdateWindow(window);
  return window;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  // Until CreateMainWindow gives the window its state only the default procedure answers.
  MainWindow* w = StateOf(window);
  if (w == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    OnNonClientDestroy(window, w);
    return DefWindowProcA(window, message, wparam, lparam);
  }
  std::optional<LRESULT> handled = HandleMessage(w, message, wparam, lparam);
  return handled ? *handled : DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace ferrolt
