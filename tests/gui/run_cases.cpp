// Runs through the window: Execute and drops, into the target client and to .eml files, with
// the dialogs, the progress window and every notice read back. Each run's output is compared
// byte for byte with what the same portable run writes when called directly in this process.

#include <windows.h>
// After <windows.h>, which it needs.
#include <commctrl.h>

#include <string>
#include <vector>

#include "convert/runs.h"
#include "platform/notice_output.h"
#include "resources/resource_ids.h"
#include "tests/gui/gui_cases.h"
#include "tests/gui/harness.h"
#include "tests/support/store_builder.h"

namespace ferrolt::gui {
namespace {

using ferrolt::testing::BuildStore;
using ferrolt::testing::MessageSpec;
using ferrolt::testing::SimpleMessage;
using ferrolt::testing::StoreSpec;
using ferrolt::testing::WriteStore;

constexpr DWORD kBoxWait = 20000;

// The portable run, called directly: target folder and prefix given, notices kept.
class DirectFrontEnd final : public RunFrontEnd, public NoticeOutput {
 public:
  explicit DirectFrontEnd(const std::string& output) : output_(output) {}
  bool CheckTarget() override { return true; }
  bool PrepareTarget(std::string* target_dir) override {
    CreateDirectoryA(output_.c_str(), nullptr);
    *target_dir = output_ + "\\";
    return true;
  }
  bool PromptExportPrefix(std::string* export_prefix) override {
    CreateDirectoryA(output_.c_str(), nullptr);
    *export_prefix = output_ + "\\" + prefix;
    return true;
  }
  ProgressSink* OpenProgress() override { return &progress_; }
  void CloseProgress() override {}
  void Show(const Notice& notice) override { notices.push_back(notice.text); }

  std::string prefix;
  std::vector<std::string> notices;

 private:
  std::string output_;
  SilentProgress progress_;
};

std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != 0xFFFFFFFF; }

void EmptyFolder(const std::string& folder) {
  for (const std::string& name : ListFiles(folder)) DeleteFileA((folder + "\\" + name).c_str());
}

// Every file of `expected` is in `actual` with the same bytes, and nothing else is.
void CheckSameFiles(const std::string& actual, const std::string& expected,
                    const std::string& what) {
  std::vector<std::string> expected_names = ListFiles(expected);
  std::vector<std::string> actual_names = ListFiles(actual);
  Check(!expected_names.empty() && actual_names.size() == expected_names.size(),
        what + ": " + std::to_string(actual_names.size()) + " files, expected " +
            std::to_string(expected_names.size()));
  bool same = !expected_names.empty();
  for (const std::string& name : expected_names) {
    if (!Exists(actual + "\\" + name) || testing::ReadFileBytes(actual + "\\" + name) !=
                                             testing::ReadFileBytes(expected + "\\" + name)) {
      same = false;
      Check(false, what + ": " + name + " differs or is missing");
    }
  }
  if (same) Check(true, what + ": every file equal byte for byte");
}

std::string Summary(int mailboxes, int messages) {
  return Ansi(std::to_string(mailboxes) + " 個のメールボックスから、計 " +
              std::to_string(messages) + " 通のメールを変換しました。");
}

std::string SummaryWithDeleted(int mailboxes, int messages, int deleted) {
  return Summary(mailboxes, messages) +
         Ansi("\n（内、削除メール " + std::to_string(deleted) + " 通）");
}

// Waits for the one notice a run ends with and checks text, caption and icon.
void CheckNotice(const Program& program, const std::string& text, const std::string& caption,
                 char icon, const std::string& what, const std::string& shot = "",
                 DWORD wait_ms = kBoxWait) {
  Box box;
  if (!Check(WaitForBox(program.info.dwProcessId, wait_ms, &box), what + ": a notice")) return;
  CheckText(box.text, text, what + ": text");
  CheckText(box.caption, caption, what + ": caption");
  Check(box.icon == icon,
        what + ": icon " + std::string(1, icon) + " (seen " + std::string(1, box.icon) + ")");
  if (!shot.empty()) Screenshot(box.window, shot);
  AnswerBox(box);
  Check(NoBoxWithin(program.info.dwProcessId, 500), what + ": no second notice");
}

bool AnswerSaveDialog(const Program& program, const std::string& prefix) {
  HWND dialog = WaitForFileDialog(program.info.dwProcessId, kBoxWait);
  if (!Check(dialog != nullptr, "Save dialog for " + prefix)) return false;
  ChooseInFileDialog(dialog, prefix);
  return true;
}

void Click(const Program& program, int id) {
  PostMessageA(GetDlgItem(program.main, id), BM_CLICK, 0, 0);
}

void Choose(const Program& program, int id) {
  SendMessageA(GetDlgItem(program.main, id), BM_CLICK, 0, 0);
}

void SetIncludeDeleted(const Program& program, bool include) {
  bool ticked =
      SendDlgItemMessageA(program.main, FERROLT_INCLUDE_DELETED, BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (ticked != include) Choose(program, FERROLT_INCLUDE_DELETED);
}

StoreSpec Messages(std::vector<MessageSpec> messages, uint32_t seed, bool with_index = true) {
  StoreSpec spec;
  spec.messages = std::move(messages);
  spec.seed = seed;
  spec.with_index = with_index;
  return spec;
}

// Source stores and folders of the runs below.
void MakeStores(const std::string& root) {
  for (const char* folder : {"", "\\store", "\\store\\Mail", "\\corvane", "\\corvane\\User3",
                             "\\other", "\\d1", "\\d2", "\\bad", "\\big", "\\expected", "\\eml1",
                             "\\eml2", "\\eml3", "\\eml4", "\\eml5", "\\eml6", "\\n54", "\\one"}) {
    CreateDirectoryA((root + folder).c_str(), nullptr);
  }
  // ISO-2022-JP "Japanese" in the subject and a Status line that the filter must replace.
  std::string japanese =
      "From: b@example.jp\r\nSubject: \x1b$BF|K\\8l\x1b(B\r\nStatus: O\r\n\r\n"
      "\x1b$B$3$s$K$A$O\x1b(B\r\n";
  WriteStore(root + "\\store\\Mail", "Inbox",
             BuildStore(Messages({{SimpleMessage("read", "one\r\n"), 0, 3},
                                  {SimpleMessage("deleted", "two\r\n"), 1, 0},
                                  {japanese, 2, 5}},
                                 11)));
  WriteStore(root + "\\store\\Mail", "Sent",
             BuildStore(Messages(
                 {{SimpleMessage("sent 1", "a\r\n"), 0, 0}, {SimpleMessage("sent 2", "b\n"), 0, 0}},
                 12, false)));
  WriteStore(
      root + "\\other", "Work",
      BuildStore(Messages(
          {{SimpleMessage("w1", "x\r\n"), 0, 0}, {SimpleMessage("w2", "y\r\n"), 2, 0}}, 13)));
  WriteStore(root + "\\other", "Old", BuildStore(Messages({{japanese, 0, 1}}, 14)));
  WriteStore(root + "\\d1", "a",
             BuildStore(Messages({{SimpleMessage("a1", "p\r\n"), 0, 0},
                                  {SimpleMessage("a2", "q\r\n"), 1, 0},
                                  {SimpleMessage("a3", "r\r\n"), 0, 0}},
                                 15)));
  testing::WriteFileBytes(root + "\\d1\\notes.txt", "not a mailbox\r\n");
  WriteStore(root + "\\d2", "INBOX",
             BuildStore(Messages({{SimpleMessage("upper", "s\r\n"), 0, 0}}, 16)));
  // WriteStore names files .mbx/.idx; the drop test wants the upper-case extension.
  MoveFileA((root + "\\d2\\INBOX.mbx").c_str(), (root + "\\d2\\INBOX.MBX").c_str());
  WriteStore(
      root + "\\bad", "good",
      BuildStore(Messages(
          {{SimpleMessage("g1", "1\r\n"), 0, 0}, {SimpleMessage("g2", "2\r\n"), 0, 0}}, 17)));
  StoreSpec bad = Messages({{SimpleMessage("b1", "1\r\n"), 0, 0}}, 18);
  bad.mailbox_magic = "XXXX";
  WriteStore(root + "\\bad", "zbad", BuildStore(bad));
  // More messages than a 16-bit progress range holds.
  StoreSpec big;
  big.with_index = false;
  for (int i = 0; i < 70000; ++i) big.messages.push_back({"Subject: m\r\n\r\nx\r\n", 0, 0});
  WriteStore(root + "\\big", "Big", BuildStore(big));
  big.messages.resize(1);
  WriteStore(root + "\\one", "One", BuildStore(big));
  // An index too short for its magic: notice 54, after which the run goes on without it.
  WriteStore(
      root + "\\n54", "Short",
      BuildStore(Messages(
          {{SimpleMessage("s1", "1\r\n"), 0, 0}, {SimpleMessage("s2", "2\r\n"), 0, 0}}, 19)));
  testing::WriteFileBytes(root + "\\n54\\Short.idx", "JM");
}

void RunExpected(void (*run)(RunState*, RunFrontEnd*), const std::string& source_dir,
                 bool skip_deleted, const std::string& output, const std::string& prefix,
                 std::vector<std::string>* notices) {
  DirectFrontEnd front_end(output);
  front_end.prefix = prefix;
  SetNoticeOutput(&front_end);
  RunState state;
  state.source_dir = source_dir;
  state.conversion_run.skip_deleted = skip_deleted;
  run(&state, &front_end);
  SetNoticeOutput(nullptr);
  *notices = front_end.notices;
}

void RunExpectedDrop(void (*run)(RunState*, RunFrontEnd*, const std::vector<std::string>&),
                     const std::vector<std::string>& paths, bool skip_deleted,
                     const std::string& output, const std::string& prefix) {
  DirectFrontEnd front_end(output);
  front_end.prefix = prefix;
  SetNoticeOutput(&front_end);
  RunState state;
  state.conversion_run.skip_deleted = skip_deleted;
  run(&state, &front_end, paths);
  SetNoticeOutput(nullptr);
}

// The system's text for an error code, in the ANSI code page, as the program's notice shows it.
std::string SystemText(DWORD code) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide(text == nullptr ? L"" : text, length);
  LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n')) wide.pop_back();
  std::string utf8(wide.size() * 3, '\0');
  utf8.resize(WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), utf8.data(),
                                  (int)utf8.size(), nullptr, nullptr));
  return utf8;
}

// A fake client's window, which a loaded machine may take a few seconds to show.
bool WaitForWindow(const char* class_name, const char* title) {
  for (int waited = 0; waited < 10000; waited += 50) {
    if (FindWindowA(class_name, title) != nullptr) return true;
    Pause(50);
  }
  return false;
}

bool WaitForControls(const Program& program, bool enabled) {
  for (int waited = 0; waited < 5000; waited += 50) {
    if ((IsWindowEnabled(GetDlgItem(program.main, FERROLT_EXECUTE)) != 0) == enabled) return true;
    Pause(50);
  }
  return false;
}

// While a run goes on both windows answer at once, as Windows demands of a window that is not to
// be called hung, and the main window's controls take no input.
void CheckAnswersDuringRun(const Program& program, HWND progress) {
  Check(!IsWindowEnabled(GetDlgItem(program.main, FERROLT_EXECUTE)) &&
            !IsWindowEnabled(GetDlgItem(program.main, FERROLT_OUTPUT_EML)),
        "main window's controls greyed during the run");
  Click(program, FERROLT_EXECUTE);
  int tries = 0, answered = 0;
  for (; tries < 8 && IsWindow(progress); ++tries) {
    DWORD_PTR ignored = 0;
    bool main_answers =
        SendMessageTimeoutA(program.main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &ignored) != 0;
    bool progress_answers =
        SendMessageTimeoutA(progress, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &ignored) != 0;
    // A run that ends between the check and the call takes its progress window with it.
    if (!main_answers || !progress_answers) {
      if (!IsWindow(progress)) break;
    } else {
      ++answered;
    }
    Pause(100);
  }
  Check(tries >= 4 && answered == tries,
        "both windows answer within 200 ms during the run: " + std::to_string(answered) + " of " +
            std::to_string(tries));
}

}  // namespace

void RunConversionCases(const DriverSetup& setup, Program* program) {
  const std::string root = setup.data_root;
  const std::string target = root + "\\corvane\\User3\\From MS-IM";
  const std::string message_caption = Ansi("Ferroltメッセージ");
  const std::string error_caption = Ansi("Ferroltエラー");
  const DWORD pid = program->info.dwProcessId;
  MakeStores(root);

  // Execute into the target client, store from the registry.
  std::vector<std::string> expected_notices;
  RunExpected(RunFolderImport, root + "\\store\\Mail\\", true, root + "\\expected\\import1", "",
              &expected_notices);
  Choose(*program, FERROLT_OUTPUT_DIRECT);
  SetIncludeDeleted(*program, false);
  Click(*program, FERROLT_EXECUTE);
  CheckNotice(*program, Summary(2, 4), message_caption, 'I', "Execute into the target client",
              "summary-box");
  CheckSameFiles(target, root + "\\expected\\import1", "target mailboxes");
  Check(Exists(root + "\\corvane\\User3\\From MS-IM.mbx") &&
            testing::ReadFileBytes(root + "\\corvane\\User3\\From MS-IM.mbx").empty(),
        "empty folder marker beside the new folder");

  // Execute to .eml files with deleted mail included; the Save dialog as the user sees it.
  RunExpected(RunFolderExport, root + "\\store\\Mail\\", false, root + "\\expected\\eml1", "m",
              &expected_notices);
  Choose(*program, FERROLT_OUTPUT_EML);
  SetIncludeDeleted(*program, true);
  Click(*program, FERROLT_EXECUTE);
  HWND save = WaitForFileDialog(pid, kBoxWait);
  if (Check(save != nullptr, "Execute to .eml asks for the export prefix")) {
    CheckText(WindowText(save), Ansi("\"*.eml\" ファイル出力位置"), "Save dialog title");
    CheckText(FileDialogName(save), "exp", "Save dialog default name");
    CheckText(FileDialogFilter(save), "Export eml file", "Save dialog filter");
    Check(GetWindow(save, GW_OWNER) == program->main, "Save dialog owned by the main window");
    ChooseInFileDialog(save, root + "\\eml1\\m");
    CheckNotice(*program, SummaryWithDeleted(2, 5, 1), message_caption, 'I',
                "Execute to .eml with deleted mail");
    CheckSameFiles(root + "\\eml1", root + "\\expected\\eml1", ".eml files");
    Check(Exists(root + "\\eml1\\m00005.eml") && !Exists(root + "\\eml1\\m00006.eml"),
          ".eml numbers run 00001 to 00005 through the batch");
  }

  // Cancelling the Save dialog ends the command without a notice.
  Click(*program, FERROLT_EXECUTE);
  save = WaitForFileDialog(pid, kBoxWait);
  if (save != nullptr) {
    CancelFileDialog(save);
    Check(NoBoxWithin(pid, 500), "cancelled Save dialog: no notice");
    Check(GetForegroundWindow() == program->main, "cancelled Save dialog: main window in front");
  }

  // With the source client's window open the store is chosen in the Open dialog.
  PROCESS_INFORMATION source_client = {};
  StartProcess("\"" + setup.fake_client_exe + "\" CabinetWClass \"Internet Mail\"", &source_client);
  Check(WaitForWindow("CabinetWClass", "Internet Mail"), "source client window open");
  RunExpected(RunFolderExport, root + "\\other\\", false, root + "\\expected\\eml2", "o",
              &expected_notices);
  Click(*program, FERROLT_EXECUTE);
  HWND open = WaitForFileDialog(pid, kBoxWait);
  if (Check(open != nullptr, "Execute with the source client open shows the Open dialog")) {
    CheckText(WindowText(open), Ansi("\"*.mbx\" ファイル読み込み位置"), "Open dialog title");
    CheckText(FileDialogFilter(open), "Import mbx file", "Open dialog filter");
    ChooseInFileDialog(open, root + "\\other\\Work.mbx");
    if (AnswerSaveDialog(*program, root + "\\eml2\\o")) {
      CheckNotice(*program, SummaryWithDeleted(2, 3, 0), message_caption, 'I',
                  "store chosen in the Open dialog");
      CheckSameFiles(root + "\\eml2", root + "\\expected\\eml2", ".eml files of the chosen folder");
    }
  }
  Click(*program, FERROLT_EXECUTE);
  open = WaitForFileDialog(pid, kBoxWait);
  if (open != nullptr) {
    CancelFileDialog(open);
    Check(NoBoxWithin(pid, 500) && FindDialogWithChild(pid, 0x47C) == nullptr,
          "cancelled Open dialog: no notice and no Save dialog");
    Check(GetForegroundWindow() == program->main, "cancelled Open dialog: main window in front");
  }
  EndProcess(&source_client);

  // Drops to .eml: mixed extensions, two folders, an upper-case INBOX.MBX.
  const std::vector<std::string> mixed = {root + "\\d1\\a.mbx", root + "\\d1\\a.idx",
                                          root + "\\d1\\notes.txt", root + "\\d2\\INBOX.MBX"};
  RunExpectedDrop(RunDroppedExport, mixed, true, root + "\\expected\\eml3", "d");
  SetIncludeDeleted(*program, false);
  CreateDirectoryA((root + "\\eml3").c_str(), nullptr);
  Check(DropFiles(*program, mixed), "drop placed in the program");
  if (AnswerSaveDialog(*program, root + "\\eml3\\d")) {
    CheckNotice(*program, Summary(2, 3), message_caption, 'I', "drop to .eml");
    CheckSameFiles(root + "\\eml3", root + "\\expected\\eml3", ".eml files of the drop");
  }

  // Drops into the target client, from two folders.
  EmptyFolder(target);
  const std::vector<std::string> two_folders = {root + "\\d1\\a.mbx", root + "\\d2\\INBOX.MBX"};
  RunExpectedDrop(RunDroppedImport, two_folders, true, root + "\\expected\\import2", "");
  Choose(*program, FERROLT_OUTPUT_DIRECT);
  DropFiles(*program, two_folders);
  CheckNotice(*program, Summary(2, 3), message_caption, 'I', "drop into the target client");
  CheckSameFiles(target, root + "\\expected\\import2", "target mailboxes of the drop");

  // A drop without any mailbox shows nothing at all.
  DropFiles(*program, {root + "\\d1\\a.idx"});
  Check(NoBoxWithin(pid, 1500), "drop of an index file only: no notice");

  // A run failing at its second mailbox: that mailbox's notice only, the first one's output kept.
  RunExpectedDrop(RunDroppedExport, {root + "\\bad\\good.mbx"}, true, root + "\\expected\\eml4",
                  "f");
  Choose(*program, FERROLT_OUTPUT_EML);
  DropFiles(*program, {root + "\\bad\\good.mbx", root + "\\bad\\zbad.mbx"});
  if (AnswerSaveDialog(*program, root + "\\eml4\\f")) {
    CheckNotice(*program,
                Ansi("Microsoft Internet Mail メールボックス形式のファイルではありません。"),
                error_caption, 'E', "failing run");
    CheckSameFiles(root + "\\eml4", root + "\\expected\\eml4", "output before the failure");
  }

  // The target client running: message 17 and nothing created.
  EmptyFolder(target);
  RemoveDirectoryA(target.c_str());
  DeleteFileA((target + ".mbx").c_str());
  PROCESS_INFORMATION target_client = {};
  StartProcess("\"" + setup.fake_client_exe + "\" CorvaneMainFrameClass Corvane", &target_client);
  Check(WaitForWindow("CorvaneMainFrameClass", "Corvane"), "target client window open");
  Choose(*program, FERROLT_OUTPUT_DIRECT);
  Click(*program, FERROLT_EXECUTE);
  CheckNotice(*program, Ansi("Corvane! が起動しています。終了させて下さい。"), error_caption, 'E',
              "target client running");
  Check(!Exists(target), "nothing created while the target client runs");
  EndProcess(&target_client);

  // A big mailbox: the progress window mid-run, its 32-bit range and its label.
  DropFiles(*program, {root + "\\big\\Big.mbx"});
  HWND progress = WaitForDialogWithChild(pid, FERROLT_PROGRESS_BAR, kBoxWait);
  if (Check(progress != nullptr, "progress window during a run")) {
    HWND bar = GetDlgItem(progress, FERROLT_PROGRESS_BAR);
    // The bar must be painted part-way while the run holds the thread; a range cut to 16 bits
    // (70000 becomes 4464) would show it full almost at once.
    Pause(400);
    double first = FilledFraction(bar);
    Screenshot(progress, "progress-window");
    char label[64] = "";
    GetWindowTextA(GetDlgItem(progress, FERROLT_PROGRESS_LABEL), label, sizeof label);
    CheckText(label, "Big.mbx", "progress label names the mailbox");
    Check(GetWindow(progress, GW_OWNER) == nullptr, "progress window has no owner");
    // A pixel of the bar is several hundred messages: watch it for a while.
    double second = first;
    for (int waited = 0; waited < 8000 && second <= first && IsWindow(bar); waited += 100) {
      Pause(100);
      second = FilledFraction(bar);
    }
    Check(first > 0 && first < 0.9, "bar part-way during the run: " + std::to_string(first));
    Check(second > first, "bar moves on during the run: " + std::to_string(second));
    CheckAnswersDuringRun(*program, progress);
  }
  CheckNotice(*program, Summary(1, 70000), message_caption, 'I', "big mailbox", "", 180000);
  Check(progress == nullptr || !IsWindow(progress), "progress window closed after the run");
  Check(WaitForControls(*program, true) &&
            IsWindowEnabled(GetDlgItem(program->main, FERROLT_PREFER_EUC)),
        "every control enabled again after the run");
  Check(NoBoxWithin(pid, 300) && FindDialogWithChild(pid, 0x47C) == nullptr,
        "Execute pressed during the run started nothing");

  // Drops arriving while a run waits in a dialog are let go; the run goes on as it was.
  RunExpected(RunFolderExport, root + "\\store\\Mail\\", true, root + "\\expected\\eml5", "s",
              &expected_notices);
  Choose(*program, FERROLT_OUTPUT_EML);
  Click(*program, FERROLT_EXECUTE);
  save = WaitForFileDialog(pid, kBoxWait);
  if (Check(save != nullptr, "Save dialog for the drop test")) {
    DropFiles(*program, {root + "\\d2\\INBOX.MBX"});
    Pause(300);
    ChooseInFileDialog(save, root + "\\eml5\\s");
    CheckNotice(*program, Summary(2, 4), message_caption, 'I', "drop during the Save dialog");
    CheckSameFiles(root + "\\eml5", root + "\\expected\\eml5",
                   "drop during the Save dialog: the folder's own .eml files");
    Check(FindDialogWithChild(pid, 0x47C) == nullptr, "drop during the Save dialog: no second run");
  }

  // A prefix longer than the old 256-byte buffer reaches the run, where the file system refuses
  // names past MAX_PATH with its own code.
  Click(*program, FERROLT_EXECUTE);
  save = WaitForFileDialog(pid, kBoxWait);
  if (Check(save != nullptr, "Save dialog for a long prefix")) {
    ChooseInFileDialog(save, root + "\\eml6\\" + std::string(250, 'x'));
    CheckNotice(*program,
                Ansi("CreateFile(Destination) のエラーです。Code=<206>\n") + Ansi(SystemText(206)),
                error_caption, 'E', "long export prefix");
  }

  EmptyFolder(target);
  Choose(*program, FERROLT_OUTPUT_DIRECT);
  DropFiles(*program, {root + "\\n54\\Short.mbx"});
  Box box;
  if (Check(WaitForBox(pid, kBoxWait, &box), "short index: notice 54")) {
    CheckText(box.text.substr(0, Ansi("ReadFile(Index) のエラーです。").size()),
              Ansi("ReadFile(Index) のエラーです。"), "short index: notice 54 text");
    DropFiles(*program, {root + "\\d1\\a.mbx"});
    Pause(300);
    AnswerBox(box);
    CheckNotice(*program, Summary(1, 2), message_caption, 'I', "drop during notice 54");
    Check(!Exists(target + "\\a.mbx") && WaitForExit(program->info, 0) == -1,
          "drop during notice 54 ignored, the program still runs");
  }
}

void RunCloseDuringRunCases(const DriverSetup& setup) {
  const std::string root = setup.data_root;
  const std::string target = root + "\\corvane\\User3\\From MS-IM";
  // One message of the big mailbox as the import writes it.
  RunExpectedDrop(RunDroppedImport, {root + "\\one\\One.mbx"}, true, root + "\\expected\\one", "");
  const std::string one = testing::ReadFileBytes(root + "\\expected\\one\\One.mbx");
  DeleteFileA((target + "\\Big.mbx").c_str());
  Program program;
  if (!Check(StartProgram(setup.ferrolt_exe, SW_SHOWNORMAL, &program),
             "starts for a close mid-run")) {
    return;
  }
  DropFiles(program, {root + "\\big\\Big.mbx"});
  HWND progress = WaitForDialogWithChild(program.info.dwProcessId, FERROLT_PROGRESS_BAR, kBoxWait);
  Pause(300);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(program.main, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored);
  Check(progress != nullptr && WaitForExit(program.info, 20000) == 0,
        "closing mid-run ends the program with exit code 0");
  EndProcess(&program.info);
  std::string written = testing::ReadFileBytes(target + "\\Big.mbx");
  size_t whole = one.empty() ? 0 : written.size() / one.size();
  bool only_whole = !one.empty() && written.size() % one.size() == 0;
  for (size_t i = 0; only_whole && i < whole; ++i) {
    only_whole = written.compare(i * one.size(), one.size(), one) == 0;
  }
  Check(only_whole && whole > 0 && whole < 70000,
        "closing mid-run leaves whole messages only: " + std::to_string(whole) + " of 70000");
}

}  // namespace ferrolt::gui
