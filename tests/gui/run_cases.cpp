// Runs through the window: Execute and drops, into the target client and to .eml files, with
// the dialogs, the progress window and every notice read back. Each run's output is compared
// byte for byte with what the same portable run writes when called directly in this process with
// the choices the window was given, so a choice the window loses on the way shows.

#include <windows.h>
// After <windows.h>, which they need.
#include <shlobj.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/runs.h"
#include "resources/resource_ids.h"
#include "tests/gui/harness.h"
#include "tests/support/fake_front_end.h"
#include "tests/support/store_builder.h"

namespace ferrolt::gui {
namespace {

namespace fs = std::filesystem;
using ferrolt::testing::BuildStore;
using ferrolt::testing::MessageSpec;
using ferrolt::testing::ReadFileBytes;
using ferrolt::testing::SimpleMessage;
using ferrolt::testing::WriteStore;

constexpr int kFileNameCombo = 0x47C;  // the common file dialogs' cmb13
constexpr int kFilterCombo = 0x470;    // and cmb1
constexpr int kBoxText = 0xFFFF;

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
  state.prefers_half_width_kana = [](void* chosen) { return *static_cast<bool*>(chosen); };
  state.query_context = &half_width_kana;
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
  for (int at = 0; at < width * height; ++at) {
    const unsigned char* p = Pixel(bmp, width, at, 0);
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
  HWND box = WaitForDialogWithChild(program.info.dwProcessId, kBoxText, wait_ms);
  Pause(150);  // drawn before its icon is read off the screen
  std::string shown = WindowText(GetDlgItem(box, kBoxText));
  CheckText(WindowText(box) + " " + IconOf(box) + " " +
                shown.substr(0, error ? text.size() : std::string::npos),
            Ansi(error ? "Ferroltエラー E " : "Ferroltメッセージ I ") + text,
            what + ": caption, icon, text");
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  Check(WaitUntilGone(box) && NoBoxWithin(program.info.dwProcessId, 500),
        what + ": no second notice");
}

// Waits for the Open or Save dialog; chooses `path` there unless it is empty.
HWND FileDialog(const Program& program, const std::string& what, const std::string& path = "") {
  HWND dialog = WaitForDialogWithChild(program.info.dwProcessId, kFileNameCombo);
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

// How much of a progress bar is painted filled, 0 to 1, read off the screen as the user sees it.
double FilledFraction(HWND bar) {
  int width = 0, height = 0, filled = 0;
  std::string bmp = CaptureScreen(bar, &width, &height);
  COLORREF fill = GetSysColor(COLOR_HIGHLIGHT);
  for (int x = 0; x < width; ++x) {
    const unsigned char* p = Pixel(bmp, width, x, height / 2);
    filled += std::abs(p[2] - GetRValue(fill)) < 24 && std::abs(p[1] - GetGValue(fill)) < 24 &&
              std::abs(p[0] - GetBValue(fill)) < 24;
  }
  return width > 4 ? static_cast<double>(filled) / (width - 4) : -1;
}

testing::BuiltStore Store(std::vector<MessageSpec> messages) {
  testing::StoreSpec spec;
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

}  // namespace

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
  CheckText(WindowText(open), Ansi("\"*.mbx\" ファイル読み込み位置"), "Open dialog title");
  CheckText(WindowText(GetDlgItem(open, kFilterCombo)), "Import mbx file", "Open dialog filter");
  PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
  Check(WaitUntilGone(open) && NoBoxWithin(pid, 500) &&
            FindDialogWithChild(pid, kFileNameCombo) == nullptr &&
            GetForegroundWindow() == program->main,
        "Open dialog cancelled: no notice, no Save dialog, the main window in front");
  Click(*program, FERROLT_EXECUTE);
  FileDialog(*program, "the store", root + "\\d1\\a.mbx");
  HWND save = FileDialog(*program, "the prefix");
  CheckText(WindowText(save), Ansi("\"*.eml\" ファイル出力位置"), "Save dialog title");
  CheckText(WindowText(GetDlgItem(save, kFileNameCombo)), "exp", "Save dialog default name");
  CheckText(WindowText(GetDlgItem(save, kFilterCombo)), "Export eml file", "Save dialog filter");
  Check(GetWindow(save, GW_OWNER) == program->main, "Save dialog owned by the main window");
  FileDialog(*program, "the prefix", eml + "\\e");
  CheckNotice(*program, Summary(1, 3) + Ansi("\n（内、削除メール 1 通）"),
              "store chosen in the Open dialog, deleted mail included");
  CheckSameFiles(eml, RunExpected(false, root + "\\d1\\", {}, false, expected + "eml"),
                 ".eml files of the chosen folder");
  DestroyWindow(source_client);

  // Drops from this process to .eml: mixed extensions, two folders.
  const std::vector<std::string> mixed = {root + "\\d1\\a.mbx", root + "\\d1\\a.idx",
                                          root + "\\d1\\notes.txt", root + "\\kana\\Kana.mbx"};
  Click(*program, FERROLT_INCLUDE_DELETED);
  Check(DropFiles(*program, mixed), "drop placed in the program");
  FileDialog(*program, "a drop", eml + "\\e");
  CheckNotice(*program, Summary(2, 3), "drop to .eml");
  CheckSameFiles(eml, RunExpected(false, "", mixed, true, expected + "drop"),
                 ".eml files of the drop");

  // The code conversion choice reaches the converter: a text that reads as EUC-JP and as
  // half-width kana comes out of a drop into the target client as each choice has it read.
  const std::vector<std::string> kana = {root + "\\kana\\Kana.mbx"};
  RunExpected(true, "", kana, true, expected + "kana", true);
  RunExpected(true, "", kana, true, expected + "euc", false);
  Check(ReadFileBytes(expected + "euc\\Kana.mbx").find("\x82\xc5\x82\xb7\x81\x42") !=
                std::string::npos &&
            ReadFileBytes(expected + "kana\\Kana.mbx") != ReadFileBytes(expected + "euc\\Kana.mbx"),
        "the converter reads the text as EUC-JP only when asked to");
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
  HWND progress = WaitForDialogWithChild(pid, FERROLT_PROGRESS_BAR);
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
    // A pixel of the bar is several hundred messages: watch it for a while.
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
  Check(NoBoxWithin(pid, 300) && FindDialogWithChild(pid, kFileNameCombo) == nullptr &&
            !fs::exists(target + "\\a.mbx"),
        "Execute and a drop during the run started nothing");

  // Drops arriving while a run waits in a dialog are let go; the run goes on as it was.
  Click(*program, FERROLT_OUTPUT_EML);
  Click(*program, FERROLT_EXECUTE);
  if (FileDialog(*program, "the drop test") != nullptr) {
    // Posted before the dialog's OK, so taken first.
    DropFiles(*program, {root + "\\kana\\Kana.mbx"});
    FileDialog(*program, "the drop test", eml + "\\e");
    CheckNotice(*program, Summary(1, 2), "drop during the Save dialog");
    CheckSameFiles(eml, RunExpected(false, root + "\\store\\Mail\\", {}, true, expected + "save"),
                   "drop during the Save dialog: the folder's own files");
    Check(FindDialogWithChild(pid, kFileNameCombo) == nullptr,
          "drop during the Save dialog: no second run");
  }

  // A prefix longer than the old 256-byte buffer reaches the run, where the file system refuses
  // names past MAX_PATH with its own code.
  Click(*program, FERROLT_EXECUTE);
  FileDialog(*program, "a long prefix", eml + "\\" + std::string(250, 'x'));
  CheckNotice(*program, Ansi("CreateFile(Destination) のエラーです。Code=<206>\n"),
              "long export prefix", true);
}

void RunCloseDuringRunCases(const std::string& exe, const std::string& root) {
  const std::string target = root + "\\corvane\\User3\\From MS-IM";
  const std::string one = ReadFileBytes(root + "\\expected\\one\\One.mbx");
  fs::remove(target + "\\Big.mbx");
  Program program;
  if (!Check(StartProgram(exe, &program), "starts for a close mid-run")) return;
  DropFiles(program, {root + "\\big\\Big.mbx"});
  HWND progress = WaitForDialogWithChild(program.info.dwProcessId, FERROLT_PROGRESS_BAR);
  Pause(300);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(program.main, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored);
  Check(progress != nullptr && WaitForExit(&program, 20000) == 0,
        "closing mid-run ends the program with exit code 0");
  std::string written = ReadFileBytes(target + "\\Big.mbx");
  size_t whole = one.empty() ? 0 : written.size() / one.size();
  bool only_whole = !one.empty() && written.size() % one.size() == 0;
  for (size_t i = 0; only_whole && i < whole; ++i) {
    only_whole = written.compare(i * one.size(), one.size(), one) == 0;
  }
  Check(only_whole && whole > 0 && whole < 70000,
        "closing mid-run leaves whole messages only: " + std::to_string(whole) + " of 70000");
}

}  // namespace ferrolt::gui
