#include "convert/salvage_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "convert/exact_io.h"
#include "convert/mailbox_reader.h"
#include "notices/catalogue.h"
#include "notices/notices.h"

namespace ferrolt {

const char kFoundByIndex[] = "index";
const char kFoundByChain[] = "chain";
const char kFoundByScan[] = "scan";

namespace {

constexpr unsigned char kMarker[4] = {0x00, 0x7F, 0x00, 0x7F};
constexpr uint64_t kFirstRecordOffset = 84;
constexpr uint64_t kFirstEntryOffset = 80;
constexpr uint32_t kRecordHeaderSize = 16;  // marker, number, record length, message length
constexpr uint32_t kEntrySize = 28;         // flags .. own offset, length, record, message length
constexpr uint64_t kLastPosition = 0xFFFFFFFFu;
constexpr uint32_t kSearchBlock = 64 * 1024;

// Positioned reads that tell bytes missing from the file (damage, expected here) from a read
// that failed (notice shown once, and everything after it refused).
class FileReader {
 public:
  FileReader(File file, uint64_t size, int message_id)
      : file_(file), size_(std::min(size, kLastPosition)), message_id_(message_id) {}

  bool ReadAt(uint64_t position, void* destination, uint32_t count) {
    if (failed_ || position > size_ || count > size_ - position) return false;
    IoStatus status = SeekFile(file_, position);
    uint32_t moved = 0;
    if (status.ok()) status = ReadFromFile(file_, destination, count, &moved);
    if (!status.ok()) {
      ShowErrorCode(message_id_, kCaptionProgramError, status.code);
      failed_ = true;
    }
    return status.ok() && moved == count;
  }
  uint64_t size() const { return size_; }
  bool failed() const { return failed_; }

 private:
  File file_;
  uint64_t size_;
  int message_id_;
  bool failed_ = false;
};

struct RecordHeader {
  bool marker = false;
  bool complete = false;  // all 16 bytes inside the file
  uint32_t record_length = 0;
  uint32_t message_length = 0;
};

RecordHeader DecodeHeader(const unsigned char* bytes, uint64_t available) {
  RecordHeader header;
  header.marker = available >= 4 && std::memcmp(bytes, kMarker, 4) == 0;
  header.complete = available >= kRecordHeaderSize;
  if (header.complete) {
    header.record_length = ReadU32LE(bytes + 8);
    header.message_length = ReadU32LE(bytes + 12);
  }
  return header;
}

// A record index-sound entries vouch for: [start, end of its message).
struct Extent {
  uint64_t start = 0;
  uint64_t end = 0;
};

// Finds trusted records in the mailbox, stepping around the records the index already handed on.
class RecordFinder {
 public:
  RecordFinder(FileReader* mailbox, std::vector<Extent> claimed)
      : mailbox_(mailbox), claimed_(std::move(claimed)), block_(new unsigned char[kSearchBlock]) {}

  // The header at `position`; read once for the two questions asked of every record.
  RecordHeader HeaderAt(uint64_t position) {
    if (position != cached_position_) {
      unsigned char bytes[kRecordHeaderSize];
      uint64_t left = position < size() ? size() - position : 0;
      uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(left, kRecordHeaderSize));
      cached_header_ =
          mailbox_->ReadAt(position, bytes, count) ? DecodeHeader(bytes, count) : RecordHeader();
      cached_position_ = position;
    }
    return cached_header_;
  }

  // Marker there, the message inside both its record and the file, the next record reachable.
  bool Holds(uint64_t position, const RecordHeader& header) const {
    uint64_t message_end = MessageEnd(position, header);
    return header.marker && header.complete &&
           header.record_length >= kRecordHeaderSize + uint64_t{header.message_length} &&
           message_end <= size() && position + header.record_length <= kLastPosition;
  }

  bool StartsRecord(uint64_t position) {
    return position == size() || (position < size() && HeaderAt(position).marker);
  }

  bool Confirmed(uint64_t position) {
    RecordHeader header = HeaderAt(position);
    return Holds(position, header) && StartsRecord(position + header.record_length);
  }

  static uint64_t MessageEnd(uint64_t position, const RecordHeader& header) {
    return position + kRecordHeaderSize + header.message_length;
  }

  // The first record at or after `from` that is trusted on its own or claimed by the index;
  // size() when there is none. The stretch searched last is remembered, so entries that point
  // into one damaged region in any order cost one search of it, not one each.
  uint64_t FindTrusted(uint64_t from) {
    uint64_t found = Search(from);
    if (!(from >= free_from_ && from <= free_to_)) {
      free_from_ = from;
      free_to_ = found;
    }
    return found;
  }

  const Extent* ClaimedAt(uint64_t position) const {
    auto it = FirstClaimedFrom(position);
    return it != claimed_.end() && it->start == position ? &*it : nullptr;
  }

  // The claimed record that holds `position` past its first byte.
  const Extent* ClaimedAround(uint64_t position) const {
    auto it = FirstClaimedFrom(position);
    if (it == claimed_.begin()) return nullptr;
    --it;
    return position < it->end ? &*it : nullptr;
  }

  uint64_t NextClaimedStart(uint64_t from) const {
    auto it = FirstClaimedFrom(from);
    return it == claimed_.end() ? size() : std::min(it->start, size());
  }

  uint64_t size() const { return mailbox_->size(); }

 private:
  std::vector<Extent>::const_iterator FirstClaimedFrom(uint64_t position) const {
    return std::lower_bound(
        claimed_.begin(), claimed_.end(), position,
        [](const Extent& extent, uint64_t value) { return extent.start < value; });
  }

  uint64_t Search(uint64_t from) {
    while (!mailbox_->failed()) {
      if (from >= free_from_ && from <= free_to_) return free_to_;
      uint64_t claimed = NextClaimedStart(from);
      uint64_t stop = from < free_from_ ? std::min(claimed, free_from_) : claimed;
      uint64_t candidate = NextMarker(from, stop);
      if (candidate >= stop) {
        if (stop == claimed) return claimed;
        from = free_from_;  // known to hold nothing up to free_to_
      } else if (const Extent* around = ClaimedAround(candidate)) {
        from = around->end;
      } else if (Confirmed(candidate)) {
        return candidate;
      } else {
        from = candidate + 1;
      }
    }
    return size();
  }

  // The first marker starting in [from, limit), or limit: a block at a time, memchr for the
  // marker's rarer byte, blocks overlapping by three bytes so no marker is cut in two.
  uint64_t NextMarker(uint64_t from, uint64_t limit) {
    while (from < limit && from + 4 <= size()) {
      uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kSearchBlock, size() - from));
      if (!mailbox_->ReadAt(from, block_.get(), count)) return limit;
      const unsigned char* block = block_.get();
      const unsigned char* last = block + count - 3;  // the last place a marker's 0x7F can be
      for (const unsigned char* at = block + 1; at <= last; ++at) {
        at = static_cast<const unsigned char*>(std::memchr(at, 0x7F, last - at + 1));
        if (at == nullptr) break;
        if (at[-1] == 0x00 && at[1] == 0x00 && at[2] == 0x7F) {
          return std::min(limit, from + static_cast<uint64_t>(at - 1 - block));
        }
      }
      from += count - 3;
    }
    return limit;
  }

  FileReader* mailbox_;
  std::vector<Extent> claimed_;  // sorted by start, never overlapping
  std::unique_ptr<unsigned char[]> block_;
  uint64_t cached_position_ = UINT64_MAX;
  uint64_t free_from_ = UINT64_MAX;  // no trusted record starts in [free_from_, free_to_)
  uint64_t free_to_ = UINT64_MAX;
  RecordHeader cached_header_;
};

struct SoundEntry {
  uint32_t record_offset = 0;
  uint32_t message_length = 0;
  uint8_t flags = 0;
  bool overlaps = false;
};

// Everything one mailbox's salvage works with.
struct Salvage {
  File mailbox;
  RunState* state;
  MessageConsumer* consumer;
  MailboxSalvage* report;
};

void NoteSkipped(MailboxSalvage* report, uint64_t from, uint64_t to) {
  if (to <= from) return;
  report->skipped_bytes += to - from;
  if (!report->skipped.empty()) {
    SkippedRange& last = report->skipped.back();
    if (last.offset + last.length == from) {
      last.length += to - from;
      return;
    }
  }
  ++report->skipped_range_count;
  if (report->skipped.size() < kMostRangesKept) report->skipped.push_back({from, to - from});
}

bool HandOn(Salvage* salvage, const MessageRecord& message) {
  RunState* state = salvage->state;
  if (StopRequested(*state)) return false;
  state->progress->StepIt();
  ++state->conversion_run.message_count;
  if (message.has_flags && (message.flags & kFlagDeleted) != 0) {
    ++state->conversion_run.deleted_count;
  }
  int32_t* tally = message.found_by == kFoundByIndex   ? &salvage->report->by_index
                   : message.found_by == kFoundByChain ? &salvage->report->by_chain
                                                       : &salvage->report->by_scan;
  ++*tally;
  SeekFile(salvage->mailbox, uint64_t{message.record_offset} + kRecordHeaderSize);
  return HandOnMessage(salvage->mailbox, message, salvage->consumer);
}

MessageRecord FoundRecord(uint64_t position, const RecordHeader& header, const char* found_by) {
  MessageRecord message;
  message.record_offset = static_cast<uint32_t>(position);
  message.length = header.message_length;
  message.found_by = found_by;
  return message;
}

// The first place at or after `from` where an entry names its own offset, or the index's end.
uint64_t NextEntryStart(FileReader* index, uint64_t from, unsigned char* block) {
  while (from + kEntrySize <= index->size()) {
    uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kSearchBlock, index->size() - from));
    if (!index->ReadAt(from, block, count)) break;
    for (uint32_t at = 0; at + kEntrySize <= count; ++at) {
      if (ReadU32LE(block + at + 12) == from + at) return from + at;
    }
    from += count - kEntrySize + 1;
  }
  return index->size();
}

// An entry is sound when it names its own offset and the record it points at stores the
// entry's message length and is trusted, or at least overlaps no trusted record.
bool EntryIsSound(const unsigned char* entry, RecordFinder* finder, SoundEntry* sound) {
  sound->flags = entry[0];
  sound->record_offset = ReadU32LE(entry + 20);
  sound->message_length = ReadU32LE(entry + 24);
  if (sound->record_offset < kFirstRecordOffset) return false;
  RecordHeader header = finder->HeaderAt(sound->record_offset);
  if (header.message_length != sound->message_length) return false;
  if (finder->Confirmed(sound->record_offset)) return true;
  // Where the next record is damaged, the entry still vouches for a message nothing overlaps.
  return finder->Holds(sound->record_offset, header) &&
         finder->FindTrusted(sound->record_offset + 4) >=
             RecordFinder::MessageEnd(sound->record_offset, header);
}

// Walks the whole index, whatever its count says, stepping over stretches that are no entries.
// More sound entries than the mailbox has room for records means the index is not this
// mailbox's; it is then not used at all.
bool ReadSoundEntries(FileReader* index, RecordFinder* finder, MailboxSalvage* report,
                      std::vector<SoundEntry>* entries) {
  std::unique_ptr<unsigned char[]> block(new unsigned char[kSearchBlock]);
  const size_t most_entries = static_cast<size_t>(finder->size() / kRecordHeaderSize);
  uint64_t position = kFirstEntryOffset;
  while (position + kEntrySize <= index->size()) {
    unsigned char entry[kEntrySize];
    if (!index->ReadAt(position, entry, kEntrySize)) break;
    uint32_t entry_length = ReadU32LE(entry + 16);
    if (ReadU32LE(entry + 12) != position || entry_length < kEntrySize) {
      ++report->unused_index_entries;
      position = NextEntryStart(index, position + 1, block.get());
      continue;
    }
    SoundEntry sound;
    if (EntryIsSound(entry, finder, &sound)) {
      entries->push_back(sound);
    } else {
      ++report->unused_index_entries;
    }
    if (entries->size() > most_entries) {
      entries->clear();
      break;
    }
    position += entry_length;
  }
  return !index->failed();
}

uint64_t EntryEnd(const SoundEntry& entry) {
  return uint64_t{entry.record_offset} + kRecordHeaderSize + entry.message_length;
}

// Two entries whose records overlap cannot both be right, and nothing tells which is: both go,
// and their records are read in file order like the rest. Returns the extents that stay.
std::vector<Extent> DropOverlaps(std::vector<SoundEntry>* entries, MailboxSalvage* report) {
  std::vector<SoundEntry*> by_offset;
  for (SoundEntry& entry : *entries) by_offset.push_back(&entry);
  std::sort(by_offset.begin(), by_offset.end(), [](const SoundEntry* a, const SoundEntry* b) {
    return a->record_offset < b->record_offset;
  });
  SoundEntry* reaching_furthest = nullptr;
  for (SoundEntry* entry : by_offset) {
    if (reaching_furthest != nullptr && entry->record_offset < EntryEnd(*reaching_furthest)) {
      entry->overlaps = reaching_furthest->overlaps = true;
    }
    if (reaching_furthest == nullptr || EntryEnd(*entry) > EntryEnd(*reaching_furthest)) {
      reaching_furthest = entry;
    }
  }
  std::vector<Extent> claimed;
  for (const SoundEntry* entry : by_offset) {
    if (!entry->overlaps) claimed.push_back({entry->record_offset, EntryEnd(*entry)});
  }
  report->unused_index_entries += static_cast<uint32_t>(entries->size() - claimed.size());
  std::erase_if(*entries, [](const SoundEntry& entry) { return entry.overlaps; });
  return claimed;
}

bool HandOnIndexed(Salvage* salvage, const std::vector<SoundEntry>& entries) {
  for (const SoundEntry& entry : entries) {
    if (LeavesOut(salvage->state->conversion_run, entry.flags)) {
      salvage->state->progress->StepIt();
      continue;
    }
    MessageRecord message;
    message.record_offset = entry.record_offset;
    message.length = entry.message_length;
    message.has_flags = true;
    message.flags = entry.flags;
    message.found_by = kFoundByIndex;
    if (!HandOn(salvage, message)) return false;
  }
  return true;
}

// One step of the file-order walk from `position`, a record start when `chained`. Hands on
// what is trusted there and not claimed by the index; returns where the walk goes on, and
// whether that is a record start the chain vouches for.
bool WalkStep(Salvage* salvage, RecordFinder* finder, uint64_t* position, bool* chained) {
  uint64_t at = *position;
  RecordHeader header = finder->HeaderAt(at);
  if (const Extent* claimed = finder->ClaimedAt(at)) {
    // Handed on from the index already; its length may still lead to the next record.
    bool leads_on = finder->StartsRecord(at + header.record_length);
    *position = leads_on ? at + header.record_length : finder->FindTrusted(claimed->end);
    if (!leads_on) NoteSkipped(salvage->report, claimed->end, *position);
    *chained = leads_on;
    return true;
  }
  if (finder->ClaimedAround(at) == nullptr && finder->Holds(at, header)) {
    uint64_t record_end = at + header.record_length;
    uint64_t message_end = RecordFinder::MessageEnd(at, header);
    if (finder->StartsRecord(record_end) && finder->NextClaimedStart(at + 1) >= record_end) {
      const char* found_by = *chained ? kFoundByChain : kFoundByScan;
      *position = record_end;
      *chained = true;
      return HandOn(salvage, FoundRecord(at, header, found_by));
    }
    // The chain vouches for the start; nothing trusted inside the message contradicts it.
    uint64_t next = *chained ? finder->FindTrusted(at + 4) : at;
    if (next >= message_end) {
      NoteSkipped(salvage->report, message_end, next);
      *position = next;
      *chained = false;
      return HandOn(salvage, FoundRecord(at, header, kFoundByChain));
    }
  }
  uint64_t next = finder->FindTrusted(at + 1);
  NoteSkipped(salvage->report, *position, next);
  *position = next;
  *chained = false;
  return true;
}

bool WalkMailbox(Salvage* salvage, RecordFinder* finder, FileReader* mailbox) {
  uint64_t position = kFirstRecordOffset;
  bool chained = true;
  while (position < finder->size()) {
    if (!WalkStep(salvage, finder, &position, &chained)) return false;
    if (mailbox->failed()) return false;
  }
  return !mailbox->failed();
}

void StartProgress(FileReader* mailbox, ProgressSink* progress) {
  unsigned char count[4] = {0, 0, 0, 0};
  mailbox->ReadAt(8, count, 4);
  int32_t signed_count = static_cast<int32_t>(ReadU32LE(count));
  progress->SetRange(signed_count > 0 ? static_cast<uint32_t>(signed_count) : 0);
  progress->SetStep(1);
  progress->SetPosition(0);
}

// The run's entry for this mailbox, or `scratch` when the run keeps no report.
MailboxSalvage* ReportFor(RunState* state, MailboxSalvage* scratch) {
  if (state->salvage == nullptr) return scratch;
  if (state->salvage->mailboxes.empty()) state->salvage->mailboxes.emplace_back();
  return &state->salvage->mailboxes.back();
}

}  // namespace

void BeginSalvage(RunState* state, const std::string& name) {
  if (state->salvage == nullptr) return;
  state->salvage->mailboxes.emplace_back();
  state->salvage->mailboxes.back().name = name;
}

bool SalvageMailbox(File mailbox, File index, RunState* state, MessageConsumer* consumer) {
  uint64_t mailbox_size = 0;
  IoStatus status = GetFileSize(mailbox, &mailbox_size);
  if (!status.ok()) {
    ShowErrorCode(kReadSourceFailed, kCaptionProgramError, status.code);
    return false;
  }
  MailboxSalvage scratch;
  Salvage salvage{mailbox, state, consumer, ReportFor(state, &scratch)};
  FileReader mailbox_reader(mailbox, mailbox_size, kReadSourceFailed);
  StartProgress(&mailbox_reader, state->progress);
  std::vector<SoundEntry> entries;
  uint64_t index_size = 0;
  if (index.is_open() && GetFileSize(index, &index_size).ok()) {
    FileReader index_reader(index, index_size, kReadIndexFailed);
    RecordFinder probe(&mailbox_reader, {});
    if (!ReadSoundEntries(&index_reader, &probe, salvage.report, &entries)) return false;
  }
  RecordFinder finder(&mailbox_reader, DropOverlaps(&entries, salvage.report));
  if (mailbox_reader.failed() || !HandOnIndexed(&salvage, entries)) return false;
  return WalkMailbox(&salvage, &finder, &mailbox_reader);
}

std::vector<std::string> DescribeSalvage(const SalvageReport& report) {
  std::vector<std::string> lines;
  for (const MailboxSalvage& mailbox : report.mailboxes) {
    std::string name = mailbox.name + ": ";
    int32_t recovered = mailbox.by_index + mailbox.by_chain + mailbox.by_scan;
    lines.push_back(name + "messages recovered: " + std::to_string(recovered) + " (index " +
                    std::to_string(mailbox.by_index) + ", chain " +
                    std::to_string(mailbox.by_chain) + ", scan " + std::to_string(mailbox.by_scan) +
                    ")");
    if (mailbox.unused_index_entries > 0) {
      lines.push_back(name +
                      "index entries not used: " + std::to_string(mailbox.unused_index_entries));
    }
    if (mailbox.skipped_range_count == 0) lines.push_back(name + "nothing skipped");
    for (const SkippedRange& range : mailbox.skipped) {
      lines.push_back(name + "skipped " + std::to_string(range.length) + " bytes at offset " +
                      std::to_string(range.offset));
    }
    if (mailbox.skipped_range_count > mailbox.skipped.size()) {
      lines.push_back(name + "more ranges skipped: " +
                      std::to_string(mailbox.skipped_range_count - mailbox.skipped.size()) +
                      "; bytes skipped in all: " + std::to_string(mailbox.skipped_bytes));
    }
  }
  return lines;
}

}  // namespace ferrolt
