#ifndef FERROLT_CONVERT_MBOX_EXPORT_H_
#define FERROLT_CONVERT_MBOX_EXPORT_H_

// Export to mbox files as today's clients read them (the mboxrd convention): each message
// behind a "From " line with its sender and date, lines matching ^>*From quoted with one more
// '>', LF line ends, a blank line after each message. The read state goes into a Status line
// (RO read, O unread; none when the mailbox has no index), a deleted message gets X-Status: D;
// the source's Status, X-Status, Content-Length and Lines fields are left out (mboxrd needs no
// length, and a stale one makes readers that trust it merge messages).

#include <cstdint>
#include <string>
#include <string_view>

#include "convert/conversion_run.h"
#include "convert/mailbox_reader.h"

namespace ferrolt {

// Writes the mailbox `name` of state->source_dir to the new file state->target_dir + its base
// name + ".mbox". False stops the run; its notice has been shown.
bool ExportMailboxAsMbox(RunState* state, const std::string& name);

// The most bytes MboxEntry writes for a message of `length` bytes.
uint64_t MboxEntryBound(uint64_t length);

// Writes one message as an mbox entry to `out` (room for MboxEntryBound bytes); returns the
// number of bytes written. The From line is dated as MessageInstant says, else `undated`.
size_t MboxEntry(std::string_view message, const MessageRecord& record, int64_t undated, char* out);

// The envelope sender of a "From " line: the Return-Path address, else the From address, else
// "MAILER-DAEMON".
std::string EnvelopeSender(std::string_view header);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_MBOX_EXPORT_H_
