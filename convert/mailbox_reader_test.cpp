#include "convert/mailbox_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/convert_fixtures.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

StoreSpec ThreeMessages() {
  StoreSpec spec;
  spec.messages = {{SimpleMessage("one", "1\r\n"), 0, 3},
                   {SimpleMessage("two", "22\r\n"), 1, 0},
                   {SimpleMessage("three", "333\r\n"), 2, 17}};
  spec.index_order = {2, 0, 1};  // record offsets not ascending
  spec.entry_padding = 5;
  return spec;
}

// Record by record without flags, or in index order with them; a deleted message is left out
// only when asked, and even then moves the bar. An index is found in any case; a wrong magic is
// passed over silently, one too short to hold a magic with a notice, and reading goes on record
// by record.
TEST(MailboxReaderTest, ReadsRecordByRecordOrInIndexOrder) {
  enum Index { kNone, kSound, kWrongMagic, kTooShort };
  const struct {
    const char *mailbox, *index;  // file names
    Index kind;
    bool skip_deleted;
    std::vector<size_t> order;
    int32_t deleted;
    const char* notice;
  } kCases[] = {
      {"Inbox.mbx", "Inbox.idx", kNone, true, {0, 1, 2}, 0, ""},
      {"Inbox.mbx", "Inbox.idx", kSound, true, {2, 0}, 0, ""},
      {"INBOX.MBX", "inbox.IDX", kSound, false, {2, 0, 1}, 1, ""},
      {"Inbox.mbx", "Inbox.idx", kWrongMagic, false, {0, 1, 2}, 0, ""},
      {"Inbox.mbx",
       "Inbox.idx",
       kTooShort,
       false,
       {0, 1, 2},
       0,
       "ReadFile(Index) のエラーです。Code=<0>"},
  };
  const StoreSpec spec = ThreeMessages();
  const BuiltStore store = BuildStore(spec);
  std::string wrong_magic = store.index;
  wrong_magic[3] = '8';
  const std::string index[] = {"", store.index, wrong_magic, "JMF"};
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    TempFolder folder;
    WriteFileBytes(folder.Join(c.mailbox), store.mailbox);
    if (c.kind != kNone) WriteFileBytes(folder.Join(c.index), index[c.kind]);
    ReadResult result = ReadMailboxAt(folder.Join(c.mailbox), {.skip_deleted = c.skip_deleted});
    const bool indexed = c.kind == kSound;
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.indexed, indexed);
    ASSERT_EQ(result.handed.size(), c.order.size());
    for (size_t i = 0; i < c.order.size(); ++i) {
      const Handed& handed = result.handed[i];
      EXPECT_EQ(handed.bytes, spec.messages[c.order[i]].bytes);
      EXPECT_EQ(handed.record.record_offset, store.record_offsets[c.order[i]]);
      EXPECT_EQ(handed.record.has_flags, indexed);
      EXPECT_EQ(handed.record.flags & 3, indexed ? spec.messages[c.order[i]].flags : 0);
      EXPECT_EQ(handed.message_count, static_cast<int32_t>(i + 1));
    }
    EXPECT_EQ(result.run.message_count, static_cast<int32_t>(c.order.size()));
    EXPECT_EQ(result.run.deleted_count, c.deleted);
    EXPECT_EQ(result.progress,
              (std::vector<std::string>{"label:" + std::string(c.mailbox), "range:3", "step:1",
                                        "pos:0", "stepit", "stepit", "stepit"}));
    EXPECT_EQ(ShownNotice(result.notices, c.notice), c.notice);
  }
}

enum class Field { kMagic, kCount, kRecordLength, kEntryLength, kMessageLength };

// A wrong mailbox magic stops at once; a count of zero or below reads nothing, one past the
// records stops at the first short read. A record's or an index entry's length that does not
// advance, or passes what a 32-bit offset reaches, stops the mailbox, except the last one's,
// which leads nowhere; a message may run up to the mailbox's last byte but not one past it (its
// length here is what is left plus `value`).
TEST(MailboxReaderTest, DamagedFields) {
  const char kNotAMailbox[] =
      "Microsoft Internet Mail メールボックス形式のファイルではありません。";
  const char kShort[] = "ReadFile(Source) のエラーです。Code=<0>";
  const struct {
    Field field;
    size_t message;
    uint32_t value;
    bool with_index;
    size_t handed;
    uint32_t range;
    const char* notice;
  } kCases[] = {
      {Field::kMagic, 0, 0, false, 0, 0, kNotAMailbox},
      {Field::kMagic, 0, 0, true, 0, 0, kNotAMailbox},
      {Field::kCount, 0, 0, false, 0, 0, ""},
      {Field::kCount, 0, 0x80000000, false, 0, 0, ""},
      {Field::kCount, 0, 0xFFFFFFFF, true, 0, 0, ""},
      {Field::kCount, 0, 0x7FFFFFFF, false, 3, 0x7FFFFFFF, kShort},
      {Field::kCount, 0, 0x7FFFFFFF, true, 3, 0x7FFFFFFF, kShort},
      {Field::kRecordLength, 1, 0, false, 1, 3, kNotAMailbox},
      {Field::kRecordLength, 1, 15, false, 1, 3, kNotAMailbox},
      {Field::kRecordLength, 1, 0xFFFFFFF0, false, 1, 3, kNotAMailbox},
      {Field::kEntryLength, 1, 0, true, 1, 3, kNotAMailbox},
      {Field::kEntryLength, 1, 23, true, 1, 3, kNotAMailbox},
      {Field::kEntryLength, 1, 0xFFFFFFF0, true, 1, 3, kNotAMailbox},
      {Field::kRecordLength, 2, 0, false, 3, 3, ""},
      {Field::kRecordLength, 2, 0xFFFFFFF0, false, 3, 3, ""},
      {Field::kEntryLength, 2, 0, true, 3, 3, ""},
      {Field::kEntryLength, 2, 0xFFFFFFF0, true, 3, 3, ""},
      {Field::kMessageLength, 2, 0, false, 3, 3, ""},
      {Field::kMessageLength, 2, 0, true, 3, 3, ""},
      {Field::kMessageLength, 2, 1, false, 2, 3, kShort},
      {Field::kMessageLength, 2, 1, true, 2, 3, kShort},
  };
  StoreSpec spec = ThreeMessages();
  spec.index_order.clear();
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    spec.with_index = c.with_index;
    BuiltStore store = BuildStore(spec);
    uint32_t record = store.record_offsets[c.message];
    uint32_t entry = kFirstEntryOffset + c.message * (kEntrySize + spec.entry_padding);
    uint32_t left = static_cast<uint32_t>(store.mailbox.size()) - record - kRecordHeaderSize;
    if (c.field == Field::kMagic) store.mailbox[0] = 'j';
    if (c.field == Field::kCount) PutU32(&store.mailbox, kMailboxCountOffset, c.value);
    if (c.field == Field::kCount && c.with_index) PutU32(&store.index, kIndexCountOffset, c.value);
    if (c.field == Field::kRecordLength)
      PutU32(&store.mailbox, record + kRecordLengthField, c.value);
    if (c.field == Field::kEntryLength) PutU32(&store.index, entry + kEntryLengthField, c.value);
    if (c.field == Field::kMessageLength) {
      PutU32(&store.mailbox, record + kMessageLengthField, left + c.value);
    }
    ReadResult result = ReadStore(store, {.skip_deleted = false});
    EXPECT_EQ(result.indexed, c.with_index);
    EXPECT_EQ(result.ok, *c.notice == '\0');
    EXPECT_EQ(result.handed.size(), c.handed);
    EXPECT_EQ(result.run.message_count, static_cast<int32_t>(c.handed));
    EXPECT_EQ(result.progress.size() > 1 ? result.progress[1] : "",
              c.field == Field::kMagic ? "" : "range:" + std::to_string(c.range));
    EXPECT_EQ(ShownNotice(result.notices, c.notice), c.notice);
  }
}

}  // namespace
}  // namespace ferrolt
