#include "tests/hardening/cli_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "tests/support/store_builder.h"

namespace ferrolt::testing {

namespace fs = std::filesystem;

namespace {

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void ExecCli(const std::string& folder, const std::vector<char*>& argv,
                          const std::string& out, const std::string& err) {
  int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int null_fd = open("/dev/null", O_RDONLY);
  if (out_fd < 0 || err_fd < 0 || null_fd < 0 || chdir(folder.c_str()) != 0) _exit(127);
  dup2(null_fd, 0);
  dup2(out_fd, 1);
  dup2(err_fd, 2);
  execv(argv[0], argv.data());
  _exit(127);
}

}  // namespace

pid_t StartCli(const std::string& folder, const std::vector<std::string>& arguments) {
  std::vector<std::string> words = {FERROLT_CLI_PATH};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::string out = folder + "/cli.stdout", err = folder + "/cli.stderr";
  pid_t child = fork();
  if (child == 0) ExecCli(folder, argv, out, err);
  return child;
}

CliResult FinishCli(const std::string& folder, pid_t child) {
  int status = 0;
  CliResult result;
  if (child < 0 || waitpid(child, &status, 0) != child) return result;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadFileBytes(folder + "/cli.stdout");
  result.err = ReadFileBytes(folder + "/cli.stderr");
  fs::remove(folder + "/cli.stdout");
  fs::remove(folder + "/cli.stderr");
  return result;
}

CliResult RunCli(const std::string& folder, const std::vector<std::string>& arguments) {
  return FinishCli(folder, StartCli(folder, arguments));
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
