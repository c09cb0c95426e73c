// A failure inside a message takes back what was written of it, through the same code in the
// Windows program (these tests also run under Wine) and on POSIX.

#include "convert/whole_messages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "convert/eml_export.h"
#include "convert/exact_io_fixture.h"
#include "convert/target_writer.h"
#include "notices/catalogue.h"
#include "tests/support/convert_fixtures.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

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

// Three messages, the second taking two blocks to copy. .eml files: a file per message, the one
// a failure cut is deleted. Import: three writes a message (header, the rest, the separator),
// the target cut back to its last whole message.
using RollbackTest = ConvertFolders;

TEST_F(RollbackTest, AFailureInsideAMessageTakesBackWhatWasWrittenOfIt) {
  StoreSpec spec;
  spec.messages = {{SimpleMessage("one", "short\r\n"), 0, 0},
                   {SimpleMessage("two", std::string(40000, 'b') + "\r\n"), 0, 0},
                   {SimpleMessage("three", "short\r\n"), 0, 0}};
  BuiltStore store = BuildStore(spec);
  ASSERT_TRUE(Convert(ExportMailbox, store));  // the second message copied block by block
  EXPECT_EQ(ReadFileBytes(EmlFileName(Out("exp"), 2)), spec.messages[1].bytes);
  ASSERT_TRUE(Convert(ImportMailbox, store));
  const std::string sound = ReadFileBytes(Out("Box.mbx"));
  const size_t first_end = sound.find("\r\n.\r\n") + 5;
  const size_t second_end = sound.find("\r\n.\r\n", first_end) + 5;
  const struct {
    MailboxOperation operation;
    InjectedFault fault;
    int message_id;
    size_t whole;  // messages that stay
  } kCases[] = {
      {ExportMailbox, {true, 1}, kWriteOutputFailed, 0},       // the first message's only write
      {ExportMailbox, {true, 3}, kWriteOutputFailed, 1},       // the second block of the second
      {ExportMailbox, {false, 2, 100}, kReadSourceFailed, 1},  // that block's read ran short
      {ImportMailbox, {true, 1}, kWriteOutputFailed, 0},
      {ImportMailbox, {true, 2}, kWriteOutputFailed, 0},
      {ImportMailbox, {true, 3}, kWriteOutputFailed, 0},
      {ImportMailbox, {true, 5}, kWriteOutputFailed, 1},
      {ImportMailbox, {true, 6}, kWriteOutputFailed, 1},
      {ImportMailbox, {true, 9}, kWriteOutputFailed, 2},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    std::filesystem::remove_all(folder_.Join("out"));
    std::filesystem::create_directory(folder_.Join("out"));
    notices_.notices.clear();
    state_.conversion_run = {};
    fault = c.fault;
    SetTransferObserver(FailOneTransfer);
    EXPECT_FALSE(Convert(c.operation, store));
    SetTransferObserver(nullptr);
    std::string format;
    ASSERT_TRUE(LoadCatalogueText(c.message_id, &format));
    ASSERT_EQ(notices_.notices.size(), 1u);
    EXPECT_EQ(notices_.notices[0].text.substr(0, 20), format.substr(0, 20));
    size_t files = std::distance(std::filesystem::directory_iterator(folder_.Join("out")), {});
    if (c.operation == ExportMailbox) {
      EXPECT_EQ(files, c.whole);
      for (size_t i = 0; i < c.whole; ++i) {
        EXPECT_EQ(ReadFileBytes(EmlFileName(Out("exp"), i + 1)), spec.messages[i].bytes);
      }
    } else {
      const size_t ends[] = {0, first_end, second_end};
      EXPECT_TRUE(ReadFileBytes(Out("Box.mbx")) == sound.substr(0, ends[c.whole]));
    }
  }
}

}  // namespace
}  // namespace ferrolt
