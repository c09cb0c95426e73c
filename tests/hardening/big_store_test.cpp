// Mailboxes as big as the format allows. Record offsets and lengths are unsigned 32-bit numbers
// in both the mailbox and its index, so 4 GB (offset 0xFFFFFFFF) is the ceiling: a message must
// start below it, and a record length that would carry the next record past it makes the
// mailbox unsound. Below the ceiling every offset must work, including those past 2 GB (where a
// signed 32-bit number turns negative) and past 3 GB. The stores here are sparse files: a few
// kilobytes of records spread over nearly 4 GB.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/list_command.h"
#include "convert/eml_export.h"
#include "convert/target_writer.h"
#include "notices/catalogue.h"
#include "platform/files.h"
#include "tests/support/captured_output.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

constexpr uint32_t kPastTwoGb = 0x80000123u;
constexpr uint32_t kPastThreeGb = 0xC0000457u;
constexpr uint32_t kNearTheCeiling = 0xF0000000u;
constexpr uint64_t kProbeHole = 64ull << 20;

struct FarMessage {
  uint32_t offset;
  std::string bytes;
};

// Writes `bytes` at `position` through the program's own file layer, which is what must reach
// past 2 GB on every system.
void WriteAt(File file, uint64_t position, const std::string& bytes) {
  uint32_t moved = 0;
  ASSERT_TRUE(SeekFile(file, position).ok());
  ASSERT_TRUE(WriteToFile(file, bytes.data(), static_cast<uint32_t>(bytes.size()), &moved).ok());
  ASSERT_EQ(moved, bytes.size());
}

std::string U32(uint32_t value) {
  std::string bytes(4, '\0');
  PutU32(&bytes, 0, value);
  return bytes;
}

// A file with a hole must not take the hole's size from the disk; otherwise there is no point
// writing 4 GB of zeros to test offsets.
bool CanMakeSparseFiles(const std::string& folder) {
  std::error_code error;
  std::string probe = folder + "/sparse-probe";
  fs::space_info before = fs::space(folder, error);
  if (error || before.available < kProbeHole) return false;
  File file;
  if (!CreateNewFile(probe, &file).ok()) return false;
  uint32_t moved = 0;
  bool written = SeekFile(file, kProbeHole).ok() && WriteToFile(file, "x", 1, &moved).ok();
  CloseFile(&file);
  fs::space_info after = fs::space(folder, error);
  fs::remove(probe);
  return written && !error && before.available - after.available < kProbeHole / 2;
}

class BigStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CanMakeSparseFiles(folder_.path())) {
      GTEST_SKIP() << "this file system cannot make sparse files, or has no room for a probe";
    }
    fs::create_directory(folder_.Join("in"));
    fs::create_directory(folder_.Join("out"));
    messages_ = {{84, SimpleMessage("first", "at the start\r\n")},
                 {kPastTwoGb, SimpleMessage("second", "past 2 GB\r\n")},
                 {kPastThreeGb, SimpleMessage("third", "past 3 GB\r\n")},
                 {kNearTheCeiling, SimpleMessage("fourth", "near 4 GB\r\n")}};
    state_.source_dir = folder_.Join("in") + kPathSeparator;
    state_.target_dir = folder_.Join("out") + kPathSeparator;
    state_.export_prefix = folder_.Join("out") + kPathSeparator + "m";
    state_.progress = &progress_;
  }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(folder_.Join("in"), error);
  }

  // Each record's length reaches to the next record, so sequential reading jumps the gaps. A
  // count above 4 claims records after the last one.
  void WriteMailbox(uint32_t last_record_length, uint32_t count = 4) {
    File file;
    ASSERT_TRUE(CreateNewFile(folder_.Join("in/Big.mbx"), &file).ok());
    WriteAt(file, 0, "JMF6" + std::string(4, 'n') + U32(count) + std::string(72, 'n'));
    for (size_t i = 0; i < messages_.size(); ++i) {
      const FarMessage& message = messages_[i];
      uint32_t record_length =
          i + 1 < messages_.size() ? messages_[i + 1].offset - message.offset : last_record_length;
      WriteAt(file, message.offset,
              std::string(8, 'r') + U32(record_length) +
                  U32(static_cast<uint32_t>(message.bytes.size())) + message.bytes + "tail");
    }
    CloseFile(&file);
  }

  // Entries in the order `order`, the second of them unread.
  void WriteIndex(const std::vector<size_t>& order) {
    std::string index = "JMF9" + std::string(4, 'n') + U32(static_cast<uint32_t>(order.size())) +
                        std::string(68, 'n');
    for (size_t i = 0; i < order.size(); ++i) {
      index += std::string(1, i == 1 ? '\x02' : '\x00') + std::string(15, 'e') + U32(24) +
               U32(messages_[order[i]].offset);
    }
    WriteFileBytes(folder_.Join("in/Big.idx"), index);
  }

  std::string Eml(int number) { return ReadFileBytes(EmlFileName(state_.export_prefix, number)); }

  TempFolder folder_;
  std::vector<FarMessage> messages_;
  ProgressRecorder progress_;
  RunState state_;
};

TEST_F(BigStoreTest, RecordByRecordReachesMessagesPastTwoAndThreeGigabytes) {
  WriteMailbox(64);
  NoticeRecorder notices;
  ASSERT_TRUE(ExportMailbox(&state_, "Big.mbx"));
  EXPECT_TRUE(notices.notices.empty());
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Eml(i + 1), messages_[i].bytes) << "message " << i;
  EXPECT_FALSE(fs::exists(EmlFileName(state_.export_prefix, 5)));
}

TEST_F(BigStoreTest, IndexOffsetsPastTwoAndThreeGigabytesExportAndImport) {
  WriteMailbox(64);
  WriteIndex({3, 1, 2, 0});
  NoticeRecorder notices;
  ASSERT_TRUE(ExportMailbox(&state_, "Big.mbx"));
  const size_t kOrder[] = {3, 1, 2, 0};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Eml(i + 1), messages_[kOrder[i]].bytes) << i;

  ASSERT_TRUE(ImportMailbox(&state_, "Big.mbx"));
  EXPECT_TRUE(notices.notices.empty());
  std::string expected;
  for (int i = 0; i < 4; ++i) {
    std::string message = messages_[kOrder[i]].bytes;
    size_t body = message.find("\r\n\r\n") + 2;
    std::string status = i == 1 ? "" : "Status: R\r\n";  // the second entry is unread
    expected += message.substr(0, body) + status + message.substr(body) + "\r\n.\r\n";
  }
  EXPECT_EQ(ReadFileBytes(folder_.Join("out/Big.mbx")), expected);
}

TEST_F(BigStoreTest, ListingShowsOffsetsPastTwoGigabytesUnsigned) {
  WriteMailbox(64);
  WriteIndex({2, 1});
  std::string listed = CapturedOutput(
      [&](std::FILE* out) { EXPECT_TRUE(ListMailbox(folder_.Join("in/Big.mbx"), out)); });
  EXPECT_EQ(listed, "1\t-R\t3221226583\t" + std::to_string(messages_[2].bytes.size()) +
                        "\t\ta@example.jp\tthird\n2\t-U\t2147483939\t" +
                        std::to_string(messages_[1].bytes.size()) + "\t\ta@example.jp\tsecond\n");
}

TEST_F(BigStoreTest, ARecordLengthPastFourGigabytesIsRefusedAfterTheMessagesBeforeIt) {
  // 0xF0000000 + 0x10000000 is 4 GB exactly: no 32-bit offset can name a fifth record.
  WriteMailbox(0x10000000u, 5);
  NoticeRecorder notices;
  EXPECT_FALSE(ExportMailbox(&state_, "Big.mbx"));
  std::string not_a_mailbox;
  ASSERT_TRUE(LoadCatalogueText(kNotAMailbox, &not_a_mailbox));
  ASSERT_EQ(notices.notices.size(), 1u);
  EXPECT_EQ(notices.notices[0].text, not_a_mailbox);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Eml(i + 1), messages_[i].bytes) << "message " << i;
  EXPECT_FALSE(fs::exists(EmlFileName(state_.export_prefix, 4)));
}

// A length that carries the next record exactly to the last 32-bit offset is sound; that record,
// beyond the end of this file, is simply not there to read.
TEST_F(BigStoreTest, ARecordLengthReachingTheLastOffsetIsAccepted) {
  WriteMailbox(0x0FFFFFFFu, 5);
  NoticeRecorder notices;
  EXPECT_FALSE(ExportMailbox(&state_, "Big.mbx"));
  ASSERT_EQ(notices.notices.size(), 1u);
  EXPECT_EQ(notices.notices[0].text.rfind("ReadFile(Source) のエラーです。", 0), 0u);
  EXPECT_EQ(Eml(4), messages_[3].bytes);
}

TEST_F(BigStoreTest, TheLastRecordsLengthLeadsNowhereAndIsNotChecked) {
  WriteMailbox(0x10000000u);
  NoticeRecorder notices;
  EXPECT_TRUE(ExportMailbox(&state_, "Big.mbx"));
  EXPECT_TRUE(notices.notices.empty());
  EXPECT_EQ(Eml(4), messages_[3].bytes);
}

}  // namespace
}  // namespace ferrolt
