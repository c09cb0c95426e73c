#include "convert/mailbox_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/support/convert_fixtures.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

// Record by record without flags, or in index order with them; a deleted message is left out
// only when asked, and even then moves the bar. An index is found in any case; a wrong magic is
// passed over silently, one too short to hold a magic with a notice, and reading goes on record
// by record. A wrong mailbox magic stops at once; a count of zero or below reads nothing, one
// past the records stops at the first short read. A record's or an index entry's length shorter
// than the part the reader steps over, or passing what a 32-bit offset reaches, stops the
// mailbox, except the last one's, which leads nowhere; a message may run up to the mailbox's last
// byte but not one past it (its length here is what is left plus `value`). All alike whether the
// consumer reads each message or is handed its bytes.
TEST(MailboxReaderTest, ReadsRecordByRecordOrInIndexOrderAndStopsWhereDamageWouldMislead) {
  enum Index { kNone, kWrongMagic, kTooShort, kSound, kOtherCase };  // the last two are read
  enum Field { kNothing, kMagic, kCount, kRecordLength, kEntryLength, kMessageLength };
  const char kNotAMailbox[] =
      "Microsoft Internet Mail メールボックス形式のファイルではありません。";
  const char kShort[] = "ReadFile(Source) のエラーです。Code=<0>";
  const char kIndexShort[] = "ReadFile(Index) のエラーです。Code=<0>";
  const struct {
    Index index;
    bool skip_deleted;
    Field field;
    uint32_t at, value;         // the record or entry damaged, and what goes into it
    std::vector<size_t> order;  // the messages handed on
    int32_t deleted;
    uint32_t range, steps;
    const char* notice;
  } kCases[] = {
      {kNone, true, kNothing, 0, 0, {0, 1, 2}, 0, 3, 3, ""},
      {kSound, true, kNothing, 0, 0, {2, 0}, 0, 3, 3, ""},
      {kOtherCase, false, kNothing, 0, 0, {2, 0, 1}, 1, 3, 3, ""},
      {kWrongMagic, false, kNothing, 0, 0, {0, 1, 2}, 0, 3, 3, ""},
      {kTooShort, false, kNothing, 0, 0, {0, 1, 2}, 0, 3, 3, kIndexShort},
      {kNone, false, kMagic, 0, 0, {}, 0, 0, 0, kNotAMailbox},
      {kSound, false, kMagic, 0, 0, {}, 0, 0, 0, kNotAMailbox},
      {kNone, false, kCount, 0, 0, {}, 0, 0, 0, ""},
      {kNone, false, kCount, 0, 0x80000000, {}, 0, 0, 0, ""},
      {kSound, false, kCount, 0, 0xFFFFFFFF, {}, 0, 0, 0, ""},
      {kNone, false, kCount, 0, 0x7FFFFFFF, {0, 1, 2}, 0, 0x7FFFFFFF, 4, kShort},
      {kSound, false, kCount, 0, 0x7FFFFFFF, {2, 0, 1}, 1, 0x7FFFFFFF, 4, kShort},
      {kNone, false, kRecordLength, 1, 15, {0}, 0, 3, 2, kNotAMailbox},
      {kNone, false, kRecordLength, 1, 0xFFFFFFF0, {0}, 0, 3, 2, kNotAMailbox},
      {kSound, false, kEntryLength, 1, 23, {2}, 0, 3, 2, kNotAMailbox},
      {kSound, false, kEntryLength, 1, 0xFFFFFFF0, {2}, 0, 3, 2, kNotAMailbox},
      {kNone, false, kRecordLength, 2, 0xFFFFFFF0, {0, 1, 2}, 0, 3, 3, ""},
      {kSound, false, kEntryLength, 2, 0xFFFFFFF0, {2, 0, 1}, 1, 3, 3, ""},
      {kNone, false, kMessageLength, 2, 0, {0, 1, 2}, 0, 3, 3, ""},
      {kNone, false, kMessageLength, 2, 1, {0, 1}, 0, 3, 3, kShort},
      {kSound, false, kMessageLength, 2, 1, {}, 0, 3, 1, kShort},
  };
  StoreSpec spec;
  spec.messages = {{SimpleMessage("one", "1\r\n"), 0, 3},
                   {SimpleMessage("two", "22\r\n"), 1, 0},
                   {SimpleMessage("three", "333\r\n"), 2, 17}};
  spec.index_order = {2, 0, 1};  // record offsets not ascending
  spec.entry_padding = 5;
  for (size_t n = 0; n < 2 * std::size(kCases); ++n) {
    const auto& c = kCases[n % std::size(kCases)];
    const bool takes_bytes = n >= std::size(kCases);
    SCOPED_TRACE(std::to_string(&c - kCases) + (takes_bytes ? " bytes handed on" : ""));
    BuiltStore store = BuildStore(spec);
    const uint32_t record = store.record_offsets[c.at];
    const uint32_t entry = kFirstEntryOffset + c.at * (kEntrySize + spec.entry_padding);
    if (c.field == kMagic) store.mailbox[0] = 'j';
    if (c.field == kCount) PutU32(&store.mailbox, kMailboxCountOffset, c.value);
    if (c.field == kCount) PutU32(&store.index, kIndexCountOffset, c.value);
    if (c.field == kRecordLength) PutU32(&store.mailbox, record + kRecordLengthField, c.value);
    if (c.field == kEntryLength) PutU32(&store.index, entry + kEntryLengthField, c.value);
    const uint32_t left = store.mailbox.size() - record - kRecordHeaderSize;
    if (c.field == kMessageLength)
      PutU32(&store.mailbox, record + kMessageLengthField, left + c.value);
    if (c.index == kWrongMagic) store.index[3] = '8';
    if (c.index == kTooShort) store.index = "JMF";
    TempFolder folder;
    WriteFileBytes(folder.Join("Inbox.mbx"), store.mailbox);
    if (c.index != kNone) {
      WriteFileBytes(folder.Join(c.index == kOtherCase ? "INBOX.IDX" : "Inbox.idx"), store.index);
    }
    const ReadResult result = ReadMailboxAt(
        folder.Join("Inbox.mbx"), {.skip_deleted = c.skip_deleted, .takes_bytes = takes_bytes});
    std::vector<std::tuple<std::string, uint32_t, int, int32_t>> expected, handed;
    for (size_t i = 0; i < c.order.size(); ++i) {
      const MessageSpec& message = spec.messages[c.order[i]];
      const bool to_the_end = c.field == kMessageLength && c.order[i] == c.at;
      expected.emplace_back(
          to_the_end ? store.mailbox.substr(record + kRecordHeaderSize) : message.bytes,
          store.record_offsets[c.order[i]], c.index >= kSound ? message.flags : -1, i + 1);
    }
    for (const Handed& h : result.handed) {
      handed.emplace_back(h.bytes, h.record.record_offset,
                          h.record.has_flags ? h.record.flags & 3 : -1, h.message_count);
    }
    std::vector<std::string> progress = {"label:Inbox.mbx", "range:" + std::to_string(c.range),
                                         "step:1", "pos:0"};
    progress.resize(c.field == kMagic ? 1 : 4 + c.steps, "stepit");
    // An index that cannot be read is passed over with its notice.
    EXPECT_EQ(result.ok, *c.notice == '\0' || c.index == kTooShort);
    EXPECT_EQ(result.indexed, c.index >= kSound);
    EXPECT_EQ(handed, expected);
    EXPECT_EQ(result.run.deleted_count, c.deleted);
    EXPECT_EQ(result.progress, progress);
    EXPECT_EQ(ShownNotice(result.notices, c.notice), c.notice);
  }
}

}  // namespace
}  // namespace ferrolt
