#ifndef FERROLT_TESTS_E2E_CLI_RUNNER_H_
#define FERROLT_TESTS_E2E_CLI_RUNNER_H_

// Runs ferrolt-cli as a child process in a work folder, the one way every end-to-end test starts
// it, and records folders exactly enough to see whether anything in them changed.

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt::testing {

struct CliResult {
  int exit_code = -1;  // 128 + the signal when one ended the child, as a shell reports it
  std::string out, err;
};

// How the child is started, beyond the defaults: stdout and stderr captured, stdin the null
// device, LC_ALL=ja_JP.UTF-8 (the catalogue's Japanese texts), no limits.
struct CliLaunch {
  std::vector<std::string> locale = {"LC_ALL=ja_JP.UTF-8"};  // LC_ALL, LC_MESSAGES, LANG unset
  int closed = 0;                // bit n set: descriptor n is closed, not redirected
  int stdout_fd = -1;            // given as stdout instead of the capture
  uint64_t file_size_limit = 0;  // bytes, as `ulimit -f` sets it; 0 for none
  uint64_t memory_limit = 0;     // address space in bytes, as `ulimit -v` sets it; 0 for none
};

// `text` split at spaces (runs of them).
std::vector<std::string> Words(const std::string& text);

pid_t StartCli(const std::string& folder, const std::vector<std::string>& arguments,
               const CliLaunch& launch = {});
// Waits for the child, killing it (SIGKILL) after `timeout_seconds`, and collects its output.
CliResult FinishCli(const std::string& folder, pid_t child, int timeout_seconds = 120);
// Every entry below `folder`, by relative path, with its bytes ("<folder>" for a folder).
std::map<std::string, std::string> SnapshotFolder(const std::string& folder);

// A work folder with a source store in "store"; every run checks the store was left as it was.
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directory(Path("store")); }
  std::string Path(const std::string& name) const { return work_.Join(name); }
  StoreSpec AddMailbox(const std::string& name, const StoreSpec& spec) {
    WriteStore(Path("store"), name, BuildStore(spec));
    return spec;
  }
  // `arguments` are words split at spaces.
  CliResult Run(const std::string& arguments, const CliLaunch& launch = {}) {
    auto before = SnapshotFolder(Path("store"));
    CliResult result = FinishCli(work_.path(), StartCli(work_.path(), Words(arguments), launch));
    EXPECT_TRUE(SnapshotFolder(Path("store")) == before) << "the source store changed";
    return result;
  }

  TempFolder work_;
};

}  // namespace ferrolt::testing

#endif  // FERROLT_TESTS_E2E_CLI_RUNNER_H_
