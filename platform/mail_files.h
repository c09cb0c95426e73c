#ifndef FERROLT_PLATFORM_MAIL_FILES_H_
#define FERROLT_PLATFORM_MAIL_FILES_H_

// What writing mbox and Maildir needs beyond files.h: moving a finished file into place without
// ever replacing another, dating a file, the host's name, output names.

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace ferrolt {

// Renames `from` to `to` in one step; kAlreadyExists, and nothing changed, when `to` exists.
IoStatus RenameWithoutReplacing(const std::string& from, const std::string& to);

// Sets the open file's modification (and access) time, in seconds since 1970 UTC.
IoStatus SetFileTime(File file, int64_t unix_seconds);

// Sets *unix_seconds to the open file's modification time, in seconds since 1970 UTC.
IoStatus FileModifiedTime(File file, int64_t* unix_seconds);

// The name an output made for today's clients gets from the source file name `name` (a name
// without folder). On Windows `name` itself: names are in the ANSI code page there. On POSIX the
// name in UTF-8, as those clients and servers expect: `name` when it is valid UTF-8, else its
// conversion from code page 932 (the old disk's names) when it is valid there, else `name` with
// every control byte, byte past ASCII and '%' written as %XX, never raw.
std::string MailboxOutputName(const std::string& name);

// The machine's name, for unique file names; "localhost" when the system has none.
std::string HostName();

// Whether file names may hold ':' (Windows takes it for a stream name).
extern const bool kColonAllowedInFileNames;

}  // namespace ferrolt

#endif  // FERROLT_PLATFORM_MAIL_FILES_H_
