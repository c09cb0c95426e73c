// The GUI test driver, run under Wine by tests/gui/run.sh, one phase per start, because the
// registry and the screen density change between phases.
//   gui_driver.exe large|main|session FERROLT_EXE DATA_ROOT
// The first two phases check the start state and the dialog sets chosen by density. The main phase
// then drives runs through the window (Execute and drops from this process, with the file dialogs,
// the progress window and every notice read back) and compares each output byte for byte with what
// the same portable run writes when called here with the choices the window was given, so a
// choice the window loses on the way shows. The session phase ends the session, as Windows does
// at log-off, in the middle of a run, of a dialog and of a notice.

#include <windows.h>
// After <windows.h>, which they need.
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/session_end.h"
#include "convert/runs.h"
#include "resources/resource_ids.h"
#include "tests/support/fake_front_end.h"
#include "tests/support/store_builder.h"

namespace ferrolt::gui {
namespace {

namespace fs = std::filesystem;
using namespace ferrolt::testing;
using Files = std::map<std::string, std::string>;  // name and bytes of each file of a folder

// The file dialogs' cmb13 and cmb1, a message box's text.
constexpr int kFileNameCombo = 0x47C, kFilterCombo = 0x470, kBoxText = 0xFFFF;
// Messages of the big mailbox: more than a 16-bit progress range holds, and enough that the run
// goes on while the checks made during it take their time.
constexpr size_t kBig = 200000;

PROCESS_INFORMATION program = {};  // the program under test
HWND main_window = nullptr;        // and its main window
int check_count = 0, failure_count = 0;

bool CheckText(const std::string& actual, const std::string& expected, const std::string& what) {
  const bool ok = actual == expected;
  ++check_count;
  failure_count += !ok;
  std::printf("%s %s\n", ok ? "  ok  " : "  FAIL", what.c_str());
  if (!ok) std::printf("  got:      [%s]\n  expected: [%s]\n", actual.c_str(), expected.c_str());
  std::fflush(stdout);
  return ok;
}

bool Check(bool ok, const std::string& what) { return CheckText(ok ? "yes" : "no", "yes", what); }

// Waits up to `ms` for `done` to hold, answering this thread's windows meanwhile.
template <typename Condition>
bool WaitFor(Condition done, DWORD ms) {
  for (DWORD start = GetTickCount(); !done();) {
    if (GetTickCount() - start > ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
  }
  return true;
}

// The program's main window once it is up (the process is idle then; one that ends without a
// window is not waited for either), or null.
HWND StartProgram(const std::string& exe, PROCESS_INFORMATION* process) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  CreateProcessA(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                 process);
  WaitForInputIdle(process->hProcess, 15000);
  HWND window = FindWindowA("Ferrolt", nullptr);
  return IsWindowVisible(window) ? window : nullptr;
}

// The exit code, STILL_ACTIVE if the process did not end in time (it is ended then).
int WaitForExit(PROCESS_INFORMATION* process, DWORD timeout_ms) {
  DWORD code = 0;
  WaitForSingleObject(process->hProcess, timeout_ms);
  GetExitCodeProcess(process->hProcess, &code);
  TerminateProcess(process->hProcess, 99);
  CloseHandle(process->hThread);
  CloseHandle(process->hProcess);
  return static_cast<int>(code);
}

// Waits for a visible top-level "#32770" window of the program that has a child with `child_id`
// (0 ms: looks once). Every window the program shows belongs to its first thread.
HWND DialogWithChild(int child_id, DWORD timeout_ms = 20000) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        while ((found = FindWindowExA(nullptr, found, "#32770", nullptr)) &&
               (GetWindowThreadProcessId(found, nullptr) != program.dwThreadId ||
                !IsWindowVisible(found) || !GetDlgItem(found, child_id))) {
        }
        return found != nullptr;
      },
      timeout_ms);
  return found;
}

bool WaitUntilGone(HWND window) {
  return WaitFor([window] { return !IsWindow(window) || !IsWindowVisible(window); }, 5000);
}

// In UTF-8, as this file's texts. WM_GETTEXT itself: GetWindowText of another process's control
// returns only the window's stored name, not an edit control's contents.
std::string WindowText(HWND window) {
  wchar_t text[2048] = L"";
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000,
                      &ignored);
  char utf8[3 * 2048] = "";
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  return utf8;
}

// The main window's controls as one word: 1 ticked, 0 not, - greyed.
std::string Choices() {
  std::string choices;
  for (int id :
       {FERROLT_OUTPUT_DIRECT, FERROLT_OUTPUT_EML, FERROLT_PREFER_HALF_KANA, FERROLT_PREFER_EUC,
        FERROLT_INCLUDE_DELETED, FERROLT_CONVERSION_GROUP, FERROLT_EXECUTE}) {
    bool ticked = SendDlgItemMessageA(main_window, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
    choices += !IsWindowEnabled(GetDlgItem(main_window, id)) ? '-' : ticked ? '1' : '0';
  }
  return choices;
}

// Posted like every other input here, so each is taken in the order given.
void Click(std::initializer_list<int> ids) {
  for (int id : ids) PostMessageA(GetDlgItem(main_window, id), BM_CLICK, 0, 0);
}

// Waits for the notice a run ends with, checks caption and text, answers it, and checks that no
// second notice follows.
void CheckNotice(const std::string& text, const std::string& what, bool error = false) {
  HWND box = DialogWithChild(kBoxText);
  // Of an error notice only the beginning: the system's text after it is the notices' business.
  std::string seen = WindowText(box) + " " +
                     WindowText(GetDlgItem(box, kBoxText)).substr(0, error ? text.size() : -1);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  if (!WaitUntilGone(box) || DialogWithChild(kBoxText, 500)) seen += " + another notice";
  CheckText(seen, (error ? "Ferroltエラー " : "Ferroltメッセージ ") + text,
            what + ": the one notice's caption and text");
}

// Waits for the Open or Save dialog and returns its "title | file name | filter" as shown; then
// chooses `path` there, or cancels when it is empty.
std::string AnswerFileDialog(const std::string& path) {
  HWND dialog = DialogWithChild(kFileNameCombo);
  WaitFor([] { return false; }, 200);  // it fills its controls after showing
  std::string shown = WindowText(dialog) + " | " + WindowText(GetDlgItem(dialog, kFileNameCombo)) +
                      " | " + WindowText(GetDlgItem(dialog, kFilterCombo));
  if (GetWindow(dialog, GW_OWNER) != main_window) shown += " | not owned by the main window";
  SendDlgItemMessageA(dialog, kFileNameCombo, WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(dialog, WM_COMMAND, path.empty() ? IDCANCEL : IDOK, 0);
  WaitUntilGone(dialog);
  return shown;
}

// Puts a DROPFILES block for `paths` into the program's memory (a handle of our own would mean
// nothing there; the block stays until the program ends) and posts WM_DROPFILES.
bool DropFiles(const std::vector<std::string>& paths) {
  DROPFILES header = {sizeof header, {0, 0}, FALSE, FALSE};
  std::string block(reinterpret_cast<const char*>(&header), sizeof header);
  for (const std::string& path : paths) block += path + '\0';  // the string's own NUL ends the list
  void* remote = VirtualAllocEx(program.hProcess, nullptr, block.size() + 1,
                                MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  return remote != nullptr &&
         WriteProcessMemory(program.hProcess, remote, block.c_str(), block.size() + 1, nullptr) &&
         PostMessageA(main_window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
}

// The files of `folder`, which is emptied for the next run.
Files TakeFiles(const std::string& folder) {
  Files files;
  for (const fs::directory_entry& file : fs::directory_iterator(folder))
    files[file.path().filename().string()] = ReadFileBytes(file.path().string());
  fs::remove_all(folder);
  fs::create_directories(folder);
  return files;
}

// What a window's run over the mailboxes `paths` should write, by the portable run with the same
// choices. (A folder run converts each mailbox as a drop of it does.)
Files PortableRun(const std::string& root, bool import, const std::vector<std::string>& paths,
                  bool skip_deleted, bool half_width_kana = true) {
  const std::string output = root + "\\expected";
  FakeFrontEnd front_end;
  front_end.target = output + "\\";
  front_end.prefix = output + "\\e";
  NoticeRecorder notices;  // the window's own are read off the screen
  RunState state;
  state.choices.include_deleted = !skip_deleted;
  state.choices.prefer_euc = !half_width_kana;
  import ? RunDroppedImport(&state, &front_end, paths)
         : RunDroppedExport(&state, &front_end, paths);
  return TakeFiles(output);
}

void CheckFiles(const std::string& folder, const Files& expected, const std::string& what) {
  Check(!expected.empty() && TakeFiles(folder) == expected,
        what + ": " + std::to_string(expected.size()) + " files equal byte for byte");
}

// Source stores and folders of the runs below.
void MakeStores(const std::string& root) {
  for (const char* folder : {"\\store\\Mail", "\\corvane\\User3", "\\k", "\\eml", "\\expected"})
    fs::create_directories(root + folder);
  const auto write = [&](const char* folder, const char* name, std::vector<MessageSpec> messages) {
    StoreSpec spec;
    spec.messages = std::move(messages);
    WriteStore(root + folder, name, BuildStore(spec));
  };
  write("\\store\\Mail", "Inbox",
        {{SimpleMessage("read", "one\r\n"), 0, 3},
         {SimpleMessage("deleted", "two\r\n"), 1, 0},
         {SimpleMessage("unread", "three\r\n"), 2, 5}});
  // "です。" in EUC-JP, every byte in 0xA1..0xDF: half-width kana as well in Shift_JIS. The big
  // mailbox holds the same message over and over.
  const MessageSpec kana = {SimpleMessage("k", "\xa4\xc7\xa4\xb9\xa1\xa3\r\n"), 0, 0};
  write("\\k", "Kana", {kana});
  write("\\k", "Big", std::vector<MessageSpec>(kBig, kana));
}

// How much of a progress window's bar is filled, 0 to 1, by its own position and range.
double FilledFraction(HWND progress) {
  return double(SendDlgItemMessageA(progress, FERROLT_PROGRESS_BAR, PBM_GETPOS, 0, 0)) /
         SendDlgItemMessageA(progress, FERROLT_PROGRESS_BAR, PBM_GETRANGE, FALSE, 0);
}

// The runs through the window. The last is closed mid-run, which ends the program.
void RunConversionCases(const std::string& root) {
  const std::string target = root + "\\corvane\\User3\\From MS-IM", eml = root + "\\eml";
  const std::string store = root + "\\store\\Mail\\";
  MakeStores(root);

  // With the source client's window open (one of ours stands in) the store is chosen in the
  // Open dialog (a cancel there ends the command quietly), then the prefix in the Save dialog.
  WNDCLASSA source_class = {0,       DefWindowProcA, 0,       0,       nullptr,
                            nullptr, nullptr,        nullptr, nullptr, "CabinetWClass"};
  RegisterClassA(&source_class);
  HWND source_client = CreateWindowA("CabinetWClass", "Internet Mail", WS_OVERLAPPEDWINDOW, 0, 0,
                                     200, 100, nullptr, nullptr, nullptr, nullptr);
  Click({FERROLT_OUTPUT_EML, FERROLT_INCLUDE_DELETED, FERROLT_EXECUTE});
  std::string dialogs = AnswerFileDialog("") + " / ";
  WaitFor([] { return Choices() == "01--1-0"; }, 2000);
  dialogs += Choices() + (GetForegroundWindow() == main_window ? " / " : " behind / ");
  Click({FERROLT_EXECUTE});
  dialogs += AnswerFileDialog(store + "Inbox.mbx") + " / ";
  dialogs += AnswerFileDialog(eml + "\\e");
  const std::string open = "\"*.mbx\" ファイル読み込み位置 |  | Import mbx file / ";
  CheckText(dialogs,
            open + "01--1-0 / " + open + "\"*.eml\" ファイル出力位置 | exp | Export eml file",
            "Open dialog cancelled (.eml chosen), Open and Save dialogs: shown, owned, answered");
  CheckNotice("1 個のメールボックスから、計 3 通のメールを変換しました。\n（内、削除メール 1 通）",
              "store chosen in the Open dialog, deleted mail included");
  CheckFiles(eml, PortableRun(root, false, {store + "Inbox.mbx"}, false),
             ".eml files of the chosen folder");
  DestroyWindow(source_client);
  // A prefix longer than the old 256-byte buffer reaches the run, where the file system refuses
  // names past MAX_PATH with its own code: the one error notice.
  Click({FERROLT_EXECUTE});
  AnswerFileDialog(eml + "\\" + std::string(250, 'x'));
  CheckNotice("CreateFile(Destination) のエラーです。Code=<206>\n", "long export prefix", true);

  // Drops from this process into the target client, mixed extensions from two folders, once with
  // each code conversion choice: a text that reads as EUC-JP and as half-width kana comes out as
  // the choice has it read.
  const std::vector<std::string> drop = {store + "Inbox.mbx", store + "Inbox.idx",
                                         root + "\\k\\Kana.mbx"};
  Click({FERROLT_OUTPUT_DIRECT, FERROLT_INCLUDE_DELETED});
  std::map<int, Files> outputs;
  for (int choice : {FERROLT_PREFER_EUC, FERROLT_PREFER_HALF_KANA}) {
    const std::string what =
        choice == FERROLT_PREFER_EUC ? "drop, EUC-JP chosen" : "drop, half-width kana chosen";
    outputs[choice] = PortableRun(root, true, drop, true, choice == FERROLT_PREFER_HALF_KANA);
    Click({choice});
    DropFiles(drop);
    CheckNotice("2 個のメールボックスから、計 3 通のメールを変換しました。", what);
    CheckFiles(target, outputs[choice], what + ": the text read so");
  }
  Check(outputs[FERROLT_PREFER_EUC] != outputs[FERROLT_PREFER_HALF_KANA],
        "the two readings differ, so the window's choice shows in the output");
  WaitFor([] { return Choices() == "1010000"; }, 5000);  // the last run's end
  std::string during = Choices() + " / ";

  // A big mailbox: the progress window mid-run, its 32-bit range, its label and the run thread;
  // then a close mid-run, which stops the run between messages and ends the program with 0.
  const std::string one = outputs[FERROLT_PREFER_HALF_KANA]["Kana.mbx"];  // as the big one's read
  const std::string big = target + "\\Big.mbx";
  auto written = [&] { return fs::exists(big) ? fs::file_size(big) / one.size() : 0; };
  DropFiles({root + "\\k\\Big.mbx"});
  HWND progress = DialogWithChild(FERROLT_PROGRESS_BAR);
  // The bar follows the run: about a tenth filled at a tenth of the messages written, not full as
  // a range cut to 16 bits (200000 becomes 3392) would show it.
  WaitFor([&] { return written() >= kBig / 10; }, 20000);
  double first = FilledFraction(progress), second = first;
  // (Beyond a margin: on i686 a fresh quotient has more precision than the stored one.)
  WaitFor([&] { return (second = FilledFraction(progress)) > first + 1e-9; }, 8000);
  Check(GetWindow(progress, GW_OWNER) == nullptr && first > 0.05 && first < 0.5 &&
            second > first + 1e-9,
        "progress window owned by none; its bar follows the run: " + std::to_string(first) +
            " at a tenth of the messages, then " + std::to_string(second));
  // While a run goes on both windows answer at once, as Windows demands of a window that is not
  // to be called hung; the main window's controls take no input and drops are let go.
  // (Both windows belong to the window thread.)
  DWORD_PTR ignored = 0;
  during += WindowText(GetDlgItem(progress, FERROLT_PROGRESS_LABEL)) + " " + Choices();
  if (!SendMessageTimeoutA(main_window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &ignored)) {
    during += " + not answering within 200 ms";
  }
  CheckText(
      during, "1010000 / Big.mbx -------",
      "controls enabled after the runs; during one: progress label, controls greyed, answers");
  const bool dropped = DropFiles({store + "Inbox.mbx"});
  PostMessageA(main_window, WM_CLOSE, 0, 0);
  const int code = WaitForExit(&program, 20000);
  std::string output = ReadFileBytes(big), copies;
  while (copies.size() < output.size()) copies += one;
  Check(code == 0 && dropped && !output.empty() && output == copies &&
            output.size() < kBig * one.size() && !fs::exists(target + "\\Inbox.mbx"),
        "closing mid-run: exit code 0, whole messages only (" + std::to_string(written()) + " of " +
            std::to_string(kBig) + "), the drop during the run let go");
}

// Which dialog set a window was made from, told by the pixel size of one of its controls (of
// `units` dialog units): the size that an About box of that set, made here from the program's own
// templates, maps them to. The two sets must differ there, or the check could not tell them apart.
void CheckDialogSet(const std::string& exe, HWND dialog, int control, RECT units, int offset,
                    const std::string& what) {
  const auto size_in_set = [&](int set) {
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HWND made = CreateDialogParamA(module, MAKEINTRESOURCEA(FERROLT_ABOUT_TEMPLATE + set), nullptr,
                                   nullptr, 0);
    RECT mapped = units;
    MapDialogRect(made, &mapped);
    DestroyWindow(made);
    FreeLibrary(module);
    return std::to_string(mapped.right) + "x" + std::to_string(mapped.bottom);
  };
  RECT rect = {};
  GetWindowRect(GetDlgItem(dialog, control), &rect);
  const std::string mine = size_in_set(offset);
  CheckText(std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top) +
                (mine == size_in_set(FERROLT_LARGE_SET_OFFSET - offset) ? " in either set" : ""),
            mine, what + (offset == 0 ? " is laid out in the normal set" : " in the large set"));
}

// Both phases: a start with the start state `choices`, the dialog set of the main window and of
// the About box (from the system menu; closed by `close` posted to its OK button).
bool StartAndCheckSets(const std::string& exe, const std::string& choices, int offset, UINT close,
                       WPARAM key) {
  if (!Check((main_window = StartProgram(exe, &program)) != nullptr, "starts")) return false;
  CheckText(Choices(), choices, "start state of the choices");
  CheckDialogSet(exe, main_window, FERROLT_EXECUTE, {0, 0, 55, 15}, offset, "main window");
  PostMessageA(main_window, WM_SYSCOMMAND, FERROLT_ABOUT_COMMAND, 0);
  HWND about = DialogWithChild(FERROLT_WEB_ADDRESS, 5000);
  CheckDialogSet(exe, about, FERROLT_WEB_ADDRESS, {0, 0, 185, 10}, offset, "About box");
  PostMessageA(GetDlgItem(about, IDOK), close, key, 0);
  return Check(about != nullptr && WaitUntilGone(about), "About box closed by OK or Escape");
}

void RunMainCases(const std::string& exe, const std::string& root) {
  if (!StartAndCheckSets(exe, "1010000", 0, WM_KEYDOWN, VK_ESCAPE)) return;
  // A second start brings the first window back, restored, and ends with 1.
  ShowWindow(main_window, SW_MINIMIZE);
  WaitFor([] { return IsIconic(main_window) != 0; }, 2000);
  PROCESS_INFORMATION second = {};
  StartProgram(exe, &second);
  Check(WaitForExit(&second, 10000) == 1 &&
            WaitFor([] { return !IsIconic(main_window) && IsWindowVisible(main_window); }, 3000),
        "a second start restores the first window and ends at once with exit code 1");
  RunConversionCases(root);
}

// Without the target client installed, at 120 dpi.
void RunLargeFontCases(const std::string& exe) {
  if (!StartAndCheckSets(exe, "-1--0-0", FERROLT_LARGE_SET_OFFSET, BM_CLICK, 0)) return;
  PostMessageA(GetDlgItem(main_window, FERROLT_EXIT), BM_CLICK, 0, 0);
  Check(WaitForExit(&program, 10000) == 1, "Exit ends the program with exit code 1");
}

// Ends the session as Windows does at log-off: asks, then tells, each sent and waited for. Gives
// what the two answers show: "agreed" and the milliseconds WM_ENDSESSION took.
std::string EndSession(DWORD* end_ms) {
  DWORD_PTR agreed = 0, ignored = 0;
  std::string shown = SendMessageTimeoutA(main_window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                          SMTO_NORMAL, 10000, &agreed) &&
                              agreed
                          ? "agreed"
                          : "refused";
  const DWORD start = GetTickCount();
  if (!SendMessageTimeoutA(main_window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000,
                           &ignored)) {
    shown += ", WM_ENDSESSION not answered";
  }
  *end_ms = GetTickCount() - start;
  return shown;
}

// The session ends while `setup` has something under way that the window shows; checks that the
// end is agreed to and waited for briefly, and that the program then ends as after a close in
// mid-run (exit code 0), its dialogs and notices gone with it. `ended` runs as soon as
// WM_ENDSESSION has returned.
void CheckSessionEnd(const std::string& exe, const std::function<void()>& setup,
                     const std::function<void()>& ended, const std::string& what) {
  if (!Check((main_window = StartProgram(exe, &program)) != nullptr, "starts")) return;
  setup();
  DWORD end_ms = 0;
  std::string shown = EndSession(&end_ms);
  ended();
  if (end_ms > kSessionEndWaitMs + 500)
    shown += ", WM_ENDSESSION took " + std::to_string(end_ms) + " ms";
  shown += ", exit code " + std::to_string(WaitForExit(&program, 10000));
  CheckText(shown, "agreed, exit code 0",
            what + ": session end agreed, answered in " + std::to_string(end_ms) +
                " ms, then the program ended");
}

// Log-off during an import, during the Save dialog and during the summary notice.
void RunSessionCases(const std::string& exe, const std::string& root) {
  const std::string target = root + "\\corvane\\User3\\From MS-IM", big = target + "\\Big.mbx";
  MakeStores(root);
  fs::remove_all(target);
  const std::string one = PortableRun(root, true, {root + "\\k\\Kana.mbx"}, true)["Kana.mbx"];
  auto written = [&] { return fs::exists(big) ? fs::file_size(big) : 0; };
  uintmax_t at_end = 0, later = 0;
  CheckSessionEnd(
      exe,
      [&] {
        DropFiles({root + "\\k\\Big.mbx"});
        WaitFor([&] { return written() >= kBig / 20 * one.size(); }, 20000);
      },
      [&] {
        at_end = written();
        WaitFor([] { return false; }, 700);
        later = written();
      },
      "import");
  std::string output = ReadFileBytes(big), copies;
  while (copies.size() < output.size()) copies += one;
  Check(at_end > 0 && later == at_end && output.size() == at_end && output == copies &&
            output.size() < kBig * one.size(),
        "log-off mid-import: nothing written after WM_ENDSESSION returned (" +
            std::to_string(at_end) + " bytes, " + std::to_string(later) +
            " 0.7 s later), whole messages only (" + std::to_string(output.size() / one.size()) +
            " of " + std::to_string(kBig) + ")");
  fs::remove_all(target);
  CheckSessionEnd(
      exe,
      [&] {
        Click({FERROLT_OUTPUT_EML, FERROLT_EXECUTE});
        DialogWithChild(kFileNameCombo);
      },
      [] {}, "Save dialog up");
  Check(fs::is_empty(root + "\\eml"), "log-off during the Save dialog: nothing exported");
  CheckSessionEnd(
      exe,
      [&] {
        Click({FERROLT_OUTPUT_DIRECT});
        DropFiles({root + "\\k\\Kana.mbx"});
        DialogWithChild(kBoxText);
      },
      [] {}, "summary notice up");
}

}  // namespace
}  // namespace ferrolt::gui

int main(int argc, char** argv) {
  using namespace ferrolt::gui;
  if (argc != 4) return 101;  // see the top of this file
  const std::string phase = argv[1];
  if (phase == "large") RunLargeFontCases(argv[2]);
  if (phase == "main") RunMainCases(argv[2], argv[3]);
  if (phase == "session") RunSessionCases(argv[2], argv[3]);
  std::printf("phase %s: %d checks, %d failed\n", argv[1], check_count, failure_count);
  return failure_count != 0;
}
