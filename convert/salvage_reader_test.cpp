#include "convert/salvage_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "convert/mail_header.h"
#include "tests/support/convert_fixtures.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

ReadResult Salvage(const BuiltStore& store, bool skip_deleted = true) {
  return ReadStore(store, {.skip_deleted = skip_deleted, .salvage = true});
}

// 300 messages of many lengths, some with noise after them inside their record, some unread;
// the last one short, so cutting the file at every offset of its record stays quick.
const StoreSpec& Spec() {
  static const StoreSpec spec = [] {
    StoreSpec spec;
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i) {
      std::string body;
      for (size_t line = 0, lines = 1 + random() % 40; line < lines; ++line)
        body += std::string(random() % 70, 'a' + i % 26) + "\r\n";
      spec.messages.push_back({SimpleMessage("message " + std::to_string(i), body),
                               static_cast<uint8_t>(i % 3 == 0 ? 2 : 0),
                               static_cast<uint32_t>(i % 5 == 0 ? random() % 40 : 0)});
    }
    spec.messages.back() = {SimpleMessage("last", "x\r\n"), 0, 9};
    return spec;
  }();
  return spec;
}

const BuiltStore& Original() {
  static const BuiltStore store = BuildStore(Spec());
  return store;
}

// Where an original message's record lies in a damaged mailbox, and whether its bytes, its
// header included, are still those of the original.
struct Placement {
  uint64_t record_offset = 0, record_end = 0;
  bool intact = false;
};

// For damage that leaves every byte where it was.
std::vector<Placement> PlaceInPlace(const std::string& damaged) {
  std::vector<Placement> placements;
  for (size_t i = 0; i < Spec().messages.size(); ++i) {
    uint64_t start = Original().record_offsets[i];
    uint64_t message_end = start + kRecordHeaderSize + Spec().messages[i].bytes.size();
    bool intact = message_end <= damaged.size() &&
                  damaged.compare(start, message_end - start, Original().mailbox, start,
                                  message_end - start) == 0;
    placements.push_back({start, message_end + Spec().messages[i].padding, intact});
  }
  return placements;
}

struct Recovery {
  size_t intact = 0, recovered = 0;  // recovered: intact messages handed on exactly
  size_t damaged_handed = 0;         // damaged messages handed on, from their own record
};

// Every intact message comes out once and exactly; anything else that comes out is a damaged
// message read from its own record and no further; flags only as a sound index entry had them.
void CheckSalvage(const ReadResult& salvaged, const std::vector<Placement>& placements,
                  const std::string& label, Recovery* recovery, const std::string& index = "") {
  SCOPED_TRACE(label);
  std::map<uint64_t, size_t> by_offset;
  for (size_t i = 0; i < placements.size(); ++i) by_offset[placements[i].record_offset] = i;
  std::vector<int> times(placements.size(), 0);
  EXPECT_TRUE(salvaged.ok);
  EXPECT_TRUE(salvaged.notices.empty());
  for (const Handed& handed : salvaged.handed) {
    auto found = by_offset.find(handed.record.record_offset);
    if (found == by_offset.end()) {
      ADD_FAILURE() << "handed on from no record's start: " << handed.record.record_offset;
      continue;
    }
    size_t number = found->second;
    const Placement& place = placements[number];
    EXPECT_LE(++times[number], 1) << "message " << number << " handed on twice";
    if (place.intact) {
      EXPECT_EQ(handed.bytes, Spec().messages[number].bytes) << "message " << number;
    } else {
      ++recovery->damaged_handed;
      EXPECT_LE(place.record_offset + kRecordHeaderSize + handed.bytes.size(), place.record_end)
          << "message " << number << " runs past its record";
    }
    // A damaged entry may still look sound and give wrong flags.
    size_t entry = kFirstEntryOffset + number * kEntrySize;
    bool entry_sound = !index.empty() && entry + kEntrySize <= index.size() &&
                       index.compare(entry, kEntrySize, Original().index, entry, kEntrySize) == 0;
    if (handed.record.has_flags && entry_sound) {
      EXPECT_EQ(handed.record.flags & 3, Spec().messages[number].flags);
    }
  }
  for (size_t i = 0; i < placements.size(); ++i) {
    if (!placements[i].intact) continue;
    ++recovery->intact;
    recovery->recovered += times[i];
    if (times[i] == 0) ADD_FAILURE() << "lost " << i << " at " << placements[i].record_offset;
  }
}

// The figures over all variants of one kind of damage: as many intact messages as the damage
// is known to leave, every one of them recovered.
void ExpectFigures(const std::string& kind, const Recovery& total, size_t intact) {
  EXPECT_EQ(total.intact, intact) << kind;
  EXPECT_EQ(total.recovered, intact) << kind;
}

void Flip(std::string* bytes, size_t at, std::mt19937* random) {
  (*bytes)[at] = static_cast<char>((*bytes)[at] ^ (1 + (*random)() % 255));
}

// Each variant salvaged with its index (deleted mail included, so no entry keeps its message
// back) and without.
TEST(SalvageReaderTest, EveryIntactMessageComesOutAfterDamageInPlace) {
  const uint32_t count = static_cast<uint32_t>(Spec().messages.size());
  const struct {
    std::string kind;
    int variants;
    size_t intact;
    std::function<void(BuiltStore*, int)> damage;
  } kCases[] = {
      {"4 KB of zeros", 8, 4698,
       [](BuiltStore* store, int seed) {
         std::mt19937 random(seed);
         // The first block takes the mailbox's header with it: salvage does without it.
         size_t at = seed == 0 ? 0 : random() % (store->mailbox.size() - 4096);
         store->mailbox.replace(at, 4096, std::string(4096, '\0'));
       }},
      {"bytes flipped in headers", 8, 4618,
       [count](BuiltStore* store, int seed) {
         std::mt19937 random(100 + seed);
         for (int i = 0; i < 12; ++i) {
           size_t record = store->record_offsets[random() % count];
           Flip(&store->mailbox, record + random() % kRecordHeaderSize, &random);
         }
       }},
      {"count field wrong", 4, 2400,
       [count](BuiltStore* store, int variant) {
         const uint32_t counts[] = {1, count + 50, 0x80000000u, 0xFFFFFFFFu};
         PutU32(&store->mailbox, kMailboxCountOffset, counts[variant]);
         PutU32(&store->index, kIndexCountOffset, counts[variant]);
       }},
      {"index garbage", 4, 2400,
       [](BuiltStore* store, int seed) {
         std::mt19937 random(200 + seed);
         size_t from = kFirstEntryOffset + random() % (store->index.size() / 2);
         for (size_t i = from; i < from + 2000 && i < store->index.size(); ++i) {
           store->index[i] = static_cast<char>(random());
         }
       }},
      {"index cut short", 3, 1800,
       [](BuiltStore* store, int variant) {
         store->index.resize(kFirstEntryOffset + 13 + variant * 2000);
       }},
      {"index with wrong offsets", 3, 1800,
       [count](BuiltStore* store, int seed) {
         std::mt19937 random(300 + seed);
         for (int i = 0; i < 20; ++i) {
           size_t entry = kFirstEntryOffset + (random() % count) * kEntrySize;
           uint32_t wrong = store->record_offsets[random() % count] + (random() % 2) * 4;
           PutU32(&store->index, entry + kEntryOffsetField, wrong);
         }
       }},
  };
  for (const auto& c : kCases) {
    Recovery total;
    for (int variant = 0; variant < c.variants; ++variant) {
      BuiltStore damaged = Original();
      c.damage(&damaged, variant);
      std::vector<Placement> placements = PlaceInPlace(damaged.mailbox);
      std::string label = c.kind + " #" + std::to_string(variant);
      CheckSalvage(Salvage(damaged, false), placements, label, &total, damaged.index);
      damaged.index.clear();
      CheckSalvage(Salvage(damaged), placements, label + " without index", &total);
    }
    ExpectFigures(c.kind, total, c.intact);
  }
}

TEST(SalvageReaderTest, FileCutAtEveryOffsetOfItsLastRecord) {
  Recovery total;
  const size_t last = Original().record_offsets.back();
  const uint64_t message_part = kRecordHeaderSize + Spec().messages.back().bytes.size();
  for (size_t cut = last; cut < Original().mailbox.size(); ++cut) {
    BuiltStore damaged = Original();
    damaged.mailbox.resize(cut);
    ReadResult salvaged = Salvage(damaged);
    CheckSalvage(salvaged, PlaceInPlace(damaged.mailbox), "cut at " + std::to_string(cut), &total,
                 damaged.index);
    // What is left of the last record is skipped, once.
    uint64_t left = cut - last;
    EXPECT_EQ(salvaged.salvage.skipped_bytes, left >= message_part ? left - message_part : left)
        << "cut at " << cut;
  }
  ExpectFigures("file cut in its last record", total, 19444);
  EXPECT_EQ(total.damaged_handed, 0u);
}

// Record `second` written over the second half of the message before it, as a copy that lost
// its place would leave it; everything after it moves up.
TEST(SalvageReaderTest, OverlappingRecordsGiveUpOnlyTheOverwrittenOne) {
  Recovery total;
  const BuiltStore& original = Original();
  for (size_t second : {size_t{1}, size_t{150}, Spec().messages.size() - 1}) {
    size_t overwrite_at = original.record_offsets[second - 1] + kRecordHeaderSize +
                          Spec().messages[second - 1].bytes.size() / 2;
    size_t shift = original.record_offsets[second] - overwrite_at;
    BuiltStore damaged = original;
    damaged.mailbox = original.mailbox.substr(0, overwrite_at) +
                      original.mailbox.substr(original.record_offsets[second]);
    std::vector<Placement> placements = PlaceInPlace(original.mailbox);
    for (size_t i = second; i < placements.size(); ++i) {
      placements[i].record_offset -= shift;
      placements[i].record_end -= shift;
    }
    placements[second - 1] = {placements[second - 1].record_offset, overwrite_at, false};
    std::string label = "overlap at " + std::to_string(second);
    CheckSalvage(Salvage(damaged), placements, label, &total, damaged.index);
    damaged.index.clear();
    CheckSalvage(Salvage(damaged), placements, label + " without index", &total);
  }
  ExpectFigures("two records overlapping", total, 1794);
  EXPECT_EQ(total.damaged_handed, 0u);
}

// What was handed on, in order: each message's subject, how it was found and its flags.
std::string Summary(const ReadResult& result) {
  std::string summary;
  for (const Handed& handed : result.handed) {
    summary += HeaderFieldValue(handed.bytes, "Subject") + " " + handed.record.found_by + " " +
               (handed.record.has_flags ? std::to_string(handed.record.flags & 3) : "-") + "; ";
  }
  return summary;
}

// A message quoting a whole record, marker and lengths that lead exactly to the next record
// included, stays one message: the chain steps over it, and so does a search that starts
// before the record holding it.
TEST(SalvageReaderTest, RecordQuotedInsideAMessageIsNotSplitOff) {
  const uint32_t fake_length = 22;  // the quoted record's message runs to this record's end
  std::string lengths(8, '\0');
  PutU32(&lengths, 0, kRecordHeaderSize + fake_length);
  PutU32(&lengths, 4, fake_length);
  StoreSpec spec;
  spec.messages = {{SimpleMessage("before", "b\r\n")},
                   {SimpleMessage("trap", "before\r\n") + kRecordMarker +
                    std::string("\7\0\0\0", 4) + lengths + std::string(fake_length, 'q')},
                   {SimpleMessage("after", "c\r\n")}};
  const char* kExpected[2][2] = {
      {"before chain -; trap chain -; after chain -; ", "trap scan -; after chain -; "},
      {"before index 0; trap index 0; after index 0; ", "trap index 0; after index 0; "}};
  for (bool with_index : {false, true}) {
    for (bool damage_before : {false, true}) {
      spec.with_index = with_index;
      BuiltStore store = BuildStore(spec);
      if (damage_before) store.mailbox[store.record_offsets[0] + 1] = 0;  // breaks the marker
      EXPECT_EQ(Summary(Salvage(store)), kExpected[with_index][damage_before]);
    }
  }
}

// Sound entries first, in index order with their flags; the record of an entry that does not
// name its own offset follows in file order without flags. A deleted one moves the bar.
TEST(SalvageReaderTest, SoundIndexGivesOrderAndFlagsAndDeletedStaySkipped) {
  StoreSpec spec;
  spec.messages = {{SimpleMessage("one", "1\r\n"), 2, 0},
                   {SimpleMessage("two", "2\r\n"), 1, 0},
                   {SimpleMessage("three", "3\r\n"), 0, 5}};
  spec.index_order = {2, 1, 0};
  BuiltStore store = BuildStore(spec);
  store.index[kFirstEntryOffset + 2 * kEntrySize + 12] ^= 1;
  ReadResult skipping = Salvage(store, true), including = Salvage(store, false);
  EXPECT_EQ(Summary(skipping), "three index 0; one chain -; ");
  EXPECT_EQ(Summary(including), "three index 0; two index 1; one chain -; ");
  EXPECT_EQ(skipping.salvage.unused_index_entries, 1u);
  EXPECT_EQ(std::count(skipping.progress.begin(), skipping.progress.end(), "stepit"), 3);
  EXPECT_EQ(including.run.deleted_count, 1);
  // Two sound entries claiming the same record (of the same length): neither can be trusted.
  store = BuildStore(spec);
  PutU32(&store.index, kFirstEntryOffset + 2 * kEntrySize + kEntryOffsetField,
         store.record_offsets[1]);
  ReadResult overlapping = Salvage(store, false);
  EXPECT_EQ(Summary(overlapping), "three index 0; one chain -; two chain -; ");
  EXPECT_EQ(overlapping.salvage.unused_index_entries, 2u);
}

// A record whose marker is gone is found again by searching; the report names the skipped range.
TEST(SalvageReaderTest, ReportNamesSkippedRangesAndHowMessagesWereFound) {
  BuiltStore damaged = Original();
  damaged.index.clear();
  size_t third = damaged.record_offsets[2], fourth = damaged.record_offsets[3];
  damaged.mailbox.replace(third, 4, std::string(4, '\0'));
  std::vector<std::string> lines = DescribeSalvage({{Salvage(damaged).salvage}});
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Inbox.mbx: messages recovered: 299 (index 0, chain 298, scan 1)",
                       "Inbox.mbx: skipped " + std::to_string(fourth - third) +
                           " bytes at offset " + std::to_string(third)}));
}

}  // namespace
}  // namespace ferrolt
