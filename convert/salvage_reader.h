#ifndef FERROLT_CONVERT_SALVAGE_READER_H_
#define FERROLT_CONVERT_SALVAGE_READER_H_

// Reading a damaged mailbox: every record whose header and length can be trusted is handed to
// the same consumers the normal reader feeds, and the damage is stepped over instead of ending
// the mailbox. A record is trusted when it starts with the record marker, its record length
// holds its message, and the next record starts where that length says (or the file ends).
// Sound index entries come first, in index order and with their flags; every other trusted
// record follows in file order without flags. After a break the reader searches forward for
// the next trusted record. Memory: one search block plus 32 bytes per sound index entry.

#include <cstdint>
#include <string>
#include <vector>

#include "convert/conversion_run.h"
#include "convert/mailbox_reader.h"
#include "platform/files.h"

namespace ferrolt {

struct SkippedRange {
  uint64_t offset = 0;
  uint64_t length = 0;
};

// What salvage did with one mailbox.
struct MailboxSalvage {
  std::string name;
  int32_t by_index = 0, by_chain = 0, by_scan = 0;  // messages handed on, by how they were found
  uint32_t unused_index_entries = 0;                // entries that disagreed with the mailbox
  std::vector<SkippedRange> skipped;                // the first kMostRangesKept of them
  uint64_t skipped_range_count = 0;
  uint64_t skipped_bytes = 0;
  uint64_t work = 0;         // bytes read and places looked at: a few times the files' size
  bool read_to_end = false;  // false after a failure or a stop
};

// A damaged store can have a skipped range per record; only so many are kept to be listed.
constexpr size_t kMostRangesKept = 100;

struct SalvageReport {
  std::vector<MailboxSalvage> mailboxes;
};

// Opens the report's entry for the mailbox `name`; nothing when the run does not salvage.
void BeginSalvage(RunState* state, const std::string& name);

// Reads the mailbox as described above, into state->salvage_report's last entry. False only when a
// read of the file itself failed (its notice shown), a consumer failed, or a stop was asked.
bool SalvageMailbox(File mailbox, File index, RunState* state, MessageConsumer* consumer);

// The report as lines of text in the catalogue's language, one mailbox after the other.
std::vector<std::string> DescribeSalvage(const SalvageReport& report);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_SALVAGE_READER_H_
