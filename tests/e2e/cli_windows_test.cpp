// ferrolt-cli.exe as a Windows user runs it: mailbox names given in UTF-16 on the command line,
// its output redirected to files (UTF-8 expected) and shown on a console (read back through a
// pseudo console, where the system has one, as the characters written).

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <thread>

#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

constexpr wchar_t kRelayVariable[] = L"FERROLT_CONSOLE_RELAY";
constexpr DWORD kRunMilliseconds = 30000;

const char kJapaneseSubject[] =
    "\xe5\xae\x9a\xe4\xbe\x8b\xe4\xbc\x9a\xe8\xad\xb0\xe3\x81\xae"
    "\xe3\x81\x8a\xe7\x9f\xa5\xe3\x82\x89\xe3\x81\x9b";  // 定例会議のお知らせ

// The program built beside this test; under Wine its Unix path is reached through drive Z:.
std::wstring CliPath() {
  std::string path = FERROLT_CLI_PATH;
  if (path.starts_with("/")) path = "Z:" + path;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return fs::path(path).wstring();
}

// A store in a fresh folder: 受信トレイ.mbx with a Japanese subject and one holding a control
// character, and the same mailbox under names code page 932 lacks.
struct JapaneseStore {
  TempFolder work;
  fs::path folder = fs::path(work.path());
  JapaneseStore() {
    StoreSpec spec;
    spec.messages.push_back(
        {"From: a@example.jp\r\nSubject: =?ISO-2022-JP?B?"
         "GyRCRGpOYzJxNUQkTiQqQ04kaSQ7GyhC?=\r\n\r\nbody\r\n"});
    spec.messages.push_back({"From: b@example.jp\r\nSubject: bell\x07here\r\n\r\nbody\r\n"});
    BuiltStore store = BuildStore(spec);
    for (const wchar_t* name :
         {L"\u53d7\u4fe1\u30c8\u30ec\u30a4", L"\ubc1b\uc740\ud3b8\uc9c0\ud568", L"\U0001F4EC"}) {
      WriteStore(work.path(), "plain", store);
      fs::rename(folder / "plain.mbx", folder / (std::wstring(name) + L".mbx"));
      fs::rename(folder / "plain.idx", folder / (std::wstring(name) + L".idx"));
    }
  }
  std::wstring Mailbox(const std::wstring& name) const {
    return L"\"" + (folder / (name + L".mbx")).wstring() + L"\"";
  }
};

HANDLE CreateOutputFile(const fs::path& path) {
  SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts `command_line` with the given standard handles (or, for a pseudo console, its own) and
// waits for it; its exit code, or -1 when it did not run or did not end in time.
int RunAndWait(std::wstring command_line, STARTUPINFOW* startup, bool inherit, DWORD flags) {
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, inherit, flags, nullptr,
                      nullptr, startup, &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, kRunMilliseconds) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
  } else {
    GetExitCodeProcess(process.hProcess, &code);
  }
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

struct CliRun {
  int exit_code;
  std::string out, err;
};

CliRun RunRedirected(const std::wstring& arguments, const fs::path& folder) {
  HANDLE out = CreateOutputFile(folder / "cli.stdout");
  HANDLE err = CreateOutputFile(folder / "cli.stderr");
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = err;
  int code = RunAndWait(L"\"" + CliPath() + L"\" " + arguments, &startup, TRUE, 0);
  CloseHandle(out);
  CloseHandle(err);
  return {code, ReadFileBytes((folder / "cli.stdout").string()),
          ReadFileBytes((folder / "cli.stderr").string())};
}

// Redirected, the listing and the notices are UTF-8; a name code page 932 holds is listed, one
// it lacks is refused by name (the C runtime's argv would hold "?????.mbx" instead).
TEST(CliOnWindowsTest, RedirectedOutputIsUtf8AndNamesOutsideTheCodePageAreRefusedByName) {
  if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese ANSI code page (LANG=ja_JP.UTF-8)";
  JapaneseStore store;
  const struct {
    std::wstring name;
    int exit_code;
    std::string in_stdout, in_stderr;
  } kCases[] = {
      {L"\u53d7\u4fe1\u30c8\u30ec\u30a4", 0, std::string("\t") + kJapaneseSubject + "\r\n", ""},
      {L"\ubc1b\uc740\ud3b8\uc9c0\ud568", 2, "", "\xeb\xb0\x9b\xec\x9d\x80\xed\x8e\xb8"},
      {L"\U0001F4EC", 2, "", "\xf0\x9f\x93\xac.mbx \xe3\x81\xaf"},  // "📬.mbx は"
  };
  for (const auto& [name, exit_code, in_stdout, in_stderr] : kCases) {
    CliRun run = RunRedirected(L"list " + store.Mailbox(name), store.folder);
    SCOPED_TRACE(run.out + run.err);
    EXPECT_EQ(run.exit_code, exit_code);
    EXPECT_NE(run.out.find(in_stdout), std::string::npos);
    EXPECT_NE(run.err.find(in_stderr), std::string::npos);
    if (exit_code != 0) {
      EXPECT_EQ(run.out, "");
    }
  }
}

// A folder named in Japanese is a SOURCE (all its mailboxes) and a target like any other.
TEST(CliOnWindowsTest, JapaneseFolderNamesWorkAsSourceAndTarget) {
  if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese ANSI code page (LANG=ja_JP.UTF-8)";
  JapaneseStore store;
  fs::path source = store.folder / L"\u53d7\u4fe1\u30d5\u30a9\u30eb\u30c0";  // 受信フォルダ
  fs::path target = store.folder / L"\u51fa\u529b";                          // 出力
  fs::create_directory(source);
  fs::rename(store.folder / L"\u53d7\u4fe1\u30c8\u30ec\u30a4.mbx",
             source / L"\u53d7\u4fe1\u30c8\u30ec\u30a4.mbx");
  CliRun run = RunRedirected(
      L"mbox --to \"" + target.wstring() + L"\" \"" + source.wstring() + L"\"", store.folder);
  SCOPED_TRACE(run.out + run.err);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_TRUE(fs::is_regular_file(target / L"\u53d7\u4fe1\u30c8\u30ec\u30a4.mbox"));
}

using CreatePseudoConsoleCall = HRESULT(WINAPI*)(COORD, HANDLE, HANDLE, DWORD, void**);
using ClosePseudoConsoleCall = void(WINAPI*)(void*);
constexpr DWORD_PTR kPseudoConsoleAttribute = 0x00020016;  // PROC_THREAD_ATTRIBUTE_PSEUDOCONSOLE

// Run inside the pseudo console: its standard handles are not the console's, so the console's
// screen is opened and handed to the program as its stdout and stderr.
int RelayOnConsole(std::wstring command_line) {
  SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
  HANDLE screen =
      CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  &inherited, OPEN_EXISTING, 0, nullptr);
  if (screen == INVALID_HANDLE_VALUE) return 120;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = screen;
  int code = RunAndWait(command_line, &startup, TRUE, 0);
  CloseHandle(screen);
  return code;
}

struct ConsoleReader {
  HANDLE pipe;
  std::string shown;
};

DWORD WINAPI ReadConsoleOutput(void* context) {
  auto* reader = static_cast<ConsoleReader*>(context);
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(reader->pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    reader->shown.append(buffer, got);
  }
  return 0;
}

// Starts this test program as the relay inside `console`, which runs the command line.
int RunRelayIn(void* console, const std::wstring& command_line) {
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::string list_memory(size, '\0');
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list_memory.data());
  if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return -1;
  UpdateProcThreadAttribute(list, 0, kPseudoConsoleAttribute, console, sizeof(console), nullptr,
                            nullptr);
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof(startup);
  startup.lpAttributeList = list;
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  SetEnvironmentVariableW(kRelayVariable, command_line.c_str());
  int code = RunAndWait(L"\"" + std::wstring(self) + L"\"", &startup.StartupInfo, FALSE,
                        EXTENDED_STARTUPINFO_PRESENT);
  SetEnvironmentVariableW(kRelayVariable, nullptr);
  DeleteProcThreadAttributeList(list);
  return code;
}

// What a console shows while the program runs with `arguments`, as the pseudo console passes it
// on (UTF-8 among its own control sequences); false when this system has no pseudo console.
bool RunOnConsole(const std::wstring& arguments, std::string* shown, int* exit_code) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto create = reinterpret_cast<CreatePseudoConsoleCall>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "CreatePseudoConsole")));
  auto close = reinterpret_cast<ClosePseudoConsoleCall>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "ClosePseudoConsole")));
  HANDLE input_read, input_write, output_read, output_write;
  if (create == nullptr || close == nullptr) return false;
  if (!CreatePipe(&input_read, &input_write, nullptr, 0)) return false;
  if (!CreatePipe(&output_read, &output_write, nullptr, 0)) {
    CloseHandle(input_read);
    CloseHandle(input_write);
    return false;
  }
  void* console = nullptr;
  // Wide enough that no line of the listing wraps.
  HRESULT created = create(COORD{250, 40}, input_read, output_write, 0, &console);
  CloseHandle(input_read);
  CloseHandle(output_write);
  ConsoleReader reader{output_read, {}};
  HANDLE thread =
      FAILED(created) ? nullptr : CreateThread(nullptr, 0, ReadConsoleOutput, &reader, 0, nullptr);
  if (thread != nullptr) {
    *exit_code = RunRelayIn(console, L"\"" + CliPath() + L"\" " + arguments);
    close(console);  // ends the output pipe, and with it the reader
    if (WaitForSingleObject(thread, kRunMilliseconds) != WAIT_OBJECT_0) *exit_code = -2;
    CloseHandle(thread);
    *shown = reader.shown;
  }
  CloseHandle(output_read);
  CloseHandle(input_write);
  return thread != nullptr;
}

// On a console the listing, the notices and the help are the characters written (today's UTF-8
// bytes would show as code page 932's mojibake), and a control character in a header is shown
// escaped there too.
TEST(CliOnWindowsTest, AConsoleShowsTheCharactersWritten) {
  if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese ANSI code page (LANG=ja_JP.UTF-8)";
  JapaneseStore store;
  const struct {
    std::wstring arguments;
    int exit_code;
    std::string shown;
  } kCases[] = {
      {L"list " + store.Mailbox(L"\u53d7\u4fe1\u30c8\u30ec\u30a4"), 0, kJapaneseSubject},
      {L"list " + store.Mailbox(L"\u53d7\u4fe1\u30c8\u30ec\u30a4"), 0, "bell\\x07here"},
      {L"list " + store.Mailbox(L"\u7121\u3044"), 1, "\xe3\x81\xae\xe3\x82\xa8\xe3\x83\xa9"},
      {L"--help", 0, "\xe4\xbd\xbf\xe3\x81\x84\xe6\x96\xb9:"},  // 使い方:
  };
  for (const auto& [arguments, exit_code, shown] : kCases) {
    std::string on_console;
    int code = -1;
    if (!RunOnConsole(arguments, &on_console, &code)) GTEST_SKIP() << "no pseudo console here";
    SCOPED_TRACE(on_console);
    EXPECT_EQ(code, exit_code);
    EXPECT_NE(on_console.find(shown), std::string::npos);
  }
}

}  // namespace
}  // namespace ferrolt

// The test program, or the relay it starts inside a pseudo console.
int main(int argc, char** argv) {
  wchar_t command_line[4096];
  DWORD length = GetEnvironmentVariableW(ferrolt::kRelayVariable, command_line, 4096);
  if (length > 0 && length < 4096) return ferrolt::RelayOnConsole(command_line);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
