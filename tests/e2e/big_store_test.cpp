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
#include "platform/files.h"
#include "tests/support/captured_output.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

constexpr uint64_t kProbeHole = 64ull << 20;

struct FarMessage {
  uint32_t offset;
  std::string bytes;
};

std::string U32(uint32_t value) {
  std::string bytes(4, '\0');
  PutU32(&bytes, 0, value);
  return bytes;
}

// Writes `bytes` at `position` through the program's own file layer, which is what must reach
// past 2 GB on every system.
bool WriteAt(File file, uint64_t position, const std::string& bytes) {
  uint32_t moved = 0;
  return SeekFile(file, position).ok() &&
         WriteToFile(file, bytes.data(), static_cast<uint32_t>(bytes.size()), &moved).ok() &&
         moved == bytes.size();
}

// A file with a hole must not take the hole's size from the disk; otherwise there is no point
// writing 4 GB of zeros to test offsets.
bool CanMakeSparseFiles(const std::string& folder) {
  std::error_code error;
  uint64_t before = fs::space(folder, error).available;
  File file;
  bool sparse = before > kProbeHole && CreateNewFile(folder + "/probe", &file).ok() &&
                WriteAt(file, kProbeHole, "x");
  CloseFile(&file);
  sparse = sparse && before - fs::space(folder, error).available < kProbeHole / 2;
  fs::remove(folder + "/probe", error);
  return sparse && !error;
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
                 {0x80000123u, SimpleMessage("second", "past 2 GB\r\n")},
                 {0xC0000457u, SimpleMessage("third", "past 3 GB\r\n")},
                 {0xF0000000u, SimpleMessage("fourth", "near 4 GB\r\n")}};
    state_.source_dir = folder_.Join("in") + kPathSeparator;
    state_.target_dir = folder_.Join("out") + kPathSeparator;
    state_.export_prefix = folder_.Join("out") + kPathSeparator + "m";
    state_.progress = &progress_;
  }

  // Each record's length reaches to the next record, so sequential reading jumps the gaps. A
  // count above 4 claims records after the last one. An index lists `order`, its second entry
  // unread.
  void WriteBigStore(uint32_t last_record_length, uint32_t count,
                     const std::vector<size_t>& order) {
    fs::remove(folder_.Join("in/Big.mbx"));
    fs::remove(folder_.Join("in/Big.idx"));
    for (int i = 1; i <= 5; ++i) fs::remove(EmlFileName(state_.export_prefix, i));
    ResetCounters(&state_.conversion_run);  // numbering starts again at 1
    File file;
    ASSERT_TRUE(CreateNewFile(folder_.Join("in/Big.mbx"), &file).ok());
    ASSERT_TRUE(WriteAt(file, 0, "JMF6" + std::string(4, 'n') + U32(count) + std::string(72, 'n')));
    for (size_t i = 0; i < messages_.size(); ++i) {
      const FarMessage& message = messages_[i];
      uint32_t record_length =
          i + 1 < messages_.size() ? messages_[i + 1].offset - message.offset : last_record_length;
      ASSERT_TRUE(WriteAt(file, message.offset,
                          std::string(8, 'r') + U32(record_length) +
                              U32(static_cast<uint32_t>(message.bytes.size())) + message.bytes +
                              "tail"));
    }
    CloseFile(&file);
    if (order.empty()) return;
    std::string index = "JMF9" + std::string(4, 'n') + U32(static_cast<uint32_t>(order.size())) +
                        std::string(68, 'n');
    for (size_t i = 0; i < order.size(); ++i) {
      index += (i == 1 ? '\x02' : '\x00') + std::string(15, 'e') + U32(24) +
               U32(messages_[order[i]].offset);
    }
    WriteFileBytes(folder_.Join("in/Big.idx"), index);
  }

  TempFolder folder_;
  std::vector<FarMessage> messages_;
  ProgressRecorder progress_;
  RunState state_;
};

// 0xF0000000 + 0x10000000 is 4 GB exactly: no 32-bit offset can name a fifth record, but a
// length that carries it exactly to the last offset is sound (that record, beyond the end of
// this file, is simply not there to read), and the last record's length leads nowhere.
TEST_F(BigStoreTest, EveryOffsetBelowFourGigabytesIsReachedAndNoneBeyond) {
  const struct {
    uint32_t last_record_length, count;
    std::vector<size_t> order, exported;
    std::string notice;
  } kCases[] = {
      {64, 4, {}, {0, 1, 2, 3}, ""},
      {64, 4, {3, 1, 2, 0}, {3, 1, 2, 0}, ""},
      {0x10000000u, 5, {}, {0, 1, 2}, "Microsoft Internet Mail メール"},
      {0x0FFFFFFFu, 5, {}, {0, 1, 2, 3}, "ReadFile(Source) のエラーです。"},
      {0x10000000u, 4, {}, {0, 1, 2, 3}, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.last_record_length) + " " + std::to_string(c.order.size()));
    WriteBigStore(c.last_record_length, c.count, c.order);
    NoticeRecorder notices;
    EXPECT_EQ(ExportMailbox(&state_, "Big.mbx"), c.notice.empty());
    ASSERT_EQ(notices.notices.size(), c.notice.empty() ? 0u : 1u);
    for (const auto& notice : notices.notices) EXPECT_EQ(notice.text.rfind(c.notice, 0), 0u);
    for (size_t i = 0; i < c.exported.size(); ++i) {
      std::string eml = ReadFileBytes(EmlFileName(state_.export_prefix, static_cast<int>(i) + 1));
      EXPECT_EQ(eml, messages_[c.exported[i]].bytes) << i;
    }
    int next = static_cast<int>(c.exported.size()) + 1;
    EXPECT_FALSE(fs::exists(EmlFileName(state_.export_prefix, next)));
  }
}

TEST_F(BigStoreTest, IndexOffsetsPastTwoAndThreeGigabytesImportAndListUnsigned) {
  const size_t kOrder[] = {3, 1, 2, 0};
  WriteBigStore(64, 4, {3, 1, 2, 0});
  NoticeRecorder notices;
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

  WriteBigStore(64, 4, {2, 1});
  std::string listed = CapturedOutput(
      [&](std::FILE* out) { EXPECT_TRUE(ListMailbox(folder_.Join("in/Big.mbx"), out)); });
  EXPECT_EQ(listed, "1\t-R\t3221226583\t" + std::to_string(messages_[2].bytes.size()) +
                        "\t\ta@example.jp\tthird\n2\t-U\t2147483939\t" +
                        std::to_string(messages_[1].bytes.size()) + "\t\ta@example.jp\tsecond\n");
}

}  // namespace
}  // namespace ferrolt
