#include "convert/salvage_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "convert/mail_header.h"
#include "tests/support/convert_fixtures.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

ReadResult Salvage(const BuiltStore& store, bool skip_deleted = false) {
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

void Flip(std::string* bytes, size_t at, std::mt19937* random) {
  (*bytes)[at] = static_cast<char>((*bytes)[at] ^ (1 + (*random)() % 255));
}

// What one variant of a damage leaves: where the original records lie (in place when left
// empty), the bytes the report must call skipped, and whether it is salvaged without its index
// too.
struct Damaged {
  std::vector<Placement> placements;
  std::optional<uint64_t> skipped;
  bool also_without_index = true;
};

// Every variant of each kind of damage salvaged (deleted mail included, so no entry keeps its
// message back): as many intact messages as the damage is known to leave, every one recovered;
// `clean` kinds hand on no damaged message at all.
TEST(SalvageReaderTest, EveryIntactMessageComesOutWhateverTheDamage) {
  const uint32_t count = static_cast<uint32_t>(Spec().messages.size());
  const BuiltStore& original = Original();
  const size_t last = original.record_offsets.back();
  const struct {
    std::string kind;
    size_t variants, intact;
    bool clean;
    std::function<void(BuiltStore*, size_t, Damaged*)> damage;
  } kKinds[] = {
      {"4 KB of zeros", 8, 4698, false,
       [](BuiltStore* store, size_t seed, Damaged*) {
         std::mt19937 random(seed);
         // The first block takes the mailbox's header with it: salvage does without it.
         size_t at = seed == 0 ? 0 : random() % (store->mailbox.size() - 4096);
         store->mailbox.replace(at, 4096, std::string(4096, '\0'));
       }},
      {"bytes flipped in headers", 8, 4618, false,
       [count](BuiltStore* store, size_t seed, Damaged*) {
         std::mt19937 random(100 + seed);
         for (int i = 0; i < 12; ++i) {
           size_t record = store->record_offsets[random() % count];
           Flip(&store->mailbox, record + random() % kRecordHeaderSize, &random);
         }
       }},
      {"count field wrong", 4, 2400, false,
       [count](BuiltStore* store, size_t variant, Damaged*) {
         const uint32_t counts[] = {1, count + 50, 0x80000000u, 0xFFFFFFFFu};
         PutU32(&store->mailbox, kMailboxCountOffset, counts[variant]);
         PutU32(&store->index, kIndexCountOffset, counts[variant]);
       }},
      {"index garbage", 4, 2400, false,
       [](BuiltStore* store, size_t seed, Damaged*) {
         std::mt19937 random(200 + seed);
         size_t from = kFirstEntryOffset + random() % (store->index.size() / 2);
         for (size_t i = from; i < from + 2000 && i < store->index.size(); ++i) {
           store->index[i] = static_cast<char>(random());
         }
       }},
      {"index cut short", 3, 1800, false,
       [](BuiltStore* store, size_t variant, Damaged*) {
         store->index.resize(kFirstEntryOffset + 13 + variant * 2000);
       }},
      {"index with wrong offsets", 3, 1800, false,
       [count](BuiltStore* store, size_t seed, Damaged*) {
         std::mt19937 random(300 + seed);
         for (int i = 0; i < 20; ++i) {
           size_t entry = kFirstEntryOffset + (random() % count) * kEntrySize;
           uint32_t wrong = store->record_offsets[random() % count] + (random() % 2) * 4;
           PutU32(&store->index, entry + kEntryOffsetField, wrong);
         }
       }},
      // What is left of the last record is skipped, once.
      {"file cut in its last record", original.mailbox.size() - last, 19444, true,
       [last](BuiltStore* store, size_t left, Damaged* damaged) {
         store->mailbox.resize(last + left);
         const uint64_t message_part = kRecordHeaderSize + Spec().messages.back().bytes.size();
         damaged->skipped = left >= message_part ? left - message_part : left;
         damaged->also_without_index = false;
       }},
      // Record `second` written over the second half of the message before it, as a copy that
      // lost its place would leave it; everything after it moves up.
      {"two records overlapping", 3, 1794, true,
       [&original, count](BuiltStore* store, size_t variant, Damaged* damaged) {
         const size_t second = std::vector<size_t>{1, 150, count - 1}[variant];
         size_t overwrite_at = original.record_offsets[second - 1] + kRecordHeaderSize +
                               Spec().messages[second - 1].bytes.size() / 2;
         size_t shift = original.record_offsets[second] - overwrite_at;
         store->mailbox = original.mailbox.substr(0, overwrite_at) +
                          original.mailbox.substr(original.record_offsets[second]);
         damaged->placements = PlaceInPlace(original.mailbox);
         for (size_t i = second; i < damaged->placements.size(); ++i) {
           damaged->placements[i].record_offset -= shift;
           damaged->placements[i].record_end -= shift;
         }
         damaged->placements[second - 1] = {original.record_offsets[second - 1], overwrite_at};
       }},
  };
  for (const auto& c : kKinds) {
    Recovery total;
    for (size_t variant = 0; variant < c.variants; ++variant) {
      BuiltStore store = Original();
      Damaged damaged;
      c.damage(&store, variant, &damaged);
      if (damaged.placements.empty()) damaged.placements = PlaceInPlace(store.mailbox);
      std::string label = c.kind + " #" + std::to_string(variant);
      ReadResult salvaged = Salvage(store);
      CheckSalvage(salvaged, damaged.placements, label, &total, store.index);
      if (damaged.skipped) {
        EXPECT_EQ(salvaged.salvage.skipped_bytes, *damaged.skipped) << label;
      }
      if (damaged.also_without_index) {
        store.index.clear();
        CheckSalvage(Salvage(store), damaged.placements, label + " without index", &total);
      }
    }
    EXPECT_EQ(total.intact, c.intact) << c.kind;
    EXPECT_EQ(total.recovered, c.intact) << c.kind;
    EXPECT_TRUE(!c.clean || total.damaged_handed == 0) << c.kind;
  }
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

}  // namespace
}  // namespace ferrolt
