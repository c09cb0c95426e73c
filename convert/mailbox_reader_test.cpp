#include "convert/mailbox_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "convert/exact_io.h"
#include "convert/index_probe.h"
#include "convert/salvage_reader.h"
#include "notices/catalogue.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using testing::BuildStore;
using testing::BuiltStore;
using testing::NoticeRecorder;
using testing::ProgressRecorder;
using testing::PutU32;
using testing::SimpleMessage;
using testing::StoreSpec;
using testing::TempFolder;
using testing::WriteFileBytes;

struct Handed {
  std::string bytes;
  MessageRecord record;
  int32_t message_count;  // the run's count when it was handed on
};

class RecordingConsumer final : public MessageConsumer {
 public:
  explicit RecordingConsumer(const RunState* state) : state_(state) {}
  bool HandleMessage(File mailbox, const MessageRecord& record) override {
    std::string bytes(record.length, '\0');
    if (!ReadExact(mailbox, bytes.data(), record.length, 53)) return false;
    handed.push_back({bytes, record, state_->conversion_run.message_count});
    return true;
  }
  std::vector<Handed> handed;

 private:
  const RunState* state_;
};

struct ReadResult {
  bool ok = false;
  bool indexed = false;
  std::vector<Handed> handed;
  ConversionRun run;
  std::vector<Notice> notices;
  std::vector<std::string> progress;
};

ReadResult ReadStore(const TempFolder& folder, const std::string& mailbox_name,
                     bool skip_deleted = true) {
  ReadResult result;
  NoticeRecorder notices;
  ProgressRecorder progress;
  RunState state;
  state.progress = &progress;
  state.conversion_run.skip_deleted = skip_deleted;
  RecordingConsumer consumer(&state);
  std::string path = folder.Join(mailbox_name);
  File mailbox, index;
  if (OpenFileForReading(path, &mailbox).ok()) {
    result.indexed = ProbeIndex(path, &index);
    result.ok = ReadMailbox(mailbox, index, &state, &consumer);
  }
  CloseFile(&index);
  CloseFile(&mailbox);
  result.handed = consumer.handed;
  result.run = state.conversion_run;
  result.notices = notices.notices;
  result.progress = progress.calls;
  return result;
}

StoreSpec ThreeMessages() {
  StoreSpec spec;
  spec.messages = {{SimpleMessage("one", "1\r\n"), 0, 3},
                   {SimpleMessage("two", "22\r\n"), 1, 0},
                   {SimpleMessage("three", "333\r\n"), 2, 17}};
  spec.entry_padding = 5;
  return spec;
}

void Write(const TempFolder& folder, const BuiltStore& store, const std::string& base = "Inbox") {
  testing::WriteStore(folder.path(), base, store);
}

TEST(MailboxReaderTest, SequentialReadingHandsOnEveryRecordWithoutFlags) {
  TempFolder folder;
  StoreSpec spec = ThreeMessages();
  spec.with_index = false;
  BuiltStore store = BuildStore(spec);
  Write(folder, store);
  ReadResult result = ReadStore(folder, "Inbox.mbx");
  ASSERT_TRUE(result.ok);
  EXPECT_FALSE(result.indexed);
  ASSERT_EQ(result.handed.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(result.handed[i].bytes, spec.messages[i].bytes);
    EXPECT_EQ(result.handed[i].record.record_offset, store.record_offsets[i]);
    EXPECT_FALSE(result.handed[i].record.has_flags);
    EXPECT_EQ(result.handed[i].message_count, static_cast<int32_t>(i + 1));
  }
  EXPECT_EQ(result.run.message_count, 3);
  EXPECT_EQ(result.run.deleted_count, 0);  // never counted without an index
  EXPECT_EQ(result.progress,
            (std::vector<std::string>{"range:3", "step:1", "pos:0", "stepit", "stepit", "stepit"}));
  EXPECT_TRUE(result.notices.empty());
}

TEST(MailboxReaderTest, IndexedReadingFollowsIndexOrderAndSkipsDeletedWhenAsked) {
  TempFolder folder;
  StoreSpec spec = ThreeMessages();
  spec.index_order = {2, 0, 1};  // record offsets not ascending
  Write(folder, BuildStore(spec));

  ReadResult skipping = ReadStore(folder, "Inbox.mbx", true);
  ASSERT_TRUE(skipping.ok);
  EXPECT_TRUE(skipping.indexed);
  ASSERT_EQ(skipping.handed.size(), 2u);
  EXPECT_EQ(skipping.handed[0].bytes, spec.messages[2].bytes);
  EXPECT_EQ(skipping.handed[0].record.flags & 3, 2);
  EXPECT_EQ(skipping.handed[1].bytes, spec.messages[0].bytes);
  EXPECT_EQ(skipping.run.message_count, 2);
  EXPECT_EQ(skipping.run.deleted_count, 0);
  // The skipped entry still advances the bar.
  EXPECT_EQ(std::count(skipping.progress.begin(), skipping.progress.end(), "stepit"), 3);

  ReadResult including = ReadStore(folder, "Inbox.mbx", false);
  ASSERT_TRUE(including.ok);
  ASSERT_EQ(including.handed.size(), 3u);
  EXPECT_EQ(including.handed[2].bytes, spec.messages[1].bytes);
  EXPECT_EQ(including.handed[2].record.flags & 1, 1);
  EXPECT_EQ(including.run.message_count, 3);
  EXPECT_EQ(including.run.deleted_count, 1);
}

TEST(MailboxReaderTest, IndexProbeOutcomes) {
  TempFolder folder;
  StoreSpec spec = ThreeMessages();
  spec.index_magic = "JMF8";
  Write(folder, BuildStore(spec));
  ReadResult wrong_magic = ReadStore(folder, "Inbox.mbx", false);
  EXPECT_TRUE(wrong_magic.ok);
  EXPECT_FALSE(wrong_magic.indexed);
  EXPECT_EQ(wrong_magic.handed.size(), 3u);
  EXPECT_TRUE(wrong_magic.notices.empty());

  WriteFileBytes(folder.Join("Inbox.idx"), "JMF");
  ReadResult short_index = ReadStore(folder, "Inbox.mbx", false);
  EXPECT_TRUE(short_index.ok);
  EXPECT_FALSE(short_index.indexed);
  EXPECT_EQ(short_index.handed.size(), 3u);
  ASSERT_EQ(short_index.notices.size(), 1u);
  EXPECT_EQ(short_index.notices[0].text.rfind("ReadFile(Index) のエラーです。Code=<0>", 0), 0u);

  std::filesystem::remove(folder.Join("Inbox.idx"));
  ReadResult no_index = ReadStore(folder, "Inbox.mbx", false);
  EXPECT_TRUE(no_index.ok);
  EXPECT_FALSE(no_index.indexed);
  EXPECT_TRUE(no_index.notices.empty());
}

TEST(MailboxReaderTest, IndexOfAnotherCaseIsUsed) {
  TempFolder folder;
  BuiltStore store = BuildStore(ThreeMessages());
  WriteFileBytes(folder.Join("INBOX.MBX"), store.mailbox);
  WriteFileBytes(folder.Join("inbox.IDX"), store.index);
  ReadResult result = ReadStore(folder, "INBOX.MBX");
  EXPECT_TRUE(result.ok);
  EXPECT_TRUE(result.indexed);
  EXPECT_EQ(result.handed.size(), 2u);
}

TEST(MailboxReaderTest, WrongMailboxMagicStopsWithNotAMailbox) {
  TempFolder folder;
  StoreSpec spec = ThreeMessages();
  spec.mailbox_magic = "jmf6";
  for (bool with_index : {false, true}) {
    spec.with_index = with_index;
    Write(folder, BuildStore(spec));
    ReadResult result = ReadStore(folder, "Inbox.mbx");
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.handed.empty());
    ASSERT_EQ(result.notices.size(), 1u);
    EXPECT_EQ(result.notices[0].text,
              "Microsoft Internet Mail メールボックス形式のファイルではありません。");
    EXPECT_EQ(result.notices[0].caption, "Ferroltエラー");
  }
}

TEST(MailboxReaderTest, ZeroAndNegativeCountsHandOnNothing) {
  TempFolder folder;
  for (uint32_t count : {0u, 0x80000000u, 0xFFFFFFFFu}) {
    for (bool with_index : {false, true}) {
      StoreSpec spec = ThreeMessages();
      spec.with_index = with_index;
      spec.override_mailbox_count = spec.override_index_count = true;
      spec.mailbox_count = spec.index_count = count;
      Write(folder, BuildStore(spec));
      ReadResult result = ReadStore(folder, "Inbox.mbx", false);
      EXPECT_TRUE(result.ok);
      EXPECT_TRUE(result.handed.empty());
      EXPECT_EQ(result.run.message_count, 0);
      EXPECT_EQ(result.progress, (std::vector<std::string>{"range:0", "step:1", "pos:0"}));
    }
  }
}

void ExpectStopsAfter(const ReadResult& result, size_t handed, const std::string& text_start) {
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.handed.size(), handed);
  EXPECT_EQ(result.run.message_count, static_cast<int32_t>(handed));
  ASSERT_EQ(result.notices.size(), 1u);
  EXPECT_EQ(result.notices[0].text.rfind(text_start, 0), 0u) << result.notices[0].text;
}

enum class Damaged { kRecordLength, kEntryLength, kMessageLength };

// A record's or an index entry's length that does not advance, or passes what a 32-bit offset
// reaches, stops the mailbox, except the last one's, which leads nowhere; a message may run up to
// the mailbox's last byte but not one past it (its length here is what is left plus `value`).
TEST(MailboxReaderTest, DamagedLengths) {
  const char kNotAMailbox[] = "Microsoft Internet Mail メール";
  const char kReadFailed[] = "ReadFile(Source) のエラーです。Code=<0>";
  const struct {
    Damaged damaged;
    size_t message;
    uint32_t value;
    bool with_index;
    size_t handed;
    const char* notice;
  } kCases[] = {
      {Damaged::kRecordLength, 1, 0, false, 1, kNotAMailbox},
      {Damaged::kRecordLength, 1, 15, false, 1, kNotAMailbox},
      {Damaged::kRecordLength, 1, 0xFFFFFFF0, false, 1, kNotAMailbox},
      {Damaged::kEntryLength, 1, 0, true, 1, kNotAMailbox},
      {Damaged::kEntryLength, 1, 23, true, 1, kNotAMailbox},
      {Damaged::kEntryLength, 1, 0xFFFFFFF0, true, 1, kNotAMailbox},
      {Damaged::kRecordLength, 2, 0, false, 3, nullptr},
      {Damaged::kRecordLength, 2, 15, false, 3, nullptr},
      {Damaged::kRecordLength, 2, 0xFFFFFFF0, false, 3, nullptr},
      {Damaged::kEntryLength, 2, 0, true, 3, nullptr},
      {Damaged::kEntryLength, 2, 23, true, 3, nullptr},
      {Damaged::kEntryLength, 2, 0xFFFFFFF0, true, 3, nullptr},
      {Damaged::kMessageLength, 2, 0, false, 3, nullptr},
      {Damaged::kMessageLength, 2, 0, true, 3, nullptr},
      {Damaged::kMessageLength, 2, 1, false, 2, kReadFailed},
      {Damaged::kMessageLength, 2, 1, true, 2, kReadFailed},
  };
  TempFolder folder;
  StoreSpec spec = ThreeMessages();
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    BuiltStore store = BuildStore(spec);
    uint32_t record = store.record_offsets[c.message];
    uint32_t entry =
        testing::kFirstEntryOffset + c.message * (testing::kEntrySize + spec.entry_padding);
    uint32_t left = static_cast<uint32_t>(store.mailbox.size()) - record - 16;
    if (c.damaged == Damaged::kRecordLength) {
      PutU32(&store.mailbox, record + testing::kRecordLengthField, c.value);
    } else if (c.damaged == Damaged::kEntryLength) {
      PutU32(&store.index, entry + testing::kEntryLengthField, c.value);
    } else {
      PutU32(&store.mailbox, record + testing::kMessageLengthField, left + c.value);
    }
    if (!c.with_index) store.index.clear();
    std::filesystem::remove(folder.Join("Inbox.idx"));
    Write(folder, store);
    ReadResult result = ReadStore(folder, "Inbox.mbx", false);
    EXPECT_EQ(result.indexed, c.with_index);
    if (c.notice == nullptr) {
      EXPECT_TRUE(result.ok);
      EXPECT_EQ(result.handed.size(), c.handed);
      EXPECT_TRUE(result.notices.empty());
    } else {
      ExpectStopsAfter(result, c.handed, c.notice);
    }
  }
}

class ExhaustedConsumer final : public MessageConsumer {
 public:
  bool HandleMessage(File, const MessageRecord&) override {
    ++calls;
    throw std::bad_alloc();
  }
  int calls = 0;
};

TEST(MailboxReaderTest, MemoryRunningOutInAConsumerStopsTheMailboxWithNotice62) {
  TempFolder folder;
  Write(folder, BuildStore(ThreeMessages()));
  std::string out_of_memory;
  ASSERT_TRUE(LoadCatalogueText(kOutOfMemory, &out_of_memory));
  for (int reading = 0; reading < 4; ++reading) {
    bool with_index = reading % 2 == 1;
    NoticeRecorder notices;
    ProgressRecorder progress;
    RunState state;
    state.progress = &progress;
    SalvageReport salvage;
    if (reading >= 2) state.salvage = &salvage;
    ExhaustedConsumer consumer;
    File mailbox, index;
    std::string path = folder.Join("Inbox.mbx");
    ASSERT_TRUE(OpenFileForReading(path, &mailbox).ok());
    if (with_index) ProbeIndex(path, &index);
    EXPECT_FALSE(ReadMailbox(mailbox, index, &state, &consumer));
    CloseFile(&index);
    CloseFile(&mailbox);
    EXPECT_EQ(consumer.calls, 1);
    ASSERT_EQ(notices.notices.size(), 1u);
    EXPECT_EQ(notices.notices[0].text, out_of_memory);
  }
}

TEST(MailboxReaderTest, HugeCountInSmallFileEndsAtTheFirstShortRead) {
  TempFolder folder;
  StoreSpec spec = ThreeMessages();
  spec.override_mailbox_count = spec.override_index_count = true;
  spec.mailbox_count = spec.index_count = 0x7FFFFFFF;
  for (bool with_index : {false, true}) {
    spec.with_index = with_index;
    Write(folder, BuildStore(spec));
    ReadResult result = ReadStore(folder, "Inbox.mbx", false);
    ExpectStopsAfter(result, 3, "ReadFile(Source) のエラーです。Code=<0>");
  }
}

// Every prefix of a sound mailbox, and of its index, either reads or fails with one notice.
TEST(MailboxReaderTest, EveryTruncationFailsCleanly) {
  TempFolder folder;
  BuiltStore store = BuildStore(ThreeMessages());
  for (size_t size = 0; size <= store.mailbox.size(); ++size) {
    BuiltStore cut = store;
    cut.mailbox.resize(size);
    Write(folder, cut);
    ReadResult result = ReadStore(folder, "Inbox.mbx", false);
    EXPECT_EQ(result.notices.size(), result.ok ? 0u : 1u) << "mailbox cut at " << size;
  }
  for (size_t size = 0; size <= store.index.size(); ++size) {
    BuiltStore cut = store;
    cut.index.resize(size);
    WriteFileBytes(folder.Join("Inbox.mbx"), cut.mailbox);
    WriteFileBytes(folder.Join("Inbox.idx"), cut.index);
    ReadResult result = ReadStore(folder, "Inbox.mbx", false);
    size_t probe_notice = size < 4 ? 1 : 0;  // the probe's own, after which reading goes on
    EXPECT_EQ(result.notices.size(), probe_notice + (result.ok ? 0u : 1u))
        << "index cut at " << size;
  }
}

TEST(MailboxReaderTest, IndexPathReplacesTheLastThreeCharacters) {
  EXPECT_EQ(IndexPathFor("C:\\x\\Inbox.mbx"), "C:\\x\\Inbox.idx");
  EXPECT_EQ(IndexPathFor("INBOX.MBX"), "INBOX.idx");
}

}  // namespace
}  // namespace ferrolt
