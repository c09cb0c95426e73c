#ifndef FERROLT_CONVERT_MAILBOX_READER_H_
#define FERROLT_CONVERT_MAILBOX_READER_H_

// Reading the source client's mailboxes (.mbx) and their indexes (.idx). A mailbox is walked
// either record by record, or in the order of its index, which also gives each message's
// deleted and unread flags. Each message is handed to a consumer with the mailbox positioned at
// its first byte; the consumer reads the message's bytes itself. convert/index_probe.h finds
// the index.

#include <cstdint>

#include "convert/conversion_run.h"
#include "platform/files.h"

namespace ferrolt {

constexpr uint8_t kFlagDeleted = 1;  // deleted in the source client
constexpr uint8_t kFlagUnread = 2;   // never read: it gets no read status

struct MessageRecord {
  uint32_t record_offset = 0;  // where the message's record starts in the .mbx
  uint32_t length = 0;         // the message's length in bytes
  bool has_flags = false;      // only indexed reading knows the flags
  uint8_t flags = 0;
  const char* found_by = nullptr;  // salvage only: how the record was found
  const char* bytes = nullptr;     // the message's bytes, when handed on (TakesBytes)
};

class MessageConsumer {
 public:
  virtual ~MessageConsumer() = default;
  // Returns false to stop the mailbox; the consumer has then shown its notice.
  virtual bool HandleMessage(File mailbox, const MessageRecord& message) = 0;
  // Whether the consumer would rather be handed each message's bytes in MessageRecord::bytes,
  // valid during HandleMessage, than read them itself; a walk may still hand it the mailbox only.
  virtual bool TakesBytes() const { return false; }
};

// Whether the run leaves out a message with these index flags: a deleted one, unless the run
// includes deleted mail. The one place this rule is decided.
bool LeavesOut(const RunChoices& choices, uint8_t flags);

// Before a mailbox is read: shows its name as the progress label and, in a salvage run, opens
// its entry in the salvage report, so every output reports per mailbox alike.
void BeginMailbox(RunState* state, const std::string& name);

// Hands one message to `consumer`. Running out of memory anywhere in the consumer shows notice
// 62 and returns false, so the consumer's outputs are taken back as after any other failure.
bool HandOnMessage(File mailbox, const MessageRecord& message, MessageConsumer* consumer);

// Walks the mailbox: through `index` when it is open, else record by record; a run that
// salvages reads it as convert/salvage_reader.h says instead. Counts messages
// in `state`'s run, reports to its progress sink, and hands each message to `consumer`. False
// after the first failure, whose notice has been shown.
bool ReadMailbox(File mailbox, File index, RunState* state, MessageConsumer* consumer);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_MAILBOX_READER_H_
