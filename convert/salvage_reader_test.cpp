#include "convert/salvage_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "convert/exact_io.h"
#include "convert/index_probe.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using testing::BuildStore;
using testing::BuiltStore;
using testing::kRecordHeaderSize;
using testing::NoticeRecorder;
using testing::PutU32;
using testing::StoreSpec;
using testing::TempFolder;

struct Handed {
  MessageRecord record;
  std::string bytes;
};

class RecordingConsumer final : public MessageConsumer {
 public:
  bool HandleMessage(File mailbox, const MessageRecord& record) override {
    std::string bytes(record.length, '\0');
    if (!ReadExact(mailbox, bytes.data(), record.length, 53)) return false;
    handed.push_back({record, bytes});
    return true;
  }
  std::vector<Handed> handed;
};

struct Salvaged {
  bool ok = false;
  std::vector<Handed> handed;
  MailboxSalvage report;
  size_t notices = 0;
};

Salvaged Salvage(const BuiltStore& store, bool skip_deleted = true) {
  TempFolder folder;
  testing::WriteStore(folder.path(), "Inbox", store);
  NoticeRecorder notices;
  SilentProgress progress;
  SalvageReport report;
  RunState state;
  state.progress = &progress;
  state.salvage = &report;
  state.conversion_run.skip_deleted = skip_deleted;
  BeginSalvage(&state, "Inbox.mbx");
  RecordingConsumer consumer;
  Salvaged result;
  File mailbox, index;
  std::string path = folder.Join("Inbox.mbx");
  if (OpenFileForReading(path, &mailbox).ok()) {
    ProbeIndex(path, &index);
    result.ok = ReadMailbox(mailbox, index, &state, &consumer);
  }
  CloseFile(&index);
  CloseFile(&mailbox);
  result.handed = std::move(consumer.handed);
  result.report = report.mailboxes.back();
  result.notices = notices.notices.size();
  return result;
}

// A few hundred messages of many lengths, some with noise after them inside their record, some
// unread; the last one short, so cutting the file at every offset of its record stays quick.
StoreSpec SeveralHundred() {
  StoreSpec spec;
  std::mt19937 random(7);
  for (int i = 0; i < 300; ++i) {
    std::string body;
    size_t lines = 1 + random() % 40;
    for (size_t line = 0; line < lines; ++line)
      body += std::string(random() % 70, 'a' + i % 26) + "\r\n";
    testing::MessageSpec message{testing::SimpleMessage("message " + std::to_string(i), body),
                                 static_cast<uint8_t>(i % 3 == 0 ? 2 : 0),
                                 static_cast<uint32_t>(i % 5 == 0 ? random() % 40 : 0)};
    spec.messages.push_back(message);
  }
  spec.messages.back() = {testing::SimpleMessage("last", "x\r\n"), 0, 9};
  return spec;
}

const StoreSpec& Spec() {
  static const StoreSpec spec = SeveralHundred();
  return spec;
}

const BuiltStore& Original() {
  static const BuiltStore store = BuildStore(Spec());
  return store;
}

// Where each original message lies in a damaged mailbox, and whether its bytes, its header
// included, are still those of the original.
struct Placement {
  uint64_t record_offset = 0;
  uint64_t record_end = 0;
  bool intact = false;
};

// For damage that leaves every byte where it was.
std::vector<Placement> PlaceInPlace(const std::string& damaged) {
  std::vector<Placement> placements;
  const std::string& original = Original().mailbox;
  for (size_t i = 0; i < Spec().messages.size(); ++i) {
    Placement place;
    place.record_offset = Original().record_offsets[i];
    uint64_t message_end =
        place.record_offset + kRecordHeaderSize + Spec().messages[i].bytes.size();
    place.record_end = message_end + Spec().messages[i].padding;
    place.intact = message_end <= damaged.size() &&
                   damaged.compare(place.record_offset, message_end - place.record_offset, original,
                                   place.record_offset, message_end - place.record_offset) == 0;
    placements.push_back(place);
  }
  return placements;
}

// Per message, whether its index entry differs from the original one.
std::vector<bool> EntriesTouched(const std::string& index) {
  std::vector<bool> touched;
  for (size_t i = 0; i < Spec().messages.size(); ++i) {
    size_t at = testing::kFirstEntryOffset + i * testing::kEntrySize;
    touched.push_back(
        at + testing::kEntrySize > index.size() ||
        index.compare(at, testing::kEntrySize, Original().index, at, testing::kEntrySize) != 0);
  }
  return touched;
}

struct Recovery {
  size_t intact = 0;
  size_t recovered = 0;             // intact messages handed on exactly
  size_t damaged_handed = 0;        // damaged messages handed on from their own record's place
  size_t damaged_handed_exact = 0;  // of these, the ones whose message bytes were unharmed
};

// Every intact message comes out once and exactly; anything else that comes out is a damaged
// message read from its own record and no further; flags only as the index had them.
Recovery CheckSalvage(const Salvaged& salvaged, const std::vector<Placement>& placements,
                      const std::string& label, const std::vector<bool>& entry_touched = {}) {
  SCOPED_TRACE(label);
  Recovery recovery;
  std::map<uint64_t, size_t> by_offset;
  for (size_t i = 0; i < placements.size(); ++i) by_offset[placements[i].record_offset] = i;
  std::vector<int> times(placements.size(), 0);
  EXPECT_TRUE(salvaged.ok);
  EXPECT_EQ(salvaged.notices, 0u);
  for (const Handed& handed : salvaged.handed) {
    auto found = by_offset.find(handed.record.record_offset);
    if (found == by_offset.end()) {
      ADD_FAILURE() << "handed on from no record's start: " << handed.record.record_offset;
      continue;
    }
    size_t number = found->second;
    const Placement& place = placements[number];
    ++times[number];
    if (place.intact) {
      EXPECT_EQ(handed.bytes, Spec().messages[number].bytes) << "message " << number;
    } else {
      ++recovery.damaged_handed;
      if (handed.bytes == Spec().messages[number].bytes) ++recovery.damaged_handed_exact;
      EXPECT_LE(place.record_offset + kRecordHeaderSize + handed.bytes.size(), place.record_end)
          << "message " << number << " runs past its record";
    }
    bool entry_sound = number >= entry_touched.size() || !entry_touched[number];
    if (handed.record.has_flags && entry_sound) {
      EXPECT_EQ(handed.record.flags & 3, Spec().messages[number].flags);
    }
  }
  for (size_t i = 0; i < placements.size(); ++i) {
    EXPECT_LE(times[i], 1) << "message " << i << " handed on twice";
    if (!placements[i].intact) continue;
    ++recovery.intact;
    if (times[i] == 1)
      ++recovery.recovered;
    else
      ADD_FAILURE() << "lost " << i << " at " << placements[i].record_offset;
  }
  EXPECT_EQ(recovery.recovered, recovery.intact);
  return recovery;
}

void PrintFigures(const std::string& kind, const Recovery& recovery) {
  std::printf(
      "salvage figures: %-28s %zu/%zu intact recovered; %zu with damaged records handed on, "
      "%zu of them with unharmed message bytes\n",
      kind.c_str(), recovery.recovered, recovery.intact, recovery.damaged_handed,
      recovery.damaged_handed_exact);
}

void Add(Recovery* total, const Recovery& one) {
  total->intact += one.intact;
  total->recovered += one.recovered;
  total->damaged_handed += one.damaged_handed;
  total->damaged_handed_exact += one.damaged_handed_exact;
}

// One kind of damage done in place: `seeds` variants, each salvaged with and without the index.
struct InPlaceCase {
  std::string kind;
  int variants;
  std::function<void(BuiltStore*, int variant)> damage;
};

void Flip(std::string* bytes, size_t at, std::mt19937* random) {
  (*bytes)[at] = static_cast<char>((*bytes)[at] ^ (1 + (*random)() % 255));
}

TEST(SalvageReaderTest, EveryIntactMessageComesOutAfterDamageInPlace) {
  const size_t count = Spec().messages.size();
  const std::vector<InPlaceCase> cases = {
      {"4 KB of zeros", 8,
       [](BuiltStore* store, int seed) {
         std::mt19937 random(seed);
         // The first block takes the mailbox's header with it: salvage does without it.
         size_t at = seed == 0 ? 0 : random() % (store->mailbox.size() - 4096);
         store->mailbox.replace(at, 4096, std::string(4096, '\0'));
       }},
      {"bytes flipped in headers", 8,
       [count](BuiltStore* store, int seed) {
         std::mt19937 random(100 + seed);
         for (int i = 0; i < 12; ++i) {
           size_t record = store->record_offsets[random() % count];
           Flip(&store->mailbox, record + random() % kRecordHeaderSize, &random);
         }
       }},
      {"count field wrong", 4,
       [count](BuiltStore* store, int variant) {
         const uint32_t counts[] = {1, static_cast<uint32_t>(count) + 50, 0x80000000u, 0xFFFFFFFFu};
         PutU32(&store->mailbox, testing::kMailboxCountOffset, counts[variant]);
         PutU32(&store->index, testing::kIndexCountOffset, counts[variant]);
       }},
      {"index garbage", 4,
       [](BuiltStore* store, int seed) {
         std::mt19937 random(200 + seed);
         size_t from = testing::kFirstEntryOffset + random() % (store->index.size() / 2);
         for (size_t i = from; i < from + 2000 && i < store->index.size(); ++i) {
           store->index[i] = static_cast<char>(random());
         }
       }},
      {"index cut short", 3,
       [](BuiltStore* store, int variant) {
         store->index.resize(testing::kFirstEntryOffset + 13 + variant * 2000);
       }},
      {"index with wrong offsets", 3,
       [count](BuiltStore* store, int seed) {
         std::mt19937 random(300 + seed);
         for (int i = 0; i < 20; ++i) {
           size_t entry = testing::kFirstEntryOffset + (random() % count) * testing::kEntrySize;
           uint32_t wrong = store->record_offsets[random() % count] + (random() % 2) * 4;
           PutU32(&store->index, entry + testing::kEntryOffsetField, wrong);
         }
       }},
  };
  for (const InPlaceCase& one : cases) {
    Recovery total;
    for (int variant = 0; variant < one.variants; ++variant) {
      BuiltStore damaged = Original();
      one.damage(&damaged, variant);
      std::vector<Placement> placements = PlaceInPlace(damaged.mailbox);
      std::string label = one.kind + " #" + std::to_string(variant);
      // A damaged entry may still look sound and give wrong flags; with deleted messages
      // included, none of them can keep its message back.
      std::vector<bool> entry_touched = EntriesTouched(damaged.index);
      Add(&total,
          CheckSalvage(Salvage(damaged, false), placements, label + " with index", entry_touched));
      damaged.index.clear();
      Add(&total, CheckSalvage(Salvage(damaged), placements, label + " without index"));
    }
    PrintFigures(one.kind, total);
  }
}

TEST(SalvageReaderTest, FileCutAtEveryOffsetOfItsLastRecord) {
  Recovery total;
  const size_t last = Original().record_offsets.back();
  for (size_t cut = last; cut < Original().mailbox.size(); ++cut) {
    BuiltStore damaged = Original();
    damaged.mailbox.resize(cut);
    Salvaged salvaged = Salvage(damaged);
    Recovery recovery =
        CheckSalvage(salvaged, PlaceInPlace(damaged.mailbox), "cut at " + std::to_string(cut));
    EXPECT_EQ(recovery.damaged_handed, 0u);
    // What is left of the last record is skipped, once.
    uint64_t left = cut - last;
    bool last_whole = left >= kRecordHeaderSize + Spec().messages.back().bytes.size();
    uint64_t message_part = kRecordHeaderSize + Spec().messages.back().bytes.size();
    EXPECT_EQ(salvaged.report.skipped_bytes, last_whole ? left - message_part : left)
        << "cut at " << cut;
    Add(&total, recovery);
  }
  PrintFigures("file cut in its last record", total);
}

// Record `second` written over the second half of the message before it, as a copy that lost
// its place would leave it; everything after it moves up.
TEST(SalvageReaderTest, OverlappingRecordsGiveUpOnlyTheOverwrittenOne) {
  Recovery total;
  for (size_t second : {size_t{1}, size_t{150}, Spec().messages.size() - 1}) {
    const BuiltStore& original = Original();
    size_t first_start = original.record_offsets[second - 1];
    size_t overwrite_at =
        first_start + kRecordHeaderSize + Spec().messages[second - 1].bytes.size() / 2;
    size_t shift = original.record_offsets[second] - overwrite_at;
    BuiltStore damaged = original;
    damaged.mailbox = original.mailbox.substr(0, overwrite_at) +
                      original.mailbox.substr(original.record_offsets[second]);
    std::vector<Placement> placements = PlaceInPlace(original.mailbox);
    for (size_t i = second; i < placements.size(); ++i) {
      placements[i].record_offset -= shift;
      placements[i].record_end -= shift;
    }
    placements[second - 1].intact = false;
    placements[second - 1].record_end = overwrite_at;
    std::string label = "overlap at " + std::to_string(second);
    Recovery with_index = CheckSalvage(Salvage(damaged), placements, label);
    damaged.index.clear();
    Recovery without_index = CheckSalvage(Salvage(damaged), placements, label + " without index");
    EXPECT_EQ(with_index.damaged_handed + without_index.damaged_handed, 0u);
    Add(&total, with_index);
    Add(&total, without_index);
  }
  PrintFigures("two records overlapping", total);
}

// A message quoting a whole record, marker and lengths that lead exactly to the next record
// included, stays one message: the chain steps over it, and so does a search that starts
// before the record holding it.
TEST(SalvageReaderTest, RecordQuotedInsideAMessageIsNotSplitOff) {
  StoreSpec spec;
  std::string quoted = testing::kRecordMarker + std::string("\x07\0\0\0", 4);
  std::string trap = "From: a@example.jp\r\nSubject: trap\r\n\r\nbefore\r\n";
  uint32_t fake_length = 22;  // message length of the quoted record
  std::string tail = std::string(fake_length, 'q');
  // The quoted record's length runs exactly to the end of this record.
  uint32_t fake_record_length = kRecordHeaderSize + fake_length;
  std::string body_bytes;
  body_bytes.resize(8);
  PutU32(&body_bytes, 0, fake_record_length);
  PutU32(&body_bytes, 4, fake_length);
  trap += quoted + body_bytes + tail;
  spec.messages = {{testing::SimpleMessage("before", "b\r\n")},
                   {trap},
                   {testing::SimpleMessage("after", "c\r\n")}};
  for (bool damage_before : {false, true}) {
    for (bool with_index : {true, false}) {
      spec.with_index = with_index;
      BuiltStore store = BuildStore(spec);
      if (damage_before) store.mailbox[store.record_offsets[0] + 1] = 0;  // breaks the marker
      Salvaged salvaged = Salvage(store);
      SCOPED_TRACE(std::to_string(damage_before) + std::to_string(with_index));
      ASSERT_TRUE(salvaged.ok);
      std::vector<std::string> got;
      for (const Handed& handed : salvaged.handed) got.push_back(handed.bytes);
      std::vector<std::string> expected = {spec.messages[1].bytes, spec.messages[2].bytes};
      if (!damage_before) expected.insert(expected.begin(), spec.messages[0].bytes);
      EXPECT_EQ(got, expected);
    }
  }
}

TEST(SalvageReaderTest, SoundIndexGivesOrderAndFlagsAndDeletedStaySkipped) {
  StoreSpec spec;
  spec.messages = {{testing::SimpleMessage("one", "1\r\n"), 2, 0},
                   {testing::SimpleMessage("two", "2\r\n"), 1, 0},
                   {testing::SimpleMessage("three", "3\r\n"), 0, 5}};
  spec.index_order = {2, 1, 0};
  BuiltStore store = BuildStore(spec);
  // The entry of "one" no longer names its own offset: its message comes after the indexed
  // ones, in file order and without flags.
  store.index[testing::kFirstEntryOffset + 2 * testing::kEntrySize + 12] ^= 1;
  Salvaged skipping = Salvage(store, true);
  ASSERT_EQ(skipping.handed.size(), 2u);
  EXPECT_EQ(skipping.handed[0].bytes, spec.messages[2].bytes);
  EXPECT_STREQ(skipping.handed[0].record.found_by, kFoundByIndex);
  EXPECT_TRUE(skipping.handed[0].record.has_flags);
  EXPECT_EQ(skipping.handed[1].bytes, spec.messages[0].bytes);
  EXPECT_STREQ(skipping.handed[1].record.found_by, kFoundByChain);
  EXPECT_FALSE(skipping.handed[1].record.has_flags);
  EXPECT_EQ(skipping.report.unused_index_entries, 1u);
  Salvaged including = Salvage(store, false);
  ASSERT_EQ(including.handed.size(), 3u);
  EXPECT_EQ(including.handed[1].bytes, spec.messages[1].bytes);
  EXPECT_EQ(including.handed[1].record.flags & 3, 1);
}

TEST(SalvageReaderTest, ReportNamesSkippedRangesAndHowMessagesWereFound) {
  BuiltStore damaged = Original();
  damaged.index.clear();
  size_t third = damaged.record_offsets[2];
  size_t fourth = damaged.record_offsets[3];
  damaged.mailbox.replace(third, 4, std::string(4, '\0'));
  Salvaged salvaged = Salvage(damaged);
  EXPECT_EQ(salvaged.report.by_chain + salvaged.report.by_scan, 299);
  EXPECT_EQ(salvaged.report.by_scan, 1);  // the fourth, found by searching
  ASSERT_EQ(salvaged.report.skipped.size(), 1u);
  EXPECT_EQ(salvaged.report.skipped[0].offset, third);
  EXPECT_EQ(salvaged.report.skipped[0].length, fourth - third);
  SalvageReport report{{salvaged.report}};
  std::vector<std::string> lines = DescribeSalvage(report);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Inbox.mbx: messages recovered: 299 (index 0, chain 298, scan 1)");
  EXPECT_EQ(lines[1], "Inbox.mbx: skipped " + std::to_string(fourth - third) + " bytes at offset " +
                          std::to_string(third));
}

}  // namespace
}  // namespace ferrolt
