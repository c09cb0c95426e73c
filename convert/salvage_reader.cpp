#include "convert/salvage_reader.h"

#include <algorithm>
#include <memory>

#include "convert/block_reader.h"
#include "convert/exact_io.h"
#include "convert/mailbox_reader.h"
#include "convert/salvage_reader_finder.h"
#include "convert/store_format.h"
#include "notices/catalogue.h"
#include "notices/notices.h"

namespace ferrolt {

namespace {

using salvage::Extent;
using salvage::FileReader;
using salvage::ForwardWindow;
using salvage::RecordFinder;
using salvage::RecordHeader;
using salvage::Trust;
using salvage::Work;

struct SoundEntry {
  uint32_t record_offset = 0;
  uint32_t message_length = 0;  // as two of the three length fields agree on it
  uint32_t record_length = 0;   // the record's own field, as read when it became a candidate
  uint8_t flags = 0;
  bool usable = true;
  bool overlaps = false;
};

uint64_t EntryEnd(const SoundEntry& entry) {
  return RecordFinder::MessageEnd(entry.record_offset, entry.message_length);
}

// Everything one mailbox's salvage works with.
struct Salvage {
  File mailbox;
  RunState* state;
  MessageConsumer* consumer;
  MailboxSalvage* report;
  BlockReader* messages = nullptr;  // set when the consumer takes the messages' bytes
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

// Counted as recovered only once the consumer has it.
bool HandOn(Salvage* salvage, const MessageRecord& message) {
  if (!StepMessage(salvage->state)) return false;
  CountMessage(message, &salvage->state->conversion_run);
  uint64_t start = uint64_t{message.record_offset} + kRecordHeaderSize;
  MessageRecord handed = message;
  if (salvage->messages == nullptr) {
    SeekFile(salvage->mailbox, start);
  } else if (!salvage->messages->BytesAt(start, message.length, &handed.bytes, kReadSourceFailed)) {
    return false;
  }
  if (!HandOnMessage(salvage->mailbox, handed, salvage->consumer)) return false;
  int32_t* tally = message.found_by == FoundBy::kIndex   ? &salvage->report->by_index
                   : message.found_by == FoundBy::kChain ? &salvage->report->by_chain
                                                         : &salvage->report->by_scan;
  ++*tally;
  return true;
}

// ---- The index: entries read in its order, checked against the mailbox in file order.

// The first place at or after `from` where an entry names its own offset, or the index's end.
uint64_t NextEntryStart(ForwardWindow* window, FileReader* index, uint64_t from) {
  while (from + kEntrySize <= index->size()) {
    uint32_t available = 0;
    const unsigned char* block = window->From(from, kEntrySize, &available);
    if (block == nullptr) break;
    for (uint32_t at = 0; at + kEntrySize <= available; ++at) {
      if (ReadU32LE(block + at + kEntryOwnOffsetField) == from + at)
        return index->work()->Spend(at) ? from + at : index->size();
    }
    if (!index->work()->Spend(available)) break;
    from += available - kEntrySize + 1;
  }
  return index->size();
}

// The offset the entry at `position` names as its own: from the block held when it has it (an
// index read entry by entry would cost a call each), else read alone. UINT64_MAX when unread.
uint64_t OwnOffsetAt(ForwardWindow* window, FileReader* index, uint64_t position) {
  if (const unsigned char* held = window->Held(position + kEntryOwnOffsetField, 4)) {
    return ReadU32LE(held);
  }
  unsigned char own_offset[4];
  if (!index->ReadAt(position + kEntryOwnOffsetField, own_offset, sizeof own_offset))
    return UINT64_MAX;
  return ReadU32LE(own_offset);
}

// Where the entry at `position` says the next one starts, when an entry does start there or
// the index ends there. Else its length is damaged: the next entry is searched for from the
// entry's end, and a stretch of an entry's size or more without one counts as one entry lost.
uint64_t NextEntryPosition(ForwardWindow* window, FileReader* index, uint64_t position,
                           uint32_t entry_length, MailboxSalvage* report) {
  uint64_t next = position + entry_length;
  if (entry_length >= kEntrySize && next == index->size()) return next;
  if (entry_length >= kEntrySize && next + kEntrySize <= index->size() &&
      OwnOffsetAt(window, index, next) == next) {
    return next;
  }
  uint64_t found = NextEntryStart(window, index, position + kEntrySize);
  if (found >= position + 2 * kEntrySize) ++report->unused_index_entries;
  return found;
}

// The message length two fields agree on: the entry's and the record's own, or the entry's and
// the room its record length leaves. False when neither pair agrees.
bool AgreedLength(const RecordHeader& header, uint32_t entry_message_length, uint32_t* length) {
  uint64_t room = header.record_length >= kRecordHeaderSize
                      ? header.record_length - kRecordHeaderSize
                      : UINT64_MAX;
  *length = entry_message_length;
  return header.message_length == entry_message_length || room == entry_message_length;
}

// An entry is a candidate when it names its own offset and a record marker stands where it
// points, whose message the agreed length keeps inside the file.
bool ReadCandidate(const unsigned char* entry, RecordFinder* finder, SoundEntry* sound) {
  sound->flags = entry[kEntryFlagsField];
  sound->record_offset = ReadU32LE(entry + kEntryRecordOffsetField);
  if (sound->record_offset < kFirstRecordOffset) return false;
  RecordHeader header = finder->HeaderAt(sound->record_offset);
  sound->record_length = header.record_length;
  return header.marker && header.complete &&
         AgreedLength(header, ReadU32LE(entry + kEntryMessageLengthField),
                      &sound->message_length) &&
         EntryEnd(*sound) <= finder->size();
}

// Walks the whole index, whatever its count says: a damaged entry costs that entry only. More
// candidates than the mailbox has room for records means the index is not this mailbox's; it is
// then not used at all.
bool ReadCandidates(FileReader* index, RecordFinder* finder, MailboxSalvage* report,
                    std::vector<SoundEntry>* entries) {
  ForwardWindow window(index);
  const size_t most_entries = static_cast<size_t>(finder->size() / kRecordHeaderSize);
  uint64_t position = kFirstEntryOffset;
  while (position + kEntrySize <= index->size() && index->work()->Spend(1)) {
    uint32_t available = 0;
    const unsigned char* entry = window.From(position, kEntrySize, &available);
    if (entry == nullptr) break;
    if (ReadU32LE(entry + kEntryOwnOffsetField) != position) {
      ++report->unused_index_entries;
      position = NextEntryStart(&window, index, position + 1);
      continue;
    }
    SoundEntry sound;
    uint32_t entry_length = ReadU32LE(entry + kEntryLengthField);
    if (ReadCandidate(entry, finder, &sound)) {
      entries->push_back(sound);
    } else {
      ++report->unused_index_entries;
    }
    if (entries->size() > most_entries) {
      entries->clear();
      break;
    }
    position = NextEntryPosition(&window, index, position, entry_length, report);
  }
  return !index->failed() && !index->work()->stopped();
}

void MarkUnusable(SoundEntry* entry, MailboxSalvage* report) {
  if (!entry->usable) return;
  entry->usable = false;
  ++report->unused_index_entries;
}

// A candidate whose record length leads to the next record is sound; one whose length leads
// nowhere still vouches for a message no confirmed record starts inside. Asked in file order,
// so the searches move forward.
void DropContradicted(const std::vector<SoundEntry*>& by_offset, RecordFinder* finder,
                      MailboxSalvage* report) {
  for (size_t i = 0; i < by_offset.size(); ++i) {
    SoundEntry* entry = by_offset[i];
    uint64_t record_end = uint64_t{entry->record_offset} + entry->record_length;
    // A record that leads to the next candidate needs no second read: its marker was seen.
    bool at_next = i + 1 < by_offset.size() && by_offset[i + 1]->record_offset == record_end;
    bool leads_on = record_end >= EntryEnd(*entry) && record_end <= kLastPosition &&
                    (at_next || finder->StartsRecord(record_end));
    if (!leads_on && finder->Find(Trust::kConfirmed, entry->record_offset + 4) < EntryEnd(*entry)) {
      MarkUnusable(entry, report);
    }
  }
}

// ---- The walk in file order, first to test the index against, then to hand records on.

// What a walk does with the records it trusts and the stretches it steps over.
class RecordSink {
 public:
  virtual ~RecordSink() = default;
  virtual bool Take(uint64_t at, uint32_t message_length, FoundBy found_by) = 0;
  virtual void Skip(uint64_t from, uint64_t to) = 0;
};

// One step of the walk from `position`, a record start when `chained`; returns where the walk
// goes on (always further), and whether that is a record start the chain vouches for.
bool WalkStep(RecordFinder* finder, RecordSink* sink, uint64_t* position, bool* chained) {
  const uint64_t at = *position;
  RecordHeader header = finder->HeaderAt(at);
  if (const Extent* claimed = finder->ClaimedAt(at)) {
    // Handed on from the index already; its length may still lead to the next record.
    uint64_t record_end = at + header.record_length;
    *chained = record_end >= claimed->end && finder->StartsRecord(record_end);
    *position = *chained ? record_end : finder->Find(Trust::kWhole, claimed->end);
    if (!*chained) sink->Skip(claimed->end, *position);
    return true;
  }
  if (finder->ClaimedAround(at) == nullptr && finder->Holds(at, header)) {
    uint64_t record_end = at + header.record_length;
    uint64_t message_end = RecordFinder::MessageEnd(at, header.message_length);
    FoundBy found_by = *chained ? FoundBy::kChain : FoundBy::kScan;
    if (finder->StartsRecord(record_end) && finder->NextClaimedStart(at + 1) >= record_end) {
      *position = record_end;
      *chained = true;
      return sink->Take(at, header.message_length, found_by);
    }
    // Its length leads nowhere, yet its own bytes are whole: it stands unless a record that
    // is confirmed starts inside its message.
    if (finder->Find(Trust::kConfirmed, at + 4) >= message_end) {
      *position = finder->Find(Trust::kWhole, message_end);
      *chained = false;
      sink->Skip(message_end, *position);
      return sink->Take(at, header.message_length, found_by);
    }
  }
  *position = finder->Find(Trust::kWhole, at + 1);
  *chained = false;
  sink->Skip(at, *position);
  return true;
}

// False when a sink refused, a read failed or a stop was asked.
bool WalkMailbox(RecordFinder* finder, RecordSink* sink) {
  uint64_t position = kFirstRecordOffset;
  bool chained = true;
  while (position < finder->size() && finder->work()->Spend(1)) {
    const uint64_t at = position;
    if (!WalkStep(finder, sink, &position, &chained)) return false;
    if (position <= at) position = at + 1;  // every step moves on, whatever a changing file says
  }
  return !finder->stopped();
}

// The record a walk trusts wins over index entries that claim a record inside its message.
class EnclosureCheck final : public RecordSink {
 public:
  EnclosureCheck(const std::vector<SoundEntry*>& by_offset, MailboxSalvage* report)
      : by_offset_(by_offset), report_(report) {}
  bool Take(uint64_t at, uint32_t message_length, FoundBy) override {
    auto inside = std::upper_bound(
        by_offset_.begin(), by_offset_.end(), at,
        [](uint64_t value, const SoundEntry* entry) { return value < entry->record_offset; });
    uint64_t message_end = RecordFinder::MessageEnd(at, message_length);
    for (; inside != by_offset_.end() && (*inside)->record_offset < message_end; ++inside) {
      MarkUnusable(*inside, report_);
    }
    return true;
  }
  void Skip(uint64_t, uint64_t) override {}

 private:
  const std::vector<SoundEntry*>& by_offset_;
  MailboxSalvage* report_;
};

class HandingOn final : public RecordSink {
 public:
  explicit HandingOn(Salvage* salvage) : salvage_(salvage) {}
  bool Take(uint64_t at, uint32_t message_length, FoundBy found_by) override {
    MessageRecord message;
    message.record_offset = static_cast<uint32_t>(at);
    message.length = message_length;
    message.found_by = found_by;
    return HandOn(salvage_, message);
  }
  void Skip(uint64_t from, uint64_t to) override { NoteSkipped(salvage_->report, from, to); }

 private:
  Salvage* salvage_;
};

// Reads the index's candidates and keeps the sound ones, in index order: each check a finder
// of its own, so every finder's searches move forward.
bool ReadSoundEntries(File index, FileReader* mailbox, MailboxSalvage* report,
                      std::vector<SoundEntry>* entries) {
  uint64_t index_size = 0;
  if (!index.is_open() || !GetFileSize(index, &index_size).ok()) return true;
  FileReader index_reader(index, index_size, kReadIndexFailed, mailbox->work());
  RecordFinder probe(mailbox);
  if (!ReadCandidates(&index_reader, &probe, report, entries)) return false;
  if (entries->empty()) return !mailbox->failed();
  std::vector<SoundEntry*> by_offset;
  for (SoundEntry& entry : *entries) by_offset.push_back(&entry);
  std::stable_sort(
      by_offset.begin(), by_offset.end(),
      [](const SoundEntry* a, const SoundEntry* b) { return a->record_offset < b->record_offset; });
  RecordFinder check(mailbox);
  DropContradicted(by_offset, &check, report);
  RecordFinder walk(mailbox);
  EnclosureCheck enclosure(by_offset, report);
  if (!WalkMailbox(&walk, &enclosure)) return false;
  std::erase_if(*entries, [](const SoundEntry& entry) { return !entry.usable; });
  return true;
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
    if (LeavesOut(salvage->state->choices, entry.flags)) {
      if (!StepMessage(salvage->state)) return false;
      continue;
    }
    MessageRecord message;
    message.record_offset = entry.record_offset;
    message.length = entry.message_length;
    message.has_flags = true;
    message.flags = entry.flags;
    message.found_by = FoundBy::kIndex;
    if (!HandOn(salvage, message)) return false;
  }
  return true;
}

// The bar runs to the count in the mailbox's header, or to nothing when that is missing.
void StartProgressAtCount(FileReader* mailbox, ProgressSink* progress) {
  unsigned char count[4] = {0, 0, 0, 0};
  mailbox->ReadAt(kMailboxCountOffset, count, 4);
  StartProgress(progress, static_cast<int32_t>(ReadU32LE(count)));
}

// The run's entry for this mailbox, or `scratch` when the run keeps no report.
MailboxSalvage* ReportFor(RunState* state, MailboxSalvage* scratch) {
  if (state->salvage_report == nullptr) return scratch;
  if (state->salvage_report->mailboxes.empty()) state->salvage_report->mailboxes.emplace_back();
  return &state->salvage_report->mailboxes.back();
}

bool SalvageWith(Salvage* salvage, File index, FileReader* mailbox) {
  StartProgressAtCount(mailbox, salvage->state->progress);
  std::vector<SoundEntry> entries;
  if (!ReadSoundEntries(index, mailbox, salvage->report, &entries)) return false;
  RecordFinder finder(mailbox, DropOverlaps(&entries, salvage->report));
  if (mailbox->failed() || !HandOnIndexed(salvage, entries)) return false;
  HandingOn sink(salvage);
  return WalkMailbox(&finder, &sink);
}

}  // namespace

void BeginSalvage(RunState* state, const std::string& name) {
  if (!state->choices.salvage || state->salvage_report == nullptr) return;
  state->salvage_report->mailboxes.emplace_back();
  state->salvage_report->mailboxes.back().name = name;
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
  // The messages come from blocks of their own: the finders' reads move the file's position.
  BlockReader messages(mailbox, 1 << 20);
  if (consumer->TakesBytes()) salvage.messages = &messages;
  Work work(state, &salvage.report->work);
  FileReader mailbox_reader(mailbox, mailbox_size, kReadSourceFailed, &work);
  salvage.report->read_to_end = SalvageWith(&salvage, index, &mailbox_reader);
  return salvage.report->read_to_end;
}

namespace {

// The catalogue's text `id` filled with the mailbox's name and then `numbers`.
template <typename... Numbers>
std::string ReportLine(int id, const std::string& name, Numbers... numbers) {
  const std::string values[] = {name, std::to_string(numbers)...};
  std::string format;
  LoadCatalogueText(id, &format);
  return FillPlaceholders(format, values, sizeof...(numbers) + 1);
}

void DescribeMailbox(const MailboxSalvage& mailbox, std::vector<std::string>* lines) {
  const std::string& name = mailbox.name;
  int32_t recovered = mailbox.by_index + mailbox.by_chain + mailbox.by_scan;
  lines->push_back(ReportLine(kSalvageRecovered, name, recovered, mailbox.by_index,
                              mailbox.by_chain, mailbox.by_scan));
  if (mailbox.unused_index_entries > 0) {
    lines->push_back(ReportLine(kSalvageUnusedEntries, name, mailbox.unused_index_entries));
  }
  if (!mailbox.read_to_end) {
    lines->push_back(ReportLine(kSalvageEndedEarly, name));
  } else if (mailbox.skipped_range_count == 0) {
    lines->push_back(ReportLine(kSalvageNothingSkipped, name));
  }
  for (const SkippedRange& range : mailbox.skipped) {
    lines->push_back(ReportLine(kSalvageSkipped, name, range.length, range.offset));
  }
  if (mailbox.skipped_range_count > mailbox.skipped.size()) {
    lines->push_back(ReportLine(kSalvageMoreSkipped, name,
                                mailbox.skipped_range_count - mailbox.skipped.size(),
                                mailbox.skipped_bytes));
  }
}

}  // namespace

std::vector<std::string> DescribeSalvage(const SalvageReport& report) {
  std::vector<std::string> lines;
  for (const MailboxSalvage& mailbox : report.mailboxes) DescribeMailbox(mailbox, &lines);
  return lines;
}

}  // namespace ferrolt
