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
#include "platform/files.h"
#include "tests/support/captured_output.h"
#include "tests/support/convert_fixtures.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

constexpr uint64_t kProbeHole = 64ull << 20;
const uint32_t kFar[] = {kFirstRecordOffset, 0x80000123u, 0xC0000457u, 0xF0000000u};

// Writes `bytes` at `position` through the program's own file layer, which is what must reach
// past 2 GB on every system.
bool WriteAt(File file, uint64_t position, const std::string& bytes) {
  uint32_t moved = 0;
  return SeekFile(file, position).ok() &&
         WriteToFile(file, bytes.data(), static_cast<uint32_t>(bytes.size()), &moved).ok() &&
         moved == bytes.size();
}

class BigStoreTest : public ConvertFolders {
 protected:
  void SetUp() override {
    // A file with a hole must not take the hole's size from the disk; otherwise there is no
    // point writing 4 GB of zeros to test offsets.
    std::error_code error;
    uint64_t before = fs::space(folder_.path(), error).available;
    File probe;
    bool sparse = before > kProbeHole && CreateNewFile(folder_.Join("probe"), &probe).ok() &&
                  WriteAt(probe, kProbeHole, "x");
    CloseFile(&probe);
    if (!sparse || before - fs::space(folder_.path(), error).available > kProbeHole / 2) {
      GTEST_SKIP() << "this file system cannot make sparse files, or has no room for a probe";
    }
    for (int i = 0; i < 4; ++i)
      spec_.messages.push_back({SimpleMessage("m" + std::to_string(i), "")});
    spec_.messages[1].flags = 2;  // unread
  }

  // The built store's records moved to kFar, each record's length reaching to the next one (so
  // sequential reading jumps the gaps) and the last one's `last_length`. A `count` above 4
  // claims records after the last. The index, when `order` is not empty, lists `order`.
  void WriteBigStore(const std::string& base, uint32_t last_length, uint32_t count,
                     const std::vector<size_t>& order) {
    spec_.with_index = !order.empty();
    spec_.index_order = order;
    spec_.override_mailbox_count = true;
    spec_.mailbox_count = count;
    BuiltStore store = BuildStore(spec_);
    store.record_offsets.push_back(static_cast<uint32_t>(store.mailbox.size()));
    File file;
    ASSERT_TRUE(CreateNewFile(folder_.Join("in/" + base + ".mbx"), &file).ok());
    EXPECT_TRUE(WriteAt(file, 0, store.mailbox.substr(0, kFirstRecordOffset)));
    for (size_t i = 0; i < 4; ++i) {
      std::string record = store.mailbox.substr(
          store.record_offsets[i], store.record_offsets[i + 1] - store.record_offsets[i]);
      PutU32(&record, kRecordLengthField, i < 3 ? kFar[i + 1] - kFar[i] : last_length);
      EXPECT_TRUE(WriteAt(file, kFar[i], record));
    }
    CloseFile(&file);
    for (size_t i = 0; i < order.size(); ++i) {
      PutU32(&store.index, kFirstEntryOffset + i * kEntrySize + kEntryOffsetField, kFar[order[i]]);
    }
    if (!order.empty()) WriteFileBytes(folder_.Join("in/" + base + ".idx"), store.index);
  }

  StoreSpec spec_;
};

// 0xF0000000 + 0x10000000 is 4 GB exactly: no 32-bit offset can name a fifth record, but a
// length that carries it exactly to the last offset is sound (that record, beyond the end of
// this file, is simply not there to read), and the last record's length leads nowhere.
TEST_F(BigStoreTest, EveryOffsetBelowFourGigabytesIsReachedAndNoneBeyond) {
  const struct {
    uint32_t last_length, count;
    std::vector<size_t> order, exported;
    std::string notice;
  } kCases[] = {
      {64, 4, {}, {0, 1, 2, 3}, ""},
      {64, 4, {3, 1, 2, 0}, {3, 1, 2, 0}, ""},
      {0x10000000u, 5, {}, {0, 1, 2}, "Microsoft Internet Mail メール"},
      {0x0FFFFFFFu, 5, {}, {0, 1, 2, 3}, "ReadFile(Source) のエラーです。"},
      {0x10000000u, 4, {}, {0, 1, 2, 3}, ""},
  };
  int row = 0;
  for (const auto& c : kCases) {
    std::string base = "Big" + std::to_string(++row);
    SCOPED_TRACE(base);
    WriteBigStore(base, c.last_length, c.count, c.order);
    notices_.notices.clear();
    ResetCounters(&state_.conversion_run);  // numbering starts again at 1
    state_.export_prefix = Out(base + "-");
    EXPECT_EQ(ExportMailbox(&state_, base + ".mbx"), c.notice.empty());
    EXPECT_EQ(ShownNotice(notices_.notices, c.notice), c.notice);
    std::vector<std::string> expected, written;
    for (size_t i : c.exported) expected.push_back(spec_.messages[i].bytes);
    for (int n = 1; fs::exists(EmlFileName(state_.export_prefix, n)); ++n) {
      written.push_back(ReadFileBytes(EmlFileName(state_.export_prefix, n)));
    }
    EXPECT_EQ(written, expected);
  }
}

// The listing reads the index's offsets, and prints them, unsigned.
TEST_F(BigStoreTest, IndexOffsetsPastTwoAndThreeGigabytesAreListedUnsigned) {
  WriteBigStore("Big", 64, 4, {3, 1, 2, 0});
  std::string listed;
  int number = 0;
  for (size_t i : {3, 1, 2, 0}) {
    listed += std::to_string(++number) + (i == 1 ? "\t-U\t" : "\t-R\t") + std::to_string(kFar[i]) +
              "\t" + std::to_string(spec_.messages[i].bytes.size()) + "\t\ta@example.jp\tm" +
              std::to_string(i) + "\n";
  }
  EXPECT_EQ(CapturedOutput(
                [&](std::FILE* out) { EXPECT_TRUE(ListMailbox(folder_.Join("in/Big.mbx"), out)); }),
            listed);
}

}  // namespace
}  // namespace ferrolt
