#include "tests/e2e/cli_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <iterator>
#include <sstream>
#include <thread>

namespace ferrolt::testing {

namespace fs = std::filesystem;

namespace {

void Limit(int resource, uint64_t bytes) {
  struct rlimit limit = {static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
  if (bytes != 0 && setrlimit(resource, &limit) != 0) _exit(127);
}

// Puts `fd` at `target`, or closes `target` when asked to; async-signal-safe.
void Place(int fd, int target, const CliLaunch& launch) {
  if ((launch.closed & (1 << target)) != 0) {
    close(target);
  } else if (fd < 0 || dup2(fd, target) < 0) {
    _exit(127);
  }
}

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void ExecCli(const std::string& folder, const std::vector<char*>& argv,
                          const CliLaunch& launch) {
  if (chdir(folder.c_str()) != 0) _exit(127);
  int out_fd =
      launch.stdout_fd >= 0 ? launch.stdout_fd : open("cli.stdout", O_WRONLY | O_CREAT, 0644);
  int err_fd = open("cli.stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int null_fd = open("/dev/null", O_RDONLY);
  Place(null_fd, 0, launch);
  Place(out_fd, 1, launch);
  Place(err_fd, 2, launch);
  for (int fd : {out_fd, err_fd, null_fd}) {
    if (fd > 2) close(fd);
  }
  Limit(RLIMIT_FSIZE, launch.file_size_limit);
  Limit(RLIMIT_AS, launch.memory_limit);
  execv("/usr/bin/env", argv.data());
  _exit(127);
}

}  // namespace

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), {}};
}

pid_t StartCli(const std::string& folder, const std::vector<std::string>& arguments,
               const CliLaunch& launch) {
  std::vector<std::string> words = {"env", "-u", "LC_ALL", "-u", "LC_MESSAGES", "-u", "LANG"};
  words.insert(words.end(), launch.locale.begin(), launch.locale.end());
  words.push_back(FERROLT_CLI_PATH);
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = fork();
  if (child == 0) ExecCli(folder, argv, launch);
  return child;
}

CliResult FinishCli(const std::string& folder, pid_t child, int timeout_seconds) {
  CliResult result;
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  while (child > 0 && waitpid(child, &status, WNOHANG) != child) {
    if (std::chrono::steady_clock::now() > deadline) kill(child, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.exit_code = 128 + WTERMSIG(status);
  for (auto [name, text] : {std::pair{"/cli.stdout", &result.out}, {"/cli.stderr", &result.err}}) {
    if (fs::exists(folder + name)) *text = ReadFileBytes(folder + name);
    fs::remove(folder + name);
  }
  return result;
}

std::map<std::string, std::string> SnapshotFolder(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    files[fs::relative(entry.path(), folder).string()] =
        entry.is_regular_file() ? ReadFileBytes(entry.path().string()) : "<folder>";
  }
  return files;
}

}  // namespace ferrolt::testing
