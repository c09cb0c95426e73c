// Console events to ferrolt-cli.exe in the middle of a run, under Wine:
//   console_driver.exe FERROLT_CLI_EXE WORK_FOLDER
// Each case starts a long import, waits until a twentieth is written, gives the event and checks
// that the run stopped after a whole message with its exit status. Ctrl+C and Ctrl+Break go
// through GenerateConsoleCtrlEvent to this console's group, the program's too (this driver takes
// them without ending), where the system can send them: Wine 8 refuses Ctrl+Break. That one, a
// closed console, a log-off and a shutdown, which Wine never gives a program, are delivered as
// Windows delivers every console event: by a thread started in the program at kernelbase's
// CtrlRoutine. (Not in a process group of its own: Wine's CtrlRoutine then skips every handler,
// where Windows skips them only for Ctrl+C.) Prints every check and "console: N checks, M failed".

#include <windows.h>
// After <windows.h>, which it needs.
#include <tlhelp32.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/store_builder.h"

namespace ferrolt::console {
namespace {

namespace fs = std::filesystem;
using namespace ferrolt::testing;

constexpr size_t kMessages = 200000;
int check_count = 0, failure_count = 0;

void Check(bool ok, const std::string& what) {
  ++check_count;
  failure_count += !ok;
  std::printf("%s %s\n", ok ? "  ok  " : "  FAIL", what.c_str());
  std::fflush(stdout);
}

uintmax_t SizeOf(const std::string& path) { return fs::exists(path) ? fs::file_size(path) : 0; }

// Starts `command_line` with its standard output and error in `output_file`.
bool Start(std::string command_line, DWORD flags, const std::string& output_file,
           PROCESS_INFORMATION* process) {
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  HANDLE output = CreateFileA(output_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output;
  startup.hStdError = output;
  const bool started = CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, flags,
                                      nullptr, nullptr, &startup, process);
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  return started;
}

// The exit code, or -1 when the process did not end in time (it is ended then).
int WaitForExit(PROCESS_INFORMATION* process, DWORD timeout_ms) {
  DWORD code = 0;
  const bool ended = WaitForSingleObject(process->hProcess, timeout_ms) == WAIT_OBJECT_0;
  GetExitCodeProcess(process->hProcess, &code);
  if (!ended) TerminateProcess(process->hProcess, 99);
  CloseHandle(process->hThread);
  CloseHandle(process->hProcess);
  return ended ? static_cast<int>(code) : -1;
}

// Windows' own way: the event handed to CtrlRoutine on a new thread of the program. kernelbase
// sits at the same address in every process of a boot.
bool DeliverAsWindowsDoes(HANDLE process, DWORD event) {
  auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleA("kernelbase.dll"), "CtrlRoutine")));
  HANDLE thread = routine == nullptr
                      ? nullptr
                      : CreateRemoteThread(process, nullptr, 0, routine,
                                           reinterpret_cast<void*>(uintptr_t{event}), 0, nullptr);
  if (thread != nullptr) CloseHandle(thread);
  return thread != nullptr;
}

// Whether the process has user32 loaded: Windows then no longer gives its console handler a
// log-off or a shutdown.
bool HasUser32(DWORD process_id) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process_id);
  if (snapshot == INVALID_HANDLE_VALUE) return true;  // unknown counts as loaded
  MODULEENTRY32 module = {};
  module.dwSize = sizeof module;
  bool found = false;
  for (BOOL more = Module32First(snapshot, &module); more && !found;
       more = Module32Next(snapshot, &module)) {
    found = lstrcmpiA(module.szModule, "user32.dll") == 0;
  }
  CloseHandle(snapshot);
  return found;
}

BOOL WINAPI TakeOwnEvent(DWORD event) { return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT; }

// How the event reaches the program, for the check's text; empty when it could not be given.
std::string GiveEvent(DWORD event, const PROCESS_INFORMATION& process) {
  if (event == CTRL_C_EVENT) {
    return GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) ? "GenerateConsoleCtrlEvent" : "";
  }
  std::string how;
  if (event == CTRL_BREAK_EVENT) {
    if (GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0)) {
      return "GenerateConsoleCtrlEvent";
    }
    how = "GenerateConsoleCtrlEvent refused (error " + std::to_string(GetLastError()) + "), ";
  }
  return DeliverAsWindowsDoes(process.hProcess, event) ? how + "CtrlRoutine thread" : "";
}

void RunEventCase(const std::string& cli, const std::string& work, const std::string& one,
                  DWORD event, const char* name, int expected_code) {
  const std::string target = work + "\\" + std::to_string(event), big = target + "\\Big.mbx";
  PROCESS_INFORMATION process = {};
  if (!Start("\"" + cli + "\" import --to \"" + target + "\" \"" + work + "\\Big.mbx\"", 0,
             target + ".txt", &process)) {
    Check(false, std::string(name) + ": ferrolt-cli starts");
    return;
  }
  for (DWORD start = GetTickCount(); SizeOf(big) < kMessages / 20 * one.size();) {
    if (GetTickCount() - start > 30000) break;
    Sleep(5);
  }
  if (event == CTRL_LOGOFF_EVENT) {
    Check(!HasUser32(process.dwProcessId), "ferrolt-cli runs without user32 loaded");
  }
  const std::string how = GiveEvent(event, process);
  const int code = WaitForExit(&process, 10000);
  const std::string output = SizeOf(big) > 0 ? ReadFileBytes(big) : "";
  std::string copies;
  while (copies.size() < output.size()) copies += one;
  Check(!how.empty() && code == expected_code && !output.empty() && output == copies &&
            output.size() < kMessages * one.size(),
        std::string(name) + " mid-run (" + how + "): exit code " + std::to_string(code) + " (" +
            std::to_string(expected_code) + " expected), " +
            std::to_string(output.size() / one.size()) + " of " + std::to_string(kMessages) +
            " messages, whole ones only");
}

void RunEventCases(const std::string& cli, const std::string& work) {
  fs::remove_all(work);
  fs::create_directories(work);
  const MessageSpec message = {SimpleMessage("k", "body\r\n"), 0, 0};
  StoreSpec spec;
  spec.messages = {message};
  WriteStore(work, "One", BuildStore(spec));
  spec.messages.assign(kMessages, message);
  WriteStore(work, "Big", BuildStore(spec));
  // One message as the program writes it; the big mailbox repeats it.
  PROCESS_INFORMATION process = {};
  Start("\"" + cli + "\" import --to \"" + work + "\\one\" \"" + work + "\\One.mbx\"", 0,
        work + "\\one.txt", &process);
  const int one_code = WaitForExit(&process, 20000);
  const std::string one =
      SizeOf(work + "\\one\\One.mbx") ? ReadFileBytes(work + "\\one\\One.mbx") : "";
  Check(one_code == 0 && !one.empty(),
        "one message converted (exit code " + std::to_string(one_code) + ")");
  if (one.empty()) return;
  RunEventCase(cli, work, one, CTRL_C_EVENT, "Ctrl+C", 130);
  RunEventCase(cli, work, one, CTRL_BREAK_EVENT, "Ctrl+Break", 149);
  RunEventCase(cli, work, one, CTRL_CLOSE_EVENT, "console closed", 129);
  RunEventCase(cli, work, one, CTRL_LOGOFF_EVENT, "log-off", 143);
  RunEventCase(cli, work, one, CTRL_SHUTDOWN_EVENT, "shutdown", 143);
}

}  // namespace
}  // namespace ferrolt::console

int main(int argc, char** argv) {
  using namespace ferrolt::console;
  if (argc != 3) return 101;  // see the top of this file
  // Console events travel between the processes of one console: a console of our own (Wine
  // gives a program started from a terminal one that cannot carry them), whose Ctrl+C this
  // driver takes without ending.
  FreeConsole();
  AllocConsole();
  SetConsoleCtrlHandler(TakeOwnEvent, TRUE);
  RunEventCases(argv[1], argv[2]);
  std::printf("console: %d checks, %d failed\n", check_count, failure_count);
  return failure_count != 0;
}
