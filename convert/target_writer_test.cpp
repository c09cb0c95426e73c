#include "convert/target_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

class TargetWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.source_dir = source_.path() + kPathSeparator;
    state_.target_dir = target_.path() + kPathSeparator;
    state_.progress = &progress_;
  }
  std::string Import(const StoreSpec& spec, bool expect_ok = true) {
    WriteStore(source_.path(), "Inbox", BuildStore(spec));
    EXPECT_EQ(ImportMailbox(&state_, "Inbox.mbx"), expect_ok);
    return ReadFileBytes(target_.Join("Inbox.mbx"));
  }

  TempFolder source_, target_;
  ProgressRecorder progress_;
  RunState state_;
};

TEST_F(TargetWriterTest, ReadMessagesGetStatusAndEveryMessageItsSeparator) {
  StoreSpec spec;
  spec.messages = {{"From: a\r\nStatus: U\r\n\r\nread\r\n", 0, 0},
                   {"From: b\r\nStatus: O\r\n\r\nunread\r\n", 2, 0}};
  EXPECT_EQ(Import(spec),
            "From: a\r\nStatus: R\r\n\r\nread\r\n\r\n.\r\n"
            "From: b\r\n\r\nunread\r\n\r\n.\r\n");
  EXPECT_EQ(progress_.calls.front(), "label:Inbox.mbx");
}

TEST_F(TargetWriterTest, WithoutIndexNoMessageGetsAStatusLine) {
  StoreSpec spec;
  spec.with_index = false;
  spec.messages = {{"Status: R\nX: y\n\n.dot line\n", 0, 0}};
  EXPECT_EQ(Import(spec), "X: y\n\n.dot line\n\r\n.\r\n");
}

TEST_F(TargetWriterTest, NulBytesAreLeftOutAndTheRestKept) {
  StoreSpec spec;
  spec.messages = {{std::string("From: a\0\r\nStatus: U\r\n\r\nb\0ody\0", 29), 0, 0}};
  EXPECT_EQ(Import(spec), "From: a\r\nStatus: R\r\n\r\nbody\r\n.\r\n");
}

TEST_F(TargetWriterTest, HeaderWithoutLineEndKeepsStatusOnItsOwnLine) {
  StoreSpec spec;
  spec.messages = {{"Subject: x", 0, 0}};
  EXPECT_EQ(Import(spec), "Subject: x\r\nStatus: R\r\n\r\n.\r\n");
}

TEST_F(TargetWriterTest, HalfWidthKanaWideningTheHeaderIsWrittenWhole) {
  // 200 half-width katakana in Shift_JIS become 200 two-byte characters.
  std::string subject(200, '\xB1');
  StoreSpec spec;
  spec.messages = {{"Subject: " + subject + "\r\n\r\n", 0, 0}};
  std::string written = Import(spec);
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += "\x83\x41";  // katakana A
  EXPECT_EQ(written, "Subject: " + wide + "\r\nStatus: R\r\n\r\n\r\n.\r\n");
}

TEST_F(TargetWriterTest, ExistingTargetIsNeverOverwritten) {
  WriteFileBytes(target_.Join("Inbox.mbx"), "theirs");
  NoticeRecorder notices;
  StoreSpec spec;
  spec.messages = {{"A: b\r\n\r\n", 0, 0}};
  EXPECT_EQ(Import(spec, false), "theirs");
  ASSERT_EQ(notices.notices.size(), 1u);
  EXPECT_NE(notices.notices[0].text.find(target_.Join("Inbox.mbx")), std::string::npos);
}

TEST_F(TargetWriterTest, BrokenMailboxKeepsWhatWasWritten) {
  StoreSpec spec;
  spec.messages = {{"A: 1\r\n\r\n", 0, 0}, {"A: 2\r\n\r\n", 0, 0}};
  BuiltStore store = BuildStore(spec);
  PutU32(&store.mailbox, store.record_offsets[1] + kMessageLengthField, 1000);
  WriteStore(source_.path(), "Inbox", store);
  NoticeRecorder notices;
  EXPECT_FALSE(ImportMailbox(&state_, "Inbox.mbx"));
  EXPECT_EQ(ReadFileBytes(target_.Join("Inbox.mbx")), "A: 1\r\nStatus: R\r\n\r\n\r\n.\r\n");
  EXPECT_EQ(notices.notices.size(), 1u);
}

}  // namespace
}  // namespace ferrolt
