// A failure inside a message takes back what was written of it, through the same code in the
// Windows program (these tests also run under Wine) and on POSIX.

#include "convert/whole_messages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "convert/eml_export.h"
#include "convert/exact_io_fixture.h"
#include "convert/target_writer.h"
#include "notices/catalogue.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

TEST(WholeMessagesTest, AMailboxIsCutBackToItsLastWholeMessageOrToNothing) {
  TempFolder folder;
  for (bool one_whole : {false, true}) {
    std::string path = folder.Join(one_whole ? "one.mbx" : "none.mbx");
    AppendedMailbox mailbox;
    ASSERT_TRUE(CreateNewFile(path, &mailbox.file).ok());
    if (one_whole) {
      ASSERT_TRUE(AppendToMailbox(&mailbox, "first\r\n"));
      ASSERT_TRUE(AppendToMailbox(&mailbox, "\r\n.\r\n"));
      EndMessage(&mailbox);
    }
    ASSERT_TRUE(AppendToMailbox(&mailbox, "second, cut sh"));
    CutBackToWholeMessages(&mailbox);
    // The next message follows the whole ones directly.
    ASSERT_TRUE(AppendToMailbox(&mailbox, "third\r\n.\r\n"));
    EndMessage(&mailbox);
    CloseFile(&mailbox.file);
    EXPECT_EQ(ReadFileBytes(path),
              one_whole ? "first\r\n\r\n.\r\nthird\r\n.\r\n" : "third\r\n.\r\n");
  }
}

// Fails the n-th read or write of at least `least` bytes from now on, as a full disk or a
// source cut short would.
struct InjectedFault {
  bool is_write = true;
  int countdown = 0;
  uint32_t least = 0;
};
InjectedFault fault;

bool FailOneTransfer(bool is_write, uint32_t count) {
  if (is_write != fault.is_write || count < fault.least) return true;
  return --fault.countdown != 0;
}

class RollbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(source_.Join("in"));
    fs::create_directory(output_.Join("T"));
    state_.source_dir = source_.Join("in") + kPathSeparator;
    state_.target_dir = output_.Join("T") + kPathSeparator;
    state_.export_prefix = output_.Join("exp");
    state_.progress = &progress_;
    // The second message takes two blocks to copy.
    spec_.messages = {{SimpleMessage("one", "short\r\n"), 0, 0},
                      {SimpleMessage("two", std::string(40000, 'b') + "\r\n"), 0, 0},
                      {SimpleMessage("three", "short\r\n"), 0, 0}};
    WriteStore(source_.Join("in"), "Box", BuildStore(spec_));
  }
  void TearDown() override { SetTransferObserver(nullptr); }
  // Runs `operation` with the fault armed; checks it stopped with one notice `message_id`.
  void RunFailing(bool (*operation)(RunState*, const std::string&), InjectedFault armed,
                  int message_id) {
    NoticeRecorder notices;
    fault = armed;
    SetTransferObserver(FailOneTransfer);
    EXPECT_FALSE(operation(&state_, "Box.mbx"));
    SetTransferObserver(nullptr);
    std::string format;
    ASSERT_TRUE(LoadCatalogueText(message_id, &format));
    ASSERT_EQ(notices.notices.size(), 1u);
    EXPECT_EQ(notices.notices[0].text.substr(0, 20), format.substr(0, 20));
  }

  TempFolder source_, output_;
  ProgressRecorder progress_;
  RunState state_;
  StoreSpec spec_;
};

TEST_F(RollbackTest, EmlDeletesTheFileOfTheMessageItCouldNotFinish) {
  const struct {
    InjectedFault fault;
    int message_id;
    size_t whole;  // files that stay
  } kCases[] = {
      {{true, 1}, kWriteOutputFailed, 0},       // the first message's only write
      {{true, 3}, kWriteOutputFailed, 1},       // the second block of the second message
      {{false, 2, 100}, kReadSourceFailed, 1},  // that block's read: the source ran short
  };
  for (const auto& c : kCases) {
    fs::remove_all(output_.Join("exp00001.eml"));
    RunFailing(ExportMailbox, c.fault, c.message_id);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(output_.path())) {
      if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names.size(), c.whole) << c.fault.countdown;
    if (c.whole == 1) {
      EXPECT_EQ(ReadFileBytes(output_.Join("exp00001.eml")), spec_.messages[0].bytes);
    }
    state_.conversion_run = {};
  }
}

TEST_F(RollbackTest, ImportCutsTheTargetBackToTheEndOfItsLastSeparator) {
  NoticeRecorder quiet;
  ASSERT_TRUE(ImportMailbox(&state_, "Box.mbx"));
  std::string sound = ReadFileBytes(output_.Join("T/Box.mbx"));
  std::vector<size_t> ends = {0};
  for (size_t at = sound.find("\r\n.\r\n"); at != std::string::npos;
       at = sound.find("\r\n.\r\n", at + 1)) {
    ends.push_back(at + 5);
  }
  ASSERT_EQ(ends.size(), 4u);
  const struct {
    int failing_write;  // three writes a message: header, the rest, the separator
    size_t whole;       // messages that stay
  } kCases[] = {{1, 0}, {2, 0}, {3, 0}, {5, 1}, {6, 1}, {9, 2}};
  for (const auto& c : kCases) {
    fs::remove(output_.Join("T/Box.mbx"));
    state_.conversion_run = {};
    RunFailing(ImportMailbox, {true, c.failing_write}, kWriteOutputFailed);
    std::string target = ReadFileBytes(output_.Join("T/Box.mbx"));
    EXPECT_EQ(target.size(), ends[c.whole]) << "write " << c.failing_write;
    EXPECT_TRUE(target == sound.substr(0, ends[c.whole])) << "write " << c.failing_write;
  }
}

}  // namespace
}  // namespace ferrolt
