// The GUI test driver, run under Wine by tests/gui/run.sh, one phase per start, because the
// registry and the screen density change between phases.
//   gui_driver.exe large|main FERROLT_EXE DATA_ROOT SHOTS_FOLDER
// The main window's own cases: start state, single instance, the About box, the dialog set chosen
// by density, Exit and closing. The runs through the window (Execute and drops, into the target
// client and to .eml files, with the dialogs, the progress window and every notice read back)
// compare each output byte for byte with what the same portable run writes when called directly in
// this process with the choices the window was given, so a choice the window loses on the way
// shows.

#include <windows.h>
// After <windows.h>, which they need.
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert/runs.h"
#include "resources/resource_ids.h"
#include "tests/support/fake_front_end.h"
#include "tests/support/store_builder.h"

namespace ferrolt::gui {
namespace {

constexpr int kFileNameCombo = 0x47C;  // the common file dialogs' cmb13
constexpr int kFilterCombo = 0x470;    // and cmb1
constexpr int kBoxText = 0xFFFF;

int check_count = 0;
int failure_count = 0;

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

std::string Ansi(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), wide.data(),
                                  (int)wide.size()));
  std::string ansi(wide.size() * 2, '\0');
  ansi.resize(WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), ansi.data(),
                                  (int)ansi.size(), nullptr, nullptr));
  return ansi;
}

struct Program {
  PROCESS_INFORMATION info = {};
  HWND main = nullptr;
};

void Pause(DWORD ms) {
  DWORD start = GetTickCount();
  MSG message;
  do {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  } while (MsgWaitForMultipleObjects(0, nullptr, FALSE,
                                     ms - std::min<DWORD>(ms, GetTickCount() - start),
                                     QS_ALLINPUT) != WAIT_TIMEOUT);
}

// Waits for `condition` to hold, keeping this thread's windows answering meanwhile.
template <typename Condition>
bool WaitFor(Condition condition, DWORD timeout_ms) {
  for (DWORD waited = 0; waited <= timeout_ms; waited += 20) {
    if (condition()) return true;
    Pause(20);
  }
  return false;
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
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        program->main =
            owner == program->info.dwProcessId && IsWindowVisible(window) ? window : nullptr;
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

// Waits for a visible top-level "#32770" window of the process that has a child with `child_id`
// (0 ms: looks once).
HWND DialogWithChild(DWORD process_id, int child_id, DWORD timeout_ms = 20000) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        for (found = FindWindowExA(nullptr, nullptr, "#32770", nullptr); found != nullptr;
             found = FindWindowExA(nullptr, found, "#32770", nullptr)) {
          DWORD owner_process = 0;
          GetWindowThreadProcessId(found, &owner_process);
          if (owner_process == process_id && IsWindowVisible(found) && GetDlgItem(found, child_id))
            return true;
        }
        return false;
      },
      timeout_ms);
  return found;
}

bool WaitUntilGone(HWND window, DWORD timeout_ms = 5000) {
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
  // 32 bits a pixel, top row first.
  BITMAPINFOHEADER info = {sizeof info, *width, -*height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
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

void Screenshot(HWND window, const std::string& folder, const std::string& name) {
  int width = 0, height = 0;
  std::string bmp = CaptureScreen(window, &width, &height);
  if (!bmp.empty()) std::ofstream(folder + "\\" + name + ".bmp", std::ios::binary) << bmp;
}

namespace fs = std::filesystem;
using namespace ferrolt::testing;

// Writes into `output` (returned) what the window's run should: a folder run over `source_dir`
// when `drop` is empty, else a run over the dropped paths.
std::string RunExpected(bool import, const std::string& source_dir,
                        const std::vector<std::string>& drop, bool skip_deleted,
                        const std::string& output, bool half_width_kana = true) {
  fs::create_directories(output);
  testing::FakeFrontEnd front_end;
  front_end.target = output + "\\";
  front_end.prefix = output + "\\e";
  testing::NoticeRecorder notices;  // the window's own are read off the screen
  RunState state;
  state.source_dir = source_dir;
  state.conversion_run.skip_deleted = skip_deleted;
  if (!half_width_kana) state.prefers_half_width_kana = [](void*) { return false; };
  if (drop.empty()) {
    import ? RunFolderImport(&state, &front_end) : RunFolderExport(&state, &front_end);
  } else {
    import ? RunDroppedImport(&state, &front_end, drop)
           : RunDroppedExport(&state, &front_end, drop);
  }
  return output;
}

// Every file of `expected` is in `actual` with the same bytes, and nothing else is; then empties
// `actual` for the next run.
void CheckSameFiles(const std::string& actual, const std::string& expected,
                    const std::string& what) {
  size_t count = 0, same = 0;
  for (const fs::directory_entry& file : fs::directory_iterator(expected)) {
    fs::path mine = fs::path(actual) / file.path().filename();
    ++count;
    same += fs::exists(mine) && ReadFileBytes(mine.string()) == ReadFileBytes(file.path().string());
  }
  size_t written = fs::remove_all(actual) - 1;  // the folder itself counted too
  fs::create_directories(actual);
  Check(same > 0 && same == count && written == count, what + ": " + std::to_string(same) + " of " +
                                                           std::to_string(written) +
                                                           " files equal byte for byte");
}

std::string Summary(int mailboxes, int messages) {
  return Ansi(std::to_string(mailboxes) + " 個のメールボックスから、計 " +
              std::to_string(messages) + " 通のメールを変換しました。");
}

// Tells the message-box icons apart by their colours: red stop sign, blue disc.
char IconOf(HWND box) {
  HWND icon = nullptr;
  while ((icon = FindWindowExA(box, icon, "Static", nullptr)) != nullptr &&
         (GetWindowLongA(icon, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
  }
  int width = 0, height = 0, red = 0, blue = 0;
  std::string bmp = CaptureScreen(icon, &width, &height);
  const size_t pixels = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  for (int at = 0; at < width * height; ++at) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bmp.data()) + pixels + 4 * at;
    red += p[2] > 150 && p[1] < 90 && p[0] < 90;
    blue += p[0] > 150 && p[2] < 100;
  }
  return red > 20 && red > blue ? 'E' : blue > 20 ? 'I' : '?';
}

// Waits for the one notice a run ends with, checks caption, icon and text (all empty when none
// came; of an error notice only the beginning: the system's text after it is the notices' own
// business) and answers it.
void CheckNotice(const Program& program, const std::string& text, const std::string& what,
                 bool error = false, DWORD wait_ms = 20000) {
  HWND box = DialogWithChild(program.info.dwProcessId, kBoxText, wait_ms);
  Pause(150);  // drawn before its icon is read off the screen
  std::string shown = WindowText(GetDlgItem(box, kBoxText));
  CheckText(WindowText(box) + " " + IconOf(box) + " " +
                shown.substr(0, error ? text.size() : std::string::npos),
            Ansi(error ? "Ferroltエラー E " : "Ferroltメッセージ I ") + text,
            what + ": caption, icon, text");
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  Check(WaitUntilGone(box) && !DialogWithChild(program.info.dwProcessId, kBoxText, 500),
        what + ": no second notice");
}

// Waits for the Open or Save dialog; chooses `path` there unless it is empty.
HWND FileDialog(const Program& program, const std::string& what, const std::string& path = "") {
  HWND dialog = DialogWithChild(program.info.dwProcessId, kFileNameCombo);
  if (!Check(dialog != nullptr, "file dialog for " + what)) return nullptr;
  Pause(200);  // it fills its controls after showing
  if (!path.empty()) {
    SendDlgItemMessageA(dialog, kFileNameCombo, WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    WaitUntilGone(dialog);
  }
  return dialog;
}

// Posted like every other input here, so each is taken in the order given.
void Click(const Program& program, int id) {
  PostMessageA(GetDlgItem(program.main, id), BM_CLICK, 0, 0);
}

// Puts a DROPFILES block for `paths` into the program's memory (a handle of our own would mean
// nothing there; the block stays until the program ends) and posts WM_DROPFILES.
bool DropFiles(const Program& program, const std::vector<std::string>& paths) {
  DROPFILES header = {};
  header.pFiles = sizeof header;
  std::string block(reinterpret_cast<const char*>(&header), sizeof header);
  for (const std::string& path : paths) block += path + '\0';
  block += '\0';
  void* remote = VirtualAllocEx(program.info.hProcess, nullptr, block.size(),
                                MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  return remote != nullptr &&
         WriteProcessMemory(program.info.hProcess, remote, block.data(), block.size(), nullptr) &&
         PostMessageA(program.main, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
}

// How much of a progress bar is filled, 0 to 1, by its own position and range.
double FilledFraction(HWND bar) {
  double range = static_cast<double>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
  return range > 0 ? SendMessageA(bar, PBM_GETPOS, 0, 0) / range : -1;
}

BuiltStore Store(std::vector<MessageSpec> messages) {
  StoreSpec spec;
  spec.messages = std::move(messages);
  return BuildStore(spec);
}

// Source stores and folders of the runs below.
void MakeStores(const std::string& root) {
  for (const char* folder :
       {"\\store\\Mail", "\\corvane\\User3", "\\d1", "\\big", "\\kana", "\\eml"}) {
    fs::create_directories(root + folder);
  }
  std::vector<MessageSpec> inbox = {{SimpleMessage("read", "one\r\n"), 0, 3},
                                    {SimpleMessage("deleted", "two\r\n"), 1, 0},
                                    {SimpleMessage("unread", "three\r\n"), 2, 5}};
  WriteStore(root + "\\store\\Mail", "Inbox", Store(inbox));
  WriteStore(root + "\\d1", "a", Store(inbox));
  testing::WriteFileBytes(root + "\\d1\\notes.txt", "not a mailbox\r\n");
  // "です。" in EUC-JP, every byte in 0xA1..0xDF: half-width kana as well in Shift_JIS.
  WriteStore(root + "\\kana", "Kana",
             Store({{SimpleMessage("k", "\xa4\xc7\xa4\xb9\xa1\xa3\r\n"), 0, 0}}));
  // More messages than a 16-bit progress range holds; the one-message copy for the close case.
  std::vector<MessageSpec> big(1, {"Subject: m\r\n\r\nx\r\n", 0, 0});
  WriteStore(root + "\\big", "One", Store(big));
  big.resize(70000, big[0]);
  WriteStore(root + "\\big", "Big", Store(big));
}

void RunConversionCases(const std::string& root, Program* program) {
  const std::string target = root + "\\corvane\\User3\\From MS-IM", eml = root + "\\eml";
  const std::string expected = root + "\\expected\\";
  const DWORD pid = program->info.dwProcessId;
  MakeStores(root);
  // One message of the big mailbox as the import writes it.
  RunExpected(true, "", {root + "\\big\\One.mbx"}, true, expected + "one");

  // Execute into the target client, store from the registry, deleted mail left out.
  Click(*program, FERROLT_EXECUTE);
  CheckNotice(*program, Summary(1, 2), "Execute into the target client");
  CheckSameFiles(target, RunExpected(true, root + "\\store\\Mail\\", {}, true, expected + "import"),
                 "target mailboxes");

  // With the source client's window open (one of ours stands in) the store is chosen in the
  // Open dialog (a cancel there ends the command quietly), then the prefix in the Save dialog.
  WNDCLASSA source_class = {0,       DefWindowProcA, 0,       0,       GetModuleHandleA(nullptr),
                            nullptr, nullptr,        nullptr, nullptr, "CabinetWClass"};
  RegisterClassA(&source_class);
  HWND source_client = CreateWindowA("CabinetWClass", "Internet Mail", WS_OVERLAPPEDWINDOW, 0, 0,
                                     200, 100, nullptr, nullptr, source_class.hInstance, nullptr);
  Click(*program, FERROLT_OUTPUT_EML);
  Click(*program, FERROLT_INCLUDE_DELETED);
  Click(*program, FERROLT_EXECUTE);
  HWND open = FileDialog(*program, "the store");
  CheckText(WindowText(open) + " | " + WindowText(GetDlgItem(open, kFilterCombo)),
            Ansi("\"*.mbx\" ファイル読み込み位置 | Import mbx file"), "Open dialog title, filter");
  PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
  Check(WaitUntilGone(open) && !DialogWithChild(pid, kBoxText, 500) &&
            !DialogWithChild(pid, kFileNameCombo, 0) && GetForegroundWindow() == program->main,
        "Open dialog cancelled: no notice, no Save dialog, the main window in front");
  Click(*program, FERROLT_EXECUTE);
  FileDialog(*program, "the store", root + "\\d1\\a.mbx");
  HWND save = FileDialog(*program, "the prefix");
  CheckText(WindowText(save) + " | " + WindowText(GetDlgItem(save, kFileNameCombo)) + " | " +
                WindowText(GetDlgItem(save, kFilterCombo)),
            Ansi("\"*.eml\" ファイル出力位置 | exp | Export eml file"),
            "Save dialog title, default name, filter");
  Check(GetWindow(save, GW_OWNER) == program->main, "Save dialog owned by the main window");
  // A drop while a run waits in a dialog is let go (posted before the dialog's OK, so taken
  // first); the run goes on as it was.
  DropFiles(*program, {root + "\\kana\\Kana.mbx"});
  FileDialog(*program, "the prefix", eml + "\\e");
  CheckNotice(*program, Summary(1, 3) + Ansi("\n（内、削除メール 1 通）"),
              "store chosen in the Open dialog, deleted mail included");
  CheckSameFiles(eml, RunExpected(false, root + "\\d1\\", {}, false, expected + "eml"),
                 ".eml files of the chosen folder, not of the drop during the Save dialog");
  Check(!DialogWithChild(pid, kFileNameCombo, 0), "drop during the Save dialog: no second run");
  DestroyWindow(source_client);

  // Drops from this process to .eml: mixed extensions, two folders.
  const std::vector<std::string> mixed = {root + "\\d1\\a.mbx", root + "\\d1\\a.idx",
                                          root + "\\d1\\notes.txt", root + "\\kana\\Kana.mbx"};
  Click(*program, FERROLT_INCLUDE_DELETED);
  DropFiles(*program, mixed);
  FileDialog(*program, "a drop", eml + "\\e");
  CheckNotice(*program, Summary(2, 3), "drop to .eml");
  CheckSameFiles(eml, RunExpected(false, "", mixed, true, expected + "drop"),
                 ".eml files of the drop");

  // The code conversion choice reaches the converter: a text that reads as EUC-JP and as
  // half-width kana comes out of a drop into the target client as each choice has it read.
  const std::vector<std::string> kana = {root + "\\kana\\Kana.mbx"};
  RunExpected(true, "", kana, true, expected + "kana", true);
  RunExpected(true, "", kana, true, expected + "euc", false);
  Check(ReadFileBytes(expected + "kana\\Kana.mbx") != ReadFileBytes(expected + "euc\\Kana.mbx"),
        "the two readings differ, so the window's choice shows in the output");
  Click(*program, FERROLT_OUTPUT_DIRECT);
  for (int choice : {FERROLT_PREFER_EUC, FERROLT_PREFER_HALF_KANA}) {
    const std::string what = choice == FERROLT_PREFER_EUC ? "euc" : "kana";
    Click(*program, choice);
    DropFiles(*program, kana);
    CheckNotice(*program, Summary(1, 1), "preference " + what);
    CheckSameFiles(target, expected + what, "preference " + what + ": the text read so");
  }

  // A big mailbox: the progress window mid-run, its 32-bit range, its label, and the run thread.
  const size_t one = ReadFileBytes(root + "\\expected\\one\\One.mbx").size();
  const std::string big = target + "\\Big.mbx";
  auto written = [&] { return fs::exists(big) ? fs::file_size(big) / one : 0; };
  DropFiles(*program, {root + "\\big\\Big.mbx"});
  HWND progress = DialogWithChild(pid, FERROLT_PROGRESS_BAR);
  if (Check(progress != nullptr && GetWindow(progress, GW_OWNER) == nullptr,
            "progress window during a run, owned by none")) {
    HWND bar = GetDlgItem(progress, FERROLT_PROGRESS_BAR);
    // The bar follows the run: a tenth filled at a tenth of the messages written, not full as a
    // range cut to 16 bits (70000 becomes 4464) would show it.
    WaitFor([&] { return written() >= 7000; }, 20000);
    double first = FilledFraction(bar), second = first;
    size_t done = written();
    CheckText(WindowText(GetDlgItem(progress, FERROLT_PROGRESS_LABEL)), "Big.mbx",
              "progress label names the mailbox");
    WaitFor([&] { return !IsWindow(bar) || (second = FilledFraction(bar)) > first; }, 8000);
    Check(first > 0.05 && first < done / 70000.0 + 0.05 && second > first,
          "bar follows the run: " + std::to_string(first) + " at " + std::to_string(done) +
              " messages, then " + std::to_string(second));
    // While a run goes on both windows answer at once, as Windows demands of a window that is
    // not to be called hung; the main window's controls take no input and drops are let go.
    CheckText(Choices(program->main), "-------", "main window's controls greyed during the run");
    Click(*program, FERROLT_EXECUTE);
    Check(DropFiles(*program, {root + "\\d1\\a.mbx"}), "drop placed during the run");
    int answered = 0;
    for (int i = 0; i < 5; ++i, Pause(100)) {
      DWORD_PTR ignored = 0;
      // A run that ends meanwhile takes its progress window with it.
      answered +=
          SendMessageTimeoutA(program->main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &ignored) &&
          (SendMessageTimeoutA(progress, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &ignored) ||
           !IsWindow(progress));
    }
    Check(answered == 5, "both windows answer within 200 ms during the run: " +
                             std::to_string(answered) + " of 5");
  }
  CheckNotice(*program, Summary(1, 70000), "big mailbox", false, 180000);
  Check(WaitFor([&] { return !IsWindow(progress) && Choices(program->main) == "1010000"; }, 5000),
        "progress window closed and every control enabled again after the run");
  Check(!DialogWithChild(pid, kBoxText, 300) && !DialogWithChild(pid, kFileNameCombo, 0) &&
            !fs::exists(target + "\\a.mbx"),
        "Execute and a drop during the run started nothing");

  // A prefix longer than the old 256-byte buffer reaches the run, where the file system refuses
  // names past MAX_PATH with its own code.
  Click(*program, FERROLT_OUTPUT_EML);
  Click(*program, FERROLT_EXECUTE);
  FileDialog(*program, "a long prefix", eml + "\\" + std::string(250, 'x'));
  CheckNotice(*program, Ansi("CreateFile(Destination) のエラーです。Code=<206>\n"),
              "long export prefix", true);
}

void RunCloseDuringRunCases(const std::string& exe, const std::string& root) {
  const std::string target = root + "\\corvane\\User3\\From MS-IM";
  const std::string one = ReadFileBytes(root + "\\expected\\one\\One.mbx"),
                    big = target + "\\Big.mbx";
  fs::remove(big);
  Program program;
  if (!Check(StartProgram(exe, &program), "starts for a close mid-run")) return;
  DropFiles(program, {root + "\\big\\Big.mbx"});
  HWND progress = DialogWithChild(program.info.dwProcessId, FERROLT_PROGRESS_BAR);
  // Closed once the run has written something, however slowly the machine goes.
  WaitFor([&] { return fs::exists(big) && fs::file_size(big) > one.size(); }, 20000);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(program.main, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored);
  Check(progress != nullptr && WaitForExit(&program, 20000) == 0,
        "closing mid-run ends the program with exit code 0");
  std::string written = ReadFileBytes(big), copies;
  while (!one.empty() && copies.size() < written.size()) copies += one;
  size_t whole = one.empty() ? 0 : copies.size() / one.size();
  Check(written == copies && whole > 0 && whole < 70000,
        "closing mid-run leaves whole messages only: " + std::to_string(whole) + " of 70000");
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
  return SIZE{MulDiv(width, (extent.cx / 26 + 1) / 2, 4), MulDiv(height, metrics.tmHeight, 8)};
}

// Which dialog set a window was made from, told by the pixel size of one of its controls; the
// two sets must differ there, or the check could not tell them apart.
void CheckDialogSet(HWND dialog, int control, int width, int height, int points,
                    const std::string& what) {
  RECT rect = {};
  GetWindowRect(GetDlgItem(dialog, control), &rect);
  SIZE expected = DialogUnitsToPixels(points, width, height);
  SIZE other = DialogUnitsToPixels(points == 10 ? 8 : 10, width, height);
  Check((expected.cx != other.cx || expected.cy != other.cy) &&
            rect.right - rect.left == expected.cx && rect.bottom - rect.top == expected.cy,
        what + " is laid out in the " + std::to_string(points) + "-point set");
}

HWND OpenAboutBox(const Program& program) {
  PostMessageA(program.main, WM_SYSCOMMAND, FERROLT_ABOUT_COMMAND, 0);
  return DialogWithChild(program.info.dwProcessId, FERROLT_WEB_ADDRESS, 5000);
}

// Without the target client installed, at 120 dpi: the start state, the large dialog set.
void RunLargeFontCases(const std::string& exe) {
  Program program;
  if (!Check(StartProgram(exe, &program), "starts at 120 dpi")) return;
  CheckText(Choices(program.main), "-1--0-0",
            "without the target client: .eml chosen, direct output and conversion greyed");
  CheckDialogSet(program.main, FERROLT_EXECUTE, 55, 15, 8, "main window (111) at 120 dpi");
  HWND about = OpenAboutBox(program);
  CheckDialogSet(about, FERROLT_WEB_ADDRESS, 185, 10, 8, "About box (113) at 120 dpi");
  PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
  Check(about != nullptr && WaitUntilGone(about), "OK closes the About box");
  PostMessageA(GetDlgItem(program.main, FERROLT_EXIT), BM_CLICK, 0, 0);
  Check(WaitForExit(&program, 10000) == 1, "Exit ends the program with exit code 1");
}

void RunMainCases(const std::string& exe, const std::string& root, const std::string& shots) {
  Program program;
  if (!Check(StartProgram(exe, &program), "starts")) return;
  HWND main = program.main;
  CheckText(Choices(main), "1010000", "at start: direct output, half-width kana, no deleted mail");
  CheckDialogSet(main, FERROLT_EXECUTE, 55, 15, 10, "main window (101) at 96 dpi");
  Screenshot(main, shots, "main-window");
  SendDlgItemMessageA(main, FERROLT_OUTPUT_EML, BM_CLICK, 0, 0);
  CheckText(Choices(main), "01--0-0", "choosing .eml greys the code conversion group");
  SendDlgItemMessageA(main, FERROLT_OUTPUT_DIRECT, BM_CLICK, 0, 0);
  CheckText(Choices(main), "1010000", "choosing direct output enables it again");

  // A second start brings the first window back, restored, and ends with 1.
  ShowWindow(main, SW_MINIMIZE);
  WaitFor([main] { return IsIconic(main) != 0; }, 2000);
  Program second;
  Check(!StartProgram(exe, &second) && WaitForExit(&second, 10000) == 1,
        "a second start opens no window and ends with exit code 1");
  Check(WaitFor([main] { return !IsIconic(main) && IsWindowVisible(main); }, 3000) &&
            FindWindowA("Ferrolt", nullptr) == main,
        "the second start restores the first window");

  HWND about = OpenAboutBox(program);
  Check(about != nullptr && GetWindow(about, GW_OWNER) == main,
        "About item opens the About box, owned by the main window");
  CheckText(WindowText(GetDlgItem(about, FERROLT_WEB_ADDRESS)), "https://ferrolt.example.jp/",
            "About box web address");
  PostMessageA(GetDlgItem(about, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
  Check(WaitUntilGone(about), "Escape closes the About box");

  RunConversionCases(root, &program);
  PostMessageA(program.main, WM_SYSCOMMAND, SC_CLOSE, 0);
  Check(WaitForExit(&program, 10000) == 1, "the system menu's Close ends with exit code 1");
  RunCloseDuringRunCases(exe, root);
}
}  // namespace
}  // namespace ferrolt::gui

int main(int argc, char** argv) {
  using namespace ferrolt::gui;
  std::string phase = argc == 5 ? argv[1] : "";
  if (phase == "large") {
    RunLargeFontCases(argv[2]);
  } else if (phase == "main") {
    RunMainCases(argv[2], argv[3], argv[4]);
  } else {
    std::fprintf(stderr, "usage: gui_driver large|main FERROLT_EXE DATA_ROOT SHOTS_FOLDER\n");
    return 101;
  }
  std::printf("phase %s: %d checks, %d failed\n", phase.c_str(), check_count, failure_count);
  return std::min(failure_count, 100);
}
