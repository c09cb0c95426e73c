#include "tests/hardening/cli_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/support/store_builder.h"

namespace ferrolt::testing {

namespace fs = std::filesystem;

namespace {

void Limit(int resource, uint64_t bytes) {
  if (bytes == 0) return;
  struct rlimit limit = {static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
  if (setrlimit(resource, &limit) != 0) _exit(127);
}

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void ExecCli(const std::string& folder, const std::vector<char*>& argv,
                          const std::vector<char*>& environment, const std::string& out,
                          const std::string& err, const CliLaunch& launch) {
  int out_fd = launch.stdout_fd >= 0 ? launch.stdout_fd
                                     : open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int null_fd = open("/dev/null", O_RDONLY);
  if (out_fd < 0 || err_fd < 0 || null_fd < 0 || chdir(folder.c_str()) != 0) _exit(127);
  dup2(null_fd, 0);
  dup2(out_fd, 1);
  dup2(err_fd, 2);
  Limit(RLIMIT_FSIZE, launch.file_size_limit);
  Limit(RLIMIT_AS, launch.memory_limit);
  execve(argv[0], argv.data(), environment.data());
  _exit(127);
}

// Waits up to `timeout_seconds` (0: for ever); kills the child when it is not done by then.
bool WaitFor(pid_t child, int timeout_seconds, int* status) {
  if (timeout_seconds == 0) return waitpid(child, status, 0) == child;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(child, status, WNOHANG) == child) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill(child, SIGKILL);
  waitpid(child, status, 0);
  return false;
}

// This environment with the catalogue's Japanese texts chosen, which the tests compare with.
std::vector<std::string> JapaneseEnvironment() {
  std::vector<std::string> variables = {"LC_ALL=ja_JP.UTF-8"};
  for (char** at = environ; *at != nullptr; ++at) {
    std::string variable = *at;
    std::string name = variable.substr(0, variable.find('='));
    if (name != "LC_ALL" && name != "LC_MESSAGES" && name != "LANG") variables.push_back(variable);
  }
  return variables;
}

}  // namespace

pid_t StartCli(const std::string& folder, const std::vector<std::string>& arguments,
               const CliLaunch& launch) {
  std::vector<std::string> words = {FERROLT_CLI_PATH};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::vector<std::string> variables = JapaneseEnvironment();
  std::vector<char*> environment;
  for (std::string& variable : variables) environment.push_back(variable.data());
  environment.push_back(nullptr);
  std::string out = folder + "/cli.stdout", err = folder + "/cli.stderr";
  pid_t child = fork();
  if (child == 0) ExecCli(folder, argv, environment, out, err, launch);
  return child;
}

CliResult FinishCli(const std::string& folder, pid_t child, int timeout_seconds) {
  int status = 0;
  CliResult result;
  if (child < 0) return result;
  result.timed_out = !WaitFor(child, timeout_seconds, &status);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  std::error_code error;
  if (fs::exists(folder + "/cli.stdout", error)) result.out = ReadFileBytes(folder + "/cli.stdout");
  result.err = ReadFileBytes(folder + "/cli.stderr");
  fs::remove(folder + "/cli.stdout");
  fs::remove(folder + "/cli.stderr");
  return result;
}

CliResult RunCli(const std::string& folder, const std::vector<std::string>& arguments,
                 const CliLaunch& launch) {
  return FinishCli(folder, StartCli(folder, arguments, launch), 120);
}

std::map<std::string, FileState> SnapshotFolder(const std::string& folder) {
  std::map<std::string, FileState> files;
  files["."] = {"<folder>", fs::last_write_time(folder)};
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    std::string name = fs::relative(entry.path(), folder).string();
    std::string bytes = entry.is_regular_file() ? ReadFileBytes(entry.path().string()) : "<folder>";
    files[name] = {bytes, entry.last_write_time()};
  }
  return files;
}

void AgeFile(const std::string& path) {
  fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(24 * 400));
}

}  // namespace ferrolt::testing
