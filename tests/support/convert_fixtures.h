#ifndef FERROLT_TESTS_SUPPORT_CONVERT_FIXTURES_H_
#define FERROLT_TESTS_SUPPORT_CONVERT_FIXTURES_H_

// The converter's tests share two setups: a built store read through the readers by a consumer
// that records what it was handed, and a per-mailbox operation run from a source folder into an
// output folder. Unit tests only: it uses gtest.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "convert/mailbox_reader.h"
#include "convert/runs.h"
#include "convert/salvage_reader.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt::testing {

// One message a reader handed on, and the run's message count at that moment.
struct Handed {
  std::string bytes;
  MessageRecord record;
  int32_t message_count = 0;
};

struct ReadOptions {
  bool skip_deleted = true, salvage = false;
  StopQuery stop_requested = nullptr;
  bool takes_bytes = false;  // the consumer asks to be handed each message's bytes
};

struct ReadResult {
  bool ok = false, indexed = false;  // indexed: an index was found and read through
  std::vector<Handed> handed;
  ConversionRun run;
  std::vector<Notice> notices;
  std::vector<std::string> progress;  // as ProgressRecorder writes them
  MailboxSalvage salvage;             // the mailbox's report, when salvaging
};

// The only notice shown, cut to the length of `start` (whole when that is empty); "" when none
// was shown, all of them when more were.
std::string ShownNotice(const std::vector<Notice>& notices, const std::string& start);

// Opens the mailbox at `path` and its index as every output does, and reads it.
ReadResult ReadMailboxAt(const std::string& path, const ReadOptions& options = {});

// Writes `store` as Inbox.mbx (and Inbox.idx) to a fresh folder and reads it.
ReadResult ReadStore(const BuiltStore& store, const ReadOptions& options = {});

// Folders in/ and out/ and a run state that reads from in/ and writes to out/ (.eml files as
// out/exp00001.eml ...), deleted mail included.
class ConvertFolders : public ::testing::Test {
 protected:
  ConvertFolders();
  std::string Out(const std::string& name) const { return state_.target_dir + name; }
  // Writes `store` as in/`base`.mbx and runs `operation` on it; one that went through must have
  // shown the mailbox's name first.
  bool Convert(MailboxOperation operation, const BuiltStore& store,
               const std::string& base = "Box");

  TempFolder folder_;
  ProgressRecorder progress_;
  NoticeRecorder notices_;
  RunState state_;
};

}  // namespace ferrolt::testing

#endif  // FERROLT_TESTS_SUPPORT_CONVERT_FIXTURES_H_
