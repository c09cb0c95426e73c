#ifndef FERROLT_CONVERT_SOURCE_MAILBOX_H_
#define FERROLT_CONVERT_SOURCE_MAILBOX_H_

// Opening a source mailbox with its index, as every per-mailbox operation and the listing do.

#include <string>

#include "platform/files.h"

namespace ferrolt {

struct SourceMailbox {
  File mailbox;
  File index;  // open only when the mailbox is read through its index
};

// Opens `path` for reading (kOpenSourceFailed on failure) and probes its index
// (convert/index_probe.h), which a missing or unusable index leaves closed. A salvage run takes an
// index too short for its magic for a missing one, without a notice.
bool OpenMailboxAndProbeIndex(const std::string& path, SourceMailbox* source, bool salvage = false);
void CloseSourceMailbox(SourceMailbox* source);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_SOURCE_MAILBOX_H_
