#ifndef FERROLT_CONVERT_INDEX_PROBE_H_
#define FERROLT_CONVERT_INDEX_PROBE_H_

// Finding a mailbox's index (.idx), which decides whether the mailbox is read in the index's
// order with each message's flags, or record by record without them.

#include <string>

#include "platform/files.h"

namespace ferrolt {

// The index's name: the mailbox's path with its last three characters replaced by "idx".
std::string IndexPathFor(const std::string& mailbox_path);

// Opens the mailbox's index and checks its magic. True, with *index open and positioned after
// the magic, when the mailbox is to be read through it; otherwise *index is closed. A missing
// index or a wrong magic pass silently; a failed read of the magic shows its notice, unless
// `short_is_missing` (salvage) takes an index too short for a magic for one that is not there.
bool ProbeIndex(const std::string& mailbox_path, File* index, bool short_is_missing = false);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_INDEX_PROBE_H_
