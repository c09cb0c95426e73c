// Mailboxes as big as the format allows. Record offsets and lengths are unsigned 32-bit numbers
// in both the mailbox and its index, so 4 GB (offset 0xFFFFFFFF) is the ceiling: a message must
// start below it, and a record length that would carry the next record past it makes the
// mailbox unsound. Below the ceiling every offset must work, including those past 2 GB (where a
// signed 32-bit number turns negative) and past 3 GB. The stores here are sparse files: a few
// kilobytes of records spread over nearly 4 GB, written through the program's own file layer,
// which is what must reach past 2 GB on every system (this test also runs under Wine).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "tests/support/convert_fixtures.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

bool WriteAt(File file, uint64_t position, const std::string& bytes) {
  uint32_t moved = 0;
  return SeekFile(file, position).ok() &&
         WriteToFile(file, bytes.data(), static_cast<uint32_t>(bytes.size()), &moved).ok() &&
         moved == bytes.size();
}

// Four records at kFar, each record's length reaching to the next one (so reading record by
// record jumps the gaps) and the last one's as the row says; a count of 5 claims a record after
// the last, and 0xF0000000 + 0x10000000 is 4 GB exactly: no 32-bit offset can name a fifth
// record, but a length that carries it exactly to the last offset is sound (that record, beyond
// the end of this file, is simply not there to read), and the last record's length leads nowhere.
// Offsets past 2 and 3 GB, the index's too, come back unsigned.
TEST(BigStoreTest, EveryOffsetBelowFourGigabytesIsReachedAndNoneBeyond) {
  // A file with a hole must not take the hole's size from the disk.
  constexpr uint64_t kProbeHole = 64ull << 20;
  TempFolder folder;
  std::error_code error;
  const uint64_t before = std::filesystem::space(folder.path(), error).available;
  File file;
  bool sparse = before > kProbeHole && CreateNewFile(folder.Join("probe"), &file).ok() &&
                WriteAt(file, kProbeHole, "x");
  CloseFile(&file);
  if (!sparse || before - std::filesystem::space(folder.path(), error).available > kProbeHole / 2) {
    GTEST_SKIP() << "this file system cannot make sparse files, or has no room for a probe";
  }
  const uint32_t kFar[] = {kFirstRecordOffset, 0x80000123u, 0xC0000457u, 0xF0000000u};
  StoreSpec spec;
  for (int i = 0; i < 4; ++i) spec.messages.push_back({SimpleMessage("m" + std::to_string(i), "")});
  spec.override_mailbox_count = true;
  const struct {
    uint32_t last_length, count;
    std::vector<size_t> order, handed;  // index order; the messages handed on
    std::string notice;
  } kCases[] = {
      {64, 4, {3, 1, 2, 0}, {3, 1, 2, 0}, ""},
      {0x10000000u, 5, {}, {0, 1, 2}, "Microsoft Internet Mail メール"},
      {0x0FFFFFFFu, 5, {}, {0, 1, 2, 3}, "ReadFile(Source) のエラーです。"},
      {0x10000000u, 4, {}, {0, 1, 2, 3}, ""},
  };
  for (const auto& c : kCases) {
    const std::string base = "Big" + std::to_string(&c - kCases);
    SCOPED_TRACE(base);
    spec.with_index = !c.order.empty();
    spec.index_order = c.order;
    spec.mailbox_count = c.count;
    BuiltStore store = BuildStore(spec);
    store.record_offsets.push_back(static_cast<uint32_t>(store.mailbox.size()));
    ASSERT_TRUE(CreateNewFile(folder.Join(base + ".mbx"), &file).ok());
    EXPECT_TRUE(WriteAt(file, 0, store.mailbox.substr(0, kFirstRecordOffset)));
    for (size_t i = 0; i < 4; ++i) {
      std::string record = store.mailbox.substr(
          store.record_offsets[i], store.record_offsets[i + 1] - store.record_offsets[i]);
      PutU32(&record, kRecordLengthField, i < 3 ? kFar[i + 1] - kFar[i] : c.last_length);
      EXPECT_TRUE(WriteAt(file, kFar[i], record));
    }
    CloseFile(&file);
    for (size_t i = 0; i < c.order.size(); ++i) {
      PutU32(&store.index, kFirstEntryOffset + i * kEntrySize + kEntryRecordOffsetField,
             kFar[c.order[i]]);
    }
    if (spec.with_index) WriteFileBytes(folder.Join(base + ".idx"), store.index);
    const ReadResult result = ReadMailboxAt(folder.Join(base + ".mbx"), {.skip_deleted = false});
    EXPECT_EQ(result.ok, c.notice.empty());
    EXPECT_EQ(ShownNotice(result.notices, c.notice), c.notice);
    std::vector<std::pair<std::string, uint32_t>> expected, handed;
    for (size_t i : c.handed) expected.emplace_back(spec.messages[i].bytes, kFar[i]);
    for (const Handed& h : result.handed) handed.emplace_back(h.bytes, h.record.record_offset);
    EXPECT_EQ(handed, expected);
  }
}

}  // namespace
}  // namespace ferrolt
