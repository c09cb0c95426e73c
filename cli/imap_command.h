#ifndef FERROLT_CLI_IMAP_COMMAND_H_
#define FERROLT_CLI_IMAP_COMMAND_H_

// `ferrolt-cli imap`: the upload to an IMAP server (imap/upload.h). Builds without the imap/
// library (Windows) say so as a usage error.

#include <string>
#include <vector>

#include "cli/options.h"

namespace ferrolt {

bool ImapCommandAvailable();

// The mailboxes a run reads, as main.cpp finds them; false after the notice.
using SourceCollector = bool (*)(const CliOptions& options, std::vector<std::string>* sources);

// The exit status of the upload the options describe.
int RunImapCommand(const CliOptions& options, SourceCollector collect_sources);

}  // namespace ferrolt

#endif  // FERROLT_CLI_IMAP_COMMAND_H_
