#ifndef FERROLT_PLATFORM_MAIL_FILES_H_
#define FERROLT_PLATFORM_MAIL_FILES_H_

// What writing a Maildir needs beyond files.h: moving a finished file into place without ever
// replacing another, dating a file, and the host's name.

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace ferrolt {

// Renames `from` to `to` in one step; kAlreadyExists, and nothing changed, when `to` exists.
IoStatus RenameWithoutReplacing(const std::string& from, const std::string& to);

// Sets the open file's modification (and access) time, in seconds since 1970 UTC.
IoStatus SetFileTime(File file, int64_t unix_seconds);

// The machine's name, for unique file names; "localhost" when the system has none.
std::string HostName();

// Whether file names may hold ':' (Windows takes it for a stream name).
extern const bool kColonAllowedInFileNames;

}  // namespace ferrolt

#endif  // FERROLT_PLATFORM_MAIL_FILES_H_
