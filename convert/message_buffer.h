#ifndef FERROLT_CONVERT_MESSAGE_BUFFER_H_
#define FERROLT_CONVERT_MESSAGE_BUFFER_H_

// What the exporters share: memory for a message that says when it cannot be had instead of
// throwing, writes of any length, and the output name of a mailbox.
//
// Running out of memory shows notice 62 once and ends the mailbox like any other failure. Every
// buffer whose size a message decides is a MessageBuffer, which shows the notice itself; what
// the standard containers cannot have throws, and HandOnMessage (convert/mailbox_reader.h)
// shows the same notice for it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace ferrolt {

// A buffer that grows as needed; kept from one message to the next, it is obtained again only
// for a longer one.
class MessageBuffer {
 public:
  // Room for `size` bytes; false after kOutOfMemory when the memory cannot be had.
  bool Reserve(uint64_t size);
  char* data() { return data_.get(); }

 private:
  std::unique_ptr<char[]> data_;
  size_t capacity_ = 0;
};

// Reads the message's `length` bytes from the mailbox's position into `buffer`. kOutOfMemory
// when the memory cannot be had, kReadSourceFailed when the read fails.
bool ReadWholeMessage(File mailbox, uint32_t length, MessageBuffer* buffer);

// Writes `bytes` whole (convert/exact_io.h: WriteInPieces); kWriteOutputFailed on failure.
bool WriteAll(File output, std::string_view bytes);

// "Inbox.mbx" -> "Inbox": the mailbox file's name without its extension.
std::string MailboxBaseName(const std::string& mailbox_file_name);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_MESSAGE_BUFFER_H_
