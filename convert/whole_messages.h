#ifndef FERROLT_CONVERT_WHOLE_MESSAGES_H_
#define FERROLT_CONVERT_WHOLE_MESSAGES_H_

// Every output holds whole messages only. What a failure inside a message leaves behind is
// taken back: a file made for that one message is deleted, a mailbox that messages are appended
// to is cut back to the end of its last whole message. Neither shows a notice: the failure has
// shown its own, and a second one would hide it.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace ferrolt {

// Closes and deletes `path`, the file this run created for a message it could not finish.
void DiscardMessageFile(const std::string& path, File* file);

// A mailbox file this run created, into which messages are appended one after the other.
struct AppendedMailbox {
  File file;
  uint64_t written = 0;    // bytes appended so far
  uint64_t whole_end = 0;  // where the last whole message ends
};

// Appends `bytes` (any length, as WriteInPieces in convert/exact_io.h writes it;
// kWriteOutputFailed on failure).
bool AppendToMailbox(AppendedMailbox* mailbox, std::string_view bytes);

// The bytes appended so far make whole messages.
void EndMessage(AppendedMailbox* mailbox);

// Cuts the mailbox back to the end of its last whole message, or to nothing.
void CutBackToWholeMessages(AppendedMailbox* mailbox);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_WHOLE_MESSAGES_H_
