#ifndef FERROLT_CONVERT_MAILDIR_EXPORT_H_
#define FERROLT_CONVERT_MAILDIR_EXPORT_H_

// Export to Maildir folders: each message's bytes in a file of its own, unchanged but for the
// header's Status and X-Status lines (the flags are in the name), written in tmp/ and renamed
// into place through the folders the export created, held open (a folder swapped for a link
// meanwhile is never followed), dated from when the message was sent. Read messages go to cur/
// with the flag S, unread ones (and all of a mailbox without index) to new/; a deleted message,
// when included, to cur/ with T.

#include <cstdint>
#include <string>

#include "convert/conversion_run.h"
#include "convert/mailbox_reader.h"

namespace ferrolt {

// Writes the mailbox `name` of state->source_dir as the new Maildir state->target_dir + its
// base name. False stops the run; its notice has been shown.
bool ExportMailboxAsMaildir(RunState* state, const std::string& name);

// "time.number.host": unique within a run (the number runs through it) and across runs; '/'
// and ':' in the host name written as \057 and \072, as Maildir readers expect.
std::string MaildirUniqueName(int64_t time, int32_t number, const std::string& host);

// Where a message goes, relative to its Maildir: "new/UNIQUE" or "cur/UNIQUE:2,FLAGS"
// (`info_separator` is ':' but where file names cannot hold one).
std::string MaildirPlace(const std::string& unique, const MessageRecord& record,
                         char info_separator);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_MAILDIR_EXPORT_H_
