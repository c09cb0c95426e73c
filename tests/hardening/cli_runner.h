#ifndef FERROLT_TESTS_HARDENING_CLI_RUNNER_H_
#define FERROLT_TESTS_HARDENING_CLI_RUNNER_H_

// Runs ferrolt-cli as a child process in a work folder, and records folders exactly enough to
// see whether anything in them changed: names, bytes and modification times.

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ferrolt::testing {

struct CliResult {
  int exit_code = -1;  // -1 when the child did not exit normally
  std::string out, err;
};

// Starts ferrolt-cli with `arguments` in `folder`; stdout and stderr go to files there.
pid_t StartCli(const std::string& folder, const std::vector<std::string>& arguments);
// Waits for the child and collects its exit code and output.
CliResult FinishCli(const std::string& folder, pid_t child);
CliResult RunCli(const std::string& folder, const std::vector<std::string>& arguments);

struct FileState {
  std::string bytes;  // "<folder>" for a folder
  std::filesystem::file_time_type modified;
  bool operator==(const FileState&) const = default;
};
// Every entry below `folder` and the folder itself ("."), by relative path.
std::map<std::string, FileState> SnapshotFolder(const std::string& folder);

// Sets a file's modification time well in the past, so any later write shows.
void AgeFile(const std::string& path);

}  // namespace ferrolt::testing

#endif  // FERROLT_TESTS_HARDENING_CLI_RUNNER_H_
