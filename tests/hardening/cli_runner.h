#ifndef FERROLT_TESTS_HARDENING_CLI_RUNNER_H_
#define FERROLT_TESTS_HARDENING_CLI_RUNNER_H_

// Runs ferrolt-cli as a child process in a work folder, and records folders exactly enough to
// see whether anything in them changed: names, bytes and modification times.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ferrolt::testing {

struct CliResult {
  int exit_code = -1;  // -1 when the child did not exit normally
  int signal = 0;      // the signal that ended it, if one did
  bool timed_out = false;
  std::string out, err;
};

// How the child is started, beyond the defaults (stdout and stderr to files in its folder,
// stdin from the null device, no limits).
struct CliLaunch {
  int stdout_fd = -1;            // given as stdout instead of the file (a pipe's end)
  uint64_t file_size_limit = 0;  // bytes, as `ulimit -f` sets it; 0 for none
  uint64_t memory_limit = 0;     // address space in bytes, as `ulimit -v` sets it; 0 for none
};

// Starts ferrolt-cli with `arguments` in `folder`.
pid_t StartCli(const std::string& folder, const std::vector<std::string>& arguments,
               const CliLaunch& launch = {});
// Waits for the child (killing it after `timeout_seconds`, when that is not 0) and collects its
// exit code and output.
CliResult FinishCli(const std::string& folder, pid_t child, int timeout_seconds = 0);
CliResult RunCli(const std::string& folder, const std::vector<std::string>& arguments,
                 const CliLaunch& launch = {});

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
