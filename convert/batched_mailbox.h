#ifndef FERROLT_CONVERT_BATCHED_MAILBOX_H_
#define FERROLT_CONVERT_BATCHED_MAILBOX_H_

// Appending whole messages to a mailbox in large writes: a write per message cost more in calls
// than in bytes. Messages wait in one batch of bounded size (larger only for a message that does
// not fit in it alone); when a write fails, the mailbox's whole end is set to the last message
// that reached the file whole, so cutting it back (convert/whole_messages.h) keeps those.

#include <cstdint>
#include <vector>

#include "convert/message_buffer.h"
#include "convert/whole_messages.h"

namespace ferrolt {

class BatchedMailbox {
 public:
  static constexpr uint64_t kBatchSize = 1 << 20;

  explicit BatchedMailbox(AppendedMailbox* mailbox) : mailbox_(mailbox) {}

  // Room for a message of up to `bound` bytes, after writing the batch out when it would not fit;
  // nullptr after notice 55 or 62.
  char* Room(uint64_t bound);
  // The first `size` bytes at Room() make a whole message.
  void Add(size_t size);
  // Writes the batch out; notice 55 on failure.
  bool Flush();
  // The same without a notice, after a failure that has shown its own.
  void FlushQuietly();

 private:
  bool Write(bool quietly);

  AppendedMailbox* mailbox_;
  MessageBuffer batch_;
  uint64_t capacity_ = 0;
  uint64_t used_ = 0;
  std::vector<uint64_t> ends_;  // where each message in the batch ends
};

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_BATCHED_MAILBOX_H_
