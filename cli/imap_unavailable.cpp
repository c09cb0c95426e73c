// The build without the IMAP upload: no TLS library for it there.

#include "cli/exit_codes.h"
#include "cli/imap_command.h"

namespace ferrolt {

bool ImapCommandAvailable() { return false; }

int RunImapCommand(const CliOptions&, SourceCollector) { return kExitUsage; }

}  // namespace ferrolt
