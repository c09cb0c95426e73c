#ifndef FERROLT_PLATFORM_MAIL_FILES_H_
#define FERROLT_PLATFORM_MAIL_FILES_H_

// What writing mbox and Maildir needs beyond files.h: folders held open while files are made in
// them, moving a finished file into place without ever replacing another, dating a file, the
// host's name, output names.

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace ferrolt {

// A folder held open while files are made in it by name, so that a folder swapped for a link
// meanwhile sends nothing elsewhere. On POSIX a descriptor the names resolve from: a folder
// moved away keeps its files, a link put in its place is never followed. On Windows a handle
// that lets nobody rename or delete the folder (and so put a reparse point in its place) while
// it is held; names resolve from its path there. Exactly one owner calls CloseFolder.
struct Folder {
  intptr_t native = -1;
  std::string path;  // as opened, ending in a separator: for notices, and for names on Windows
  bool is_open() const { return native != -1; }
};

// Opens the existing folder `path` (ending in a separator or not; empty for the current folder,
// which keeps an empty path). A link (a reparse point on Windows) as its last component is
// refused with kOtherError; links before it are followed.
IoStatus OpenFolder(const std::string& path, Folder* folder);

// Creates the folder `name` in `parent` and opens it, refusing a link put in its place between
// the two steps (kOtherError). On POSIX it is open to its owner only, on Windows it takes the
// parent's attributes. kAlreadyExists when something of that name is there.
IoStatus CreateSubfolder(const Folder& parent, const std::string& name, Folder* created);

// Closes the folder if it is open and marks it closed. Safe to call twice.
void CloseFolder(Folder* folder);

// CreateNewFile for the name `name` in `folder`.
IoStatus CreateNewFileIn(const Folder& folder, const std::string& name, File* file);

// Moves `from` of `from_folder` to `to` of `to_folder` in one step; kAlreadyExists, and nothing
// changed, when `to` exists.
IoStatus MoveWithoutReplacing(const Folder& from_folder, const std::string& from,
                              const Folder& to_folder, const std::string& to);

// Deletes the closed file `name` of `folder`.
IoStatus RemoveFileIn(const Folder& folder, const std::string& name);

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
