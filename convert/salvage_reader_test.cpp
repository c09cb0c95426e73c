#include "convert/salvage_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "convert/exact_io.h"
#include "convert/mail_header.h"
#include "convert/source_mailbox.h"
#include "notices/catalogue.h"
#include "tests/support/convert_fixtures.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

// 300 messages of many lengths, some with noise after them inside their record, some unread;
// the last one short, so cutting the file at every offset of its record stays quick.
constexpr size_t kCount = 300;
struct Corpus {
  StoreSpec spec;
  BuiltStore store;
};
const Corpus& Original() {
  static const Corpus original = [] {
    Corpus corpus;
    for (size_t i = 0; i < kCount; ++i) {
      MessageSpec& message = corpus.spec.messages.emplace_back();
      message.bytes = SimpleMessage("m", std::string((i + 1) % kCount * 37 % 997, 'a'));
      message.flags = i % 3 == 0 ? kFlagUnread : 0;
      message.padding = i % 5 == 4 ? i % 41 : 0;
    }
    corpus.store = BuildStore(corpus.spec);
    return corpus;
  }();
  return original;
}

// One variant of a damage done to the original store, and the bytes the report must then call
// skipped, where that is known.
struct Damage {
  BuiltStore store;
  std::mt19937 random;
  std::optional<uint64_t> skipped = std::nullopt;
};

// Every variant of one kind of damage, salvaged with its index and without (deleted mail
// included, so no entry keeps its message back): every intact message (its record header and
// bytes found as they were, near where they were) comes out once and exactly; a damaged one only
// when `clean` is false, and then from its own record and no further; flags only as an unchanged
// index entry had them.
void Check(const char* kind, size_t variants, bool clean, void (*damage)(Damage&, size_t)) {
  for (size_t variant = 0; variant < variants; ++variant) {
    SCOPED_TRACE(kind + (" #" + std::to_string(variant)));
    Damage done{.store = Original().store, .random = std::mt19937(variant)};
    damage(done, variant);
    std::vector<uint64_t> start(kCount);  // where each message's record is now
    std::vector<bool> intact;
    for (size_t i = 0; i < kCount; ++i) {
      const uint64_t was = Original().store.record_offsets[i];
      const size_t size = kRecordHeaderSize + Original().spec.messages[i].bytes.size();
      const size_t at = done.store.mailbox.find(Original().store.mailbox.substr(was, size),
                                                was - std::min<uint64_t>(was, 4096));
      intact.push_back(at != std::string::npos);
      start[i] = intact[i] ? at : was;
    }
    for (const std::string& index : {done.store.index, std::string()}) {
      SCOPED_TRACE(index.empty() ? "without index" : "with index");
      const ReadResult salvaged = ReadStore({done.store.mailbox, index, {}}, {false, true});
      EXPECT_TRUE(salvaged.ok && salvaged.notices.empty());
      EXPECT_EQ(salvaged.salvage.skipped_bytes,
                done.skipped.value_or(salvaged.salvage.skipped_bytes));
      std::vector<int> times(kCount, 0);
      for (const Handed& handed : salvaged.handed) {
        const auto found = std::find(start.begin(), start.end(), handed.record.record_offset);
        ASSERT_NE(found, start.end()) << handed.record.record_offset;
        const size_t i = found - start.begin(), entry = kFirstEntryOffset + i * kEntrySize;
        const MessageSpec& message = Original().spec.messages[i];
        EXPECT_LE(++times[i], 1) << "handed on twice: " << i;
        const bool in_record = handed.bytes.size() <= message.bytes.size() + message.padding;
        if (intact[i]) {
          EXPECT_EQ(handed.bytes, message.bytes) << i;
        } else {
          EXPECT_TRUE(!clean && in_record) << i << " " << handed.bytes.size();
        }
        if (handed.record.has_flags &&
            index.compare(entry, kEntrySize, Original().store.index, entry, kEntrySize) == 0) {
          EXPECT_EQ(handed.record.flags & 3, message.flags) << i;
        }
      }
      for (size_t i = 0; i < kCount; ++i) EXPECT_TRUE(times[i] == 1 || !intact[i]) << "lost " << i;
    }
  }
}

// `clean` kinds hand on no damaged message at all.
TEST(SalvageReaderTest, EveryIntactMessageComesOutWhateverTheDamage) {
  // The first block takes the mailbox's header with it: salvage does without it.
  Check("4 KB of zeros", 8, false, [](Damage& d, size_t variant) {
    size_t at = variant == 0 ? 0 : d.random() % (d.store.mailbox.size() - 4096);
    d.store.mailbox.replace(at, 4096, std::string(4096, '\0'));
  });
  Check("bytes flipped in headers", 8, false, [](Damage& d, size_t) {
    for (int i = 0; i < 12; ++i) {
      size_t at = d.store.record_offsets[d.random() % kCount] + d.random() % kRecordHeaderSize;
      d.store.mailbox[at] = static_cast<char>(d.store.mailbox[at] ^ (1 + d.random() % 255));
    }
  });
  Check("count field wrong", 4, false, [](Damage& d, size_t variant) {
    const uint32_t counts[] = {1, kCount + 50, 0x80000000u, 0xFFFFFFFFu};
    PutU32(&d.store.mailbox, kMailboxCountOffset, counts[variant]);
    PutU32(&d.store.index, kIndexCountOffset, counts[variant]);
  });
  Check("index garbage", 4, false, [](Damage& d, size_t) {
    size_t from = kFirstEntryOffset + d.random() % (d.store.index.size() / 2);
    for (size_t i = from; i < from + 2000; ++i) d.store.index[i] = static_cast<char>(d.random());
  });
  Check("index cut short", 3, false, [](Damage& d, size_t variant) {
    d.store.index.resize(kFirstEntryOffset + 13 + variant * 2000);
  });
  Check("index with wrong offsets", 3, false, [](Damage& d, size_t) {
    for (int i = 0; i < 20; ++i) {
      size_t entry =
          kFirstEntryOffset + (d.random() % kCount) * kEntrySize + kEntryRecordOffsetField;
      uint32_t wrong = d.store.record_offsets[d.random() % kCount] + (d.random() % 2) * 4;
      PutU32(&d.store.index, entry, wrong);
    }
  });
  // What is left of the last record is skipped, once.
  const BuiltStore& original = Original().store;
  Check("file cut in its last record", original.mailbox.size() - original.record_offsets.back(),
        true, [](Damage& d, size_t variant) {
          d.store.mailbox.resize(d.store.record_offsets.back() + variant);
          const uint64_t message = kRecordHeaderSize + Original().spec.messages.back().bytes.size();
          d.skipped = variant >= message ? variant - message : variant;
        });
  // Zeros from the first record up to one whose marker ends the first 64 KB block read by the
  // search that starts just after the first record's place, or lies across its end.
  Check("marker at a search block's end", 5, true, [](Damage& d, size_t variant) {
    const std::vector<uint32_t>& offsets = d.store.record_offsets;
    const uint32_t next = *std::lower_bound(offsets.begin(), offsets.end(), 85 + 64 * 1024);
    d.skipped = 85 + 64 * 1024 - 5 + variant - 84;
    d.store.mailbox.replace(84, next - 84, std::string(*d.skipped, '\0'));
  });
  // Every other marker broken: each record between two of them is still whole.
  Check("every other marker broken", 1, true, [](Damage& d, size_t) {
    for (size_t i = 1; i < kCount; i += 2) d.store.mailbox[d.store.record_offsets[i] + 1] = 0;
  });
  // Record `next` written over the second half of the message before it, as a copy that lost
  // its place would leave it; everything after it moves up.
  Check("two records overlapping", 3, true, [](Damage& d, size_t variant) {
    const size_t next = std::vector<size_t>{1, 150, kCount - 1}[variant];
    size_t at = d.store.record_offsets[next - 1] + kRecordHeaderSize +
                Original().spec.messages[next - 1].bytes.size() / 2;
    d.store.mailbox.erase(at, d.store.record_offsets[next] - at);
  });
}

// What was handed on, in order: each message's subject, the first letter of how it was found
// (index, chain, scan) and its flags ("-" without); then the index entries not used, the
// progress steps, the messages counted as deleted and the stretches skipped, whose lengths add up
// to the bytes skipped.
std::string Summary(const ReadResult& result) {
  std::string summary;
  uint64_t listed = 0;
  for (const SkippedRange& range : result.salvage.skipped) listed += range.length;
  EXPECT_EQ(listed, result.salvage.skipped_bytes);
  for (const Handed& handed : result.handed) {
    summary += HeaderFieldValue(handed.bytes, "Subject") + " " +
               "-ics"[static_cast<int>(handed.record.found_by)] +
               (handed.record.has_flags ? std::to_string(handed.record.flags & 3) : "-") + " ";
  }
  return summary + "| unused " + std::to_string(result.salvage.unused_index_entries) + " steps " +
         std::to_string(std::count(result.progress.begin(), result.progress.end(), "stepit")) +
         " deleted " + std::to_string(result.run.deleted_count) + " skipped " +
         std::to_string(result.salvage.skipped.size());
}

// A message quoting a whole record, marker and lengths that lead exactly to the next record
// included, stays one message: the chain steps over it, and so does a search that starts before
// the record holding it. Sound entries come first, in index order with their flags; the record
// of an entry that does not name its own offset follows in file order without flags; a deleted
// one left out moves the bar. Two sound entries claiming the same record (of the same length):
// neither can be trusted. Entries after more than a search block of garbage are still found; more
// sound entries than the mailbox has room for mean the index is not used at all. An entry on the
// quoted record is no record: the intact record holding it wins, found by the chain or by a search.
TEST(SalvageReaderTest, QuotedRecordIsNoRecordAndSoundEntriesGiveOrderAndFlags) {
  // Record 7, record length 38, message length 22: its message runs to this record's end.
  const std::string record =
      std::string(kRecordMarker) + std::string("\7\0\0\0&\0\0\0\x16\0\0\0", 12);
  StoreSpec spec;
  spec.messages = {{SimpleMessage("one", "1\r\n"), 2, 0},
                   {SimpleMessage("trap", "one\r\n") + record + std::string(22, 'q'), 1, 0},
                   {SimpleMessage("two", "2\r\n"), 0, 5}};
  spec.index_order = {2, 1, 0};
  enum { kNone, kNoIndex, kFirstMarker, kLastEntrysOwnOffset = 4, kFirstEntryOnRecord0 = 8 };
  constexpr int kEntriesAfterGarbage = 16, kTooManyEntries = 32, kTrapEntryOnQuote = 64;
  // Every entry from `from` on names its own offset again.
  const auto renumber = [](std::string* index, size_t from) {
    for (size_t at = from; at < index->size(); at += kEntrySize)
      PutU32(index, at + kEntryOwnOffsetField, at);
  };
  const struct {
    int damage;  // the damages done to the store
    bool skip_deleted;
    const char* expected;
  } kCases[] = {
      {kNoIndex, false, "one c- trap c- two c- | unused 0 steps 3 deleted 0 skipped 0"},
      {kNoIndex | kFirstMarker, false, "trap s- two c- | unused 0 steps 2 deleted 0 skipped 1"},
      {kNone, false, "two i0 trap i1 one i2 | unused 0 steps 3 deleted 1 skipped 0"},
      {kFirstMarker, false, "two i0 trap i1 | unused 1 steps 2 deleted 1 skipped 1"},
      {kLastEntrysOwnOffset, true, "two i0 one c- | unused 1 steps 3 deleted 0 skipped 0"},
      {kLastEntrysOwnOffset, false, "two i0 trap i1 one c- | unused 1 steps 3 deleted 1 skipped 0"},
      {kFirstEntryOnRecord0, false, "trap i1 one c- two c- | unused 2 steps 3 deleted 1 skipped 0"},
      {kEntriesAfterGarbage, false, "two i0 trap i1 one i2 | unused 1 steps 3 deleted 1 skipped 0"},
      {kTooManyEntries, false, "one c- trap c- two c- | unused 0 steps 3 deleted 0 skipped 0"},
      {kFirstMarker | kTrapEntryOnQuote, true,
       "two i0 trap s- | unused 2 steps 2 deleted 0 skipped 1"},
      {kTrapEntryOnQuote, false, "two i0 one i2 trap c- | unused 1 steps 3 deleted 0 skipped 0"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    BuiltStore store = BuildStore(spec);
    if (c.damage & kNoIndex) store.index.clear();
    if (c.damage & kFirstMarker) store.mailbox[store.record_offsets[0] + 1] = 0;
    if (c.damage & kLastEntrysOwnOffset)
      store.index[kFirstEntryOffset + 2 * kEntrySize + kEntryOwnOffsetField] ^= 1;
    if (c.damage & kFirstEntryOnRecord0) {
      PutU32(&store.index, kFirstEntryOffset + kEntryRecordOffsetField, store.record_offsets[0]);
    }
    if (c.damage & kEntriesAfterGarbage) {
      store.index.insert(kFirstEntryOffset + kEntrySize, std::string(70000, 'g'));
      renumber(&store.index, kFirstEntryOffset + kEntrySize + 70000);
    }
    if (c.damage & kTooManyEntries) {
      for (size_t i = 0; i < store.mailbox.size() / kRecordHeaderSize; ++i) {
        store.index += store.index.substr(kFirstEntryOffset, kEntrySize);
      }
      renumber(&store.index, kFirstEntryOffset);
    }
    if (c.damage & kTrapEntryOnQuote) {
      const size_t entry = kFirstEntryOffset + kEntrySize;
      PutU32(&store.index, entry + kEntryRecordOffsetField, store.mailbox.find(record));
      PutU32(&store.index, entry + 24, 22);
    }
    EXPECT_EQ(Summary(ReadStore(store, {c.skip_deleted, true})), c.expected);
  }
}

}  // namespace
}  // namespace ferrolt

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

// Five messages, the second and fourth deleted, the third unread, each filling its record.
BuiltStore FiveMessages() {
  StoreSpec spec;
  const uint8_t flags[] = {0, kFlagDeleted, kFlagUnread, kFlagDeleted, 0};
  for (int i = 0; i < 5; ++i) {
    spec.messages.push_back({SimpleMessage("m" + std::to_string(i + 1), "body\r\n"), flags[i], 0});
  }
  return BuildStore(spec);
}

// One damaged field costs only what it alone vouches for: a bad entry length loses no later
// entry (so deleted mail stays left out and flags stay known); a message length that disagrees
// with both the record length and the index entry gives way to them.
TEST(SalvageReaderTest, OneDamagedFieldCostsNoMoreThanItVouchesFor) {
  const auto entry_length = [](uint32_t value) {
    return
        [value](BuiltStore* s) { PutU32(&s->index, kFirstEntryOffset + kEntryLengthField, value); };
  };
  const auto message_length = [](uint32_t value) {
    return [value](BuiltStore* s) {
      PutU32(&s->mailbox, s->record_offsets[2] + kMessageLengthField, value);
    };
  };
  const std::string all_sound = "m1 i0 m3 i2 m5 i0 | unused 0 steps 5 deleted 0 skipped 0";
  const struct {
    const char* damage;
    std::function<void(BuiltStore*)> apply;
    const char* expected;
  } kCases[] = {
      {"entry length past the index's end", entry_length(60000), all_sound.c_str()},
      {"entry length zero", entry_length(0), all_sound.c_str()},
      {"entry length one entry short", entry_length(kEntrySize - 1), all_sound.c_str()},
      {"message length lowered", message_length(5), all_sound.c_str()},
      {"message length zero", message_length(0), all_sound.c_str()},
      {"message length raised", message_length(5000), all_sound.c_str()},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.damage);
    BuiltStore store = FiveMessages();
    c.apply(&store);
    const ReadResult result = ReadStore(store, {true, true});
    EXPECT_EQ(Summary(result), c.expected);
    for (const Handed& handed : result.handed)
      EXPECT_TRUE(handed.bytes.ends_with("\r\n\r\nbody\r\n"));
  }
}

// Zeroes the second record's record length while the first message is handed on, as the old
// client still open on the store might.
struct ChangingStore final : MessageConsumer {
  std::string path;
  uint32_t field = 0;
  std::vector<uint32_t> handed;
  bool changed = false;
  bool HandleMessage(File mailbox, const MessageRecord& message) override {
    std::string bytes(message.length, '\0');
    if (!ReadExact(mailbox, bytes.data(), message.length, 0)) return false;
    handed.push_back(message.record_offset);
    std::fstream store(path, std::ios::in | std::ios::out | std::ios::binary);
    if (handed.size() == 1 && store.seekp(field) && store.write("\0\0\0\0", 4)) changed = true;
    return true;
  }
};

// A record the index vouched for whose record length reads 0 by the time the walk comes to it
// is stepped over like any damage: the walk ends, every message handed on once.
TEST(SalvageReaderTest, RecordLengthThatTurnsZeroDuringTheRunIsSteppedOver) {
  const BuiltStore store = FiveMessages();
  TempFolder folder;
  WriteStore(folder.path(), "Inbox", store);
  ChangingStore consumer;
  consumer.path = folder.Join("Inbox.mbx");
  consumer.field = store.record_offsets[1] + kRecordLengthField;
  SalvageReport report;
  ProgressRecorder progress;
  RunState state;
  state.progress = &progress;
  state.choices = {.include_deleted = true, .salvage = true};
  state.salvage_report = &report;
  SourceMailbox source;
  ASSERT_TRUE(OpenMailboxAndProbeIndex(consumer.path, &source));
  BeginMailbox(&state, "Inbox.mbx");
  EXPECT_TRUE(ReadMailbox(source.mailbox, source.index, &state, &consumer));
  CloseSourceMailbox(&source);
  if (!consumer.changed) GTEST_SKIP() << "the system lets no one write a mailbox being read";
  std::vector<uint32_t> offsets = consumer.handed;
  std::sort(offsets.begin(), offsets.end());
  EXPECT_EQ(offsets, store.record_offsets);
}

// Refuses its second message, as a full disk would.
struct SecondMessageFails final : MessageConsumer {
  int handed = 0;
  bool HandleMessage(File, const MessageRecord&) override { return ++handed < 2; }
};

// The report says what the run did: a message counts as recovered once its consumer has it, and
// a mailbox whose reading ended early is not said to have had nothing skipped. An index too
// short for its magic is one that is not there: no notice.
TEST(SalvageReaderTest, ReportSaysWhatTheRunDid) {
  TempFolder folder;
  const std::string path = folder.Join("Inbox.mbx");
  WriteStore(folder.path(), "Inbox", FiveMessages());
  for (size_t size : {0, 1, 3}) {
    WriteFileBytes(folder.Join("Inbox.idx"), std::string("JMF9").substr(0, size));
    const ReadResult result = ReadMailboxAt(path, {false, true});
    EXPECT_TRUE(result.ok && result.notices.empty() && result.salvage.read_to_end) << size;
    EXPECT_EQ(result.handed.size(), 5u) << size;
  }
  WriteStore(folder.path(), "Inbox", FiveMessages());
  SalvageReport report;
  ProgressRecorder progress;
  RunState state;
  state.progress = &progress;
  state.choices.salvage = true;
  state.salvage_report = &report;
  SecondMessageFails consumer;
  SourceMailbox source;
  ASSERT_TRUE(OpenMailboxAndProbeIndex(path, &source, true));
  BeginMailbox(&state, "Inbox.mbx");
  EXPECT_FALSE(ReadMailbox(source.mailbox, source.index, &state, &consumer));
  CloseSourceMailbox(&source);
  EXPECT_EQ(DescribeSalvage(report)[0],
            "Inbox.mbx: 取り出したメール: 1 通 (index 1、chain 0、scan 0)");
  SetCatalogueLoader(LoadEnglishCatalogueText);  // the report speaks the catalogue's language
  const std::vector<std::string> lines = DescribeSalvage(report);
  SetCatalogueLoader(nullptr);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Inbox.mbx: messages recovered: 1 (index 1, chain 0, scan 0)");
  EXPECT_EQ(lines[1], "Inbox.mbx: reading ended early: the rest of the mailbox was not looked at");
}

bool stop_asked = false;
bool StopAsked() { return stop_asked; }

// A store of `count` short messages, for crafted indexes with many entries.
BuiltStore ShortMessages(size_t count) {
  StoreSpec spec;
  for (size_t i = 0; i < count; ++i) spec.messages.push_back({SimpleMessage("s", ""), 0, 0});
  return BuildStore(spec);
}

// Two records whose lengths lead nowhere, each followed by 100 KB before the next sound record;
// then an index of 2000 entries that name the two in turn.
BuiltStore TwoDamagedRegions() {
  StoreSpec spec;
  for (int i = 0; i < 4; ++i)
    spec.messages.push_back({SimpleMessage("r", ""), 0, i % 2 ? 0 : 100000u});
  BuiltStore store = BuildStore(spec);
  for (size_t i : {0, 2}) {
    const size_t field = store.record_offsets[i] + kRecordLengthField;
    PutU32(&store.mailbox, field,
           ReadU32LE(reinterpret_cast<const unsigned char*>(store.mailbox.data()) + field) + 1);
  }
  std::string entries[2] = {store.index.substr(kFirstEntryOffset, kEntrySize),
                            store.index.substr(kFirstEntryOffset + 2 * kEntrySize, kEntrySize)};
  store.index.resize(kFirstEntryOffset);
  for (int i = 0; i < 2000; ++i) {
    PutU32(&entries[i % 2], 12, static_cast<uint32_t>(store.index.size()));
    store.index += entries[i % 2];
  }
  return store;
}

// Stores built to make salvage slow cost work (bytes read, places looked at) in proportion to
// their size, whatever their bytes; a stop asked before the start ends the walk within a search
// block or two.
TEST(SalvageReaderTest, HostileStoresCostWorkInProportionToTheirSize) {
  BuiltStore flood = BuildStore({});
  flood.index.clear();
  for (int i = 0; i < 128 * 1024; ++i) flood.mailbox += std::string("\0\x7F", 2);
  BuiltStore zero_lengths = ShortMessages(3000);
  for (size_t at = kFirstEntryOffset; at < zero_lengths.index.size(); at += kEntrySize) {
    PutU32(&zero_lengths.index, at + kEntryLengthField, 0);
  }
  const struct {
    const char* store;
    BuiltStore built;
  } kCases[] = {{"clean", ShortMessages(3000)},
                {"marker flood", flood},
                {"entry lengths zero", zero_lengths},
                {"entries alternating between two damaged regions", TwoDamagedRegions()}};
  constexpr uint64_t kWorkPerByte = 8, kStopWork = 2 * 64 * 1024;
  for (const auto& c : kCases) {
    for (bool stop : {false, true}) {
      SCOPED_TRACE(std::string(c.store) + (stop ? ", stop asked" : ""));
      stop_asked = stop;
      const ReadResult result = ReadStore(c.built, {false, true, StopAsked});
      stop_asked = false;
      const uint64_t size = c.built.mailbox.size() + c.built.index.size();
      EXPECT_LE(result.salvage.work, stop ? kStopWork : kWorkPerByte * size);
      EXPECT_EQ(result.ok, !stop);
    }
  }
}

}  // namespace
}  // namespace ferrolt
