#ifndef FERROLT_CONVERT_MAILBOX_READER_H_
#define FERROLT_CONVERT_MAILBOX_READER_H_

// Reading the source client's mailboxes (.mbx) and their indexes (.idx). A mailbox is walked
// either record by record, or in the order of its index, which also gives each message's
// deleted and unread flags. Each message is handed to a consumer with the mailbox positioned at
// its first byte; the consumer reads the message's bytes itself. convert/index_probe.h finds
// the index.

#include <cstdint>

#include "convert/conversion_run.h"
#include "convert/progress_sink.h"
#include "convert/store_format.h"
#include "platform/files.h"

namespace ferrolt {

// How salvage found a message; the normal reader reads each where the mailbox or index says.
enum class FoundBy : uint8_t { kNotSalvaged, kIndex, kChain, kScan };

struct MessageRecord {
  uint32_t record_offset = 0;  // where the message's record starts in the .mbx
  uint32_t length = 0;         // the message's length in bytes
  bool has_flags = false;      // only indexed reading knows the flags
  uint8_t flags = 0;           // kFlagDeleted, kFlagUnread (convert/store_format.h)
  FoundBy found_by = FoundBy::kNotSalvaged;
  const char* bytes = nullptr;  // the message's bytes, when handed on (TakesBytes)
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

// What every walk does alike, the salvage reader's too: the bar runs to the count the file
// gives (nothing for a negative one); each message handed on or left out steps it, unless a stop
// was asked (false); a message handed on is counted, and as deleted when its flags say so.
void StartProgress(ProgressSink* progress, int32_t count);
bool StepMessage(RunState* state);
void CountMessage(const MessageRecord& message, ConversionRun* run);

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
