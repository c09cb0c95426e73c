#include "convert/mailbox_reader.h"

#include <cstring>
#include <new>

#include "convert/block_reader.h"
#include "convert/exact_io.h"
#include "convert/salvage_reader.h"
#include "convert/store_format.h"
#include "notices/catalogue.h"
#include "notices/notices.h"

namespace ferrolt {
namespace {

bool ReadU32(File file, int message_id, uint32_t* value) {
  unsigned char bytes[4];
  if (!ReadExact(file, bytes, 4, message_id)) return false;
  *value = ReadU32LE(bytes);
  return true;
}

// Reads past `kCount` bytes this reader does not use.
template <uint32_t kCount>
bool Skip(File file, int message_id) {
  unsigned char skipped[kCount];
  return ReadExact(file, skipped, kCount, message_id);
}

bool CheckMailboxMagic(File mailbox) {
  char magic[kMagicSize];
  if (!ReadExact(mailbox, magic, kMagicSize, kReadSourceFailed)) return false;
  bool matches = std::memcmp(magic, kMailboxMagic.data(), kMagicSize) == 0;
  if (!matches) ShowMessage(kNotAMailbox, kCaptionProgramError);
  return matches;
}

// Reads on from the magic to the signed count, which both files hold at the same place.
bool ReadCount(File file, int message_id, int32_t* count) {
  static_assert(kIndexCountOffset == kMailboxCountOffset);
  uint32_t value = 0;
  if (!Skip<kMailboxCountOffset - kMagicSize>(file, message_id) ||
      !ReadU32(file, message_id, &value)) {
    return false;
  }
  *count = static_cast<int32_t>(value);
  return true;
}

// A length that does not move forward, or moves past what a 32-bit offset can reach, would
// hand the same bytes on again and again: the file is not a sound mailbox. The last record's or
// entry's length leads nowhere, so it is not checked.
bool AdvancePosition(uint64_t* position, uint32_t length, uint32_t minimum, bool is_last) {
  if (is_last) return true;
  if (length < minimum || *position + length > kLastPosition) {
    ShowMessage(kNotAMailbox, kCaptionProgramError);
    return false;
  }
  *position += length;
  return true;
}

// The mailbox as a walk reads it: record heads through a block, which also holds the messages
// for a consumer that takes their bytes, so that a walk makes few calls.
struct RecordSource {
  RecordSource(File file, bool hands_bytes)
      : file(file), hands_bytes(hands_bytes), records(file, hands_bytes ? (1 << 20) : 16) {}

  File file;
  bool hands_bytes;
  BlockReader records;
  uint64_t size = 0;
};

// Reads a record's message length and refuses one that runs past the end of the mailbox, before
// any consumer creates a file or obtains memory for it.
bool ReadMessageLength(RecordSource* mailbox, uint64_t record_offset, uint32_t* length) {
  if (!mailbox->records.ReadU32At(record_offset + kMessageLengthField, length, kReadSourceFailed))
    return false;
  uint64_t message_start = record_offset + kRecordHeaderSize;
  if (message_start > mailbox->size || *length > mailbox->size - message_start) {
    ShowErrorCode(kReadSourceFailed, kCaptionProgramError, 0);
    return false;
  }
  return true;
}

// Hands the message on with its bytes, or else with the mailbox at its first byte.
bool HandOnRecord(RecordSource* mailbox, MessageRecord* message, MessageConsumer* consumer) {
  uint64_t start = uint64_t{message->record_offset} + kRecordHeaderSize;
  if (mailbox->hands_bytes) {
    if (!mailbox->records.BytesAt(start, message->length, &message->bytes, kReadSourceFailed)) {
      return false;
    }
  } else {
    SeekFile(mailbox->file, start);  // whether it worked shows in the consumer's read
  }
  return HandOnMessage(mailbox->file, *message, consumer);
}

bool MailboxSize(File mailbox, uint64_t* size) {
  IoStatus status = GetFileSize(mailbox, size);
  if (!status.ok()) ShowErrorCode(kReadSourceFailed, kCaptionProgramError, status.code);
  return status.ok();
}

}  // namespace

bool LeavesOut(const RunChoices& choices, uint8_t flags) {
  return IsDeleted(flags) && !choices.include_deleted;
}

void StartProgress(ProgressSink* progress, int32_t count) {
  progress->SetRange(count > 0 ? static_cast<uint32_t>(count) : 0);
  progress->SetStep(1);
  progress->SetPosition(0);
}

bool StepMessage(RunState* state) {
  if (StopRequested(*state)) return false;
  state->progress->StepIt();
  return true;
}

void CountMessage(const MessageRecord& message, ConversionRun* run) {
  ++run->message_count;
  if (message.has_flags && IsDeleted(message.flags)) ++run->deleted_count;
}

void BeginMailbox(RunState* state, const std::string& name) {
  state->progress->SetLabel(name);
  BeginSalvage(state, name);
}

bool HandOnMessage(File mailbox, const MessageRecord& message, MessageConsumer* consumer) {
  try {
    return consumer->HandleMessage(mailbox, message);
  } catch (const std::bad_alloc&) {
    ShowMessage(kOutOfMemory, kCaptionProgramError);
    return false;
  }
}

namespace {

bool ReadOneRecord(RecordSource* mailbox, uint64_t* position, bool is_last, RunState* state,
                   MessageConsumer* consumer) {
  if (!StepMessage(state)) return false;
  MessageRecord message;
  message.record_offset = static_cast<uint32_t>(*position);
  uint32_t record_length = 0;
  if (!mailbox->records.ReadU32At(*position + kRecordLengthField, &record_length,
                                  kReadSourceFailed) ||
      !AdvancePosition(position, record_length, kRecordHeaderSize, is_last) ||
      !ReadMessageLength(mailbox, message.record_offset, &message.length)) {
    return false;
  }
  CountMessage(message, &state->conversion_run);
  return HandOnRecord(mailbox, &message, consumer);
}

bool ReadSequentially(File mailbox, RunState* state, MessageConsumer* consumer) {
  int32_t count = 0;
  if (!CheckMailboxMagic(mailbox)) return false;
  if (!ReadCount(mailbox, kReadSourceFailed, &count)) return false;
  RecordSource source(mailbox, consumer->TakesBytes());
  if (!MailboxSize(mailbox, &source.size)) return false;
  StartProgress(state->progress, count);
  uint64_t position = kFirstRecordOffset;
  for (int32_t i = 0; i < count; ++i) {
    if (!ReadOneRecord(&source, &position, i == count - 1, state, consumer)) return false;
  }
  return true;
}

bool ReadOneEntry(RecordSource* mailbox, BlockReader* index, uint64_t* position, bool is_last,
                  RunState* state, MessageConsumer* consumer) {
  if (!StepMessage(state)) return false;
  uint64_t entry = *position;
  uint32_t entry_length = 0;
  MessageRecord message;
  message.has_flags = true;
  const char* flags = nullptr;
  if (!index->BytesAt(entry + kEntryFlagsField, 1, &flags, kReadSourceFailed)) return false;
  message.flags = static_cast<uint8_t>(*flags);
  if (!index->ReadU32At(entry + kEntryLengthField, &entry_length, kReadSourceFailed)) return false;
  if (!AdvancePosition(position, entry_length, kEntryReadSize, is_last)) return false;
  if (LeavesOut(state->choices, message.flags)) return true;
  if (!index->ReadU32At(entry + kEntryRecordOffsetField, &message.record_offset,
                        kReadSourceFailed)) {
    return false;
  }
  uint32_t unused_record_length = 0;
  if (!mailbox->records.ReadU32At(uint64_t{message.record_offset} + kRecordLengthField,
                                  &unused_record_length, kReadSourceFailed) ||
      !ReadMessageLength(mailbox, message.record_offset, &message.length)) {
    return false;
  }
  CountMessage(message, &state->conversion_run);
  return HandOnRecord(mailbox, &message, consumer);
}

bool ReadIndexed(File mailbox, File index, RunState* state, MessageConsumer* consumer) {
  int32_t count = 0;
  if (!CheckMailboxMagic(mailbox)) return false;
  if (!ReadCount(index, kReadIndexFailed, &count)) return false;
  RecordSource source(mailbox, consumer->TakesBytes());
  if (!MailboxSize(mailbox, &source.size)) return false;
  StartProgress(state->progress, count);
  uint64_t position = kFirstEntryOffset;
  BlockReader entries(index, 16384);
  for (int32_t i = 0; i < count; ++i) {
    if (!ReadOneEntry(&source, &entries, &position, i == count - 1, state, consumer)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool ReadMailbox(File mailbox, File index, RunState* state, MessageConsumer* consumer) {
  if (state->choices.salvage) return SalvageMailbox(mailbox, index, state, consumer);
  if (index.is_open()) return ReadIndexed(mailbox, index, state, consumer);
  return ReadSequentially(mailbox, state, consumer);
}

}  // namespace ferrolt
