#ifndef FERROLT_PLATFORM_FILES_H_
#define FERROLT_PLATFORM_FILES_H_

// Files and folders as the conversion needs them. Every operation reports what happened as an
// IoStatus; the logic above never looks at raw Win32 or errno numbers except to show them.

#include <cstdint>
#include <string>
#include <vector>

namespace ferrolt {

enum class IoKind {
  kOk,
  kNotFound,       // the file or folder does not exist
  kAlreadyExists,  // a create-new met an existing file or folder
  kEndOfListing,   // a folder listing has no more names
  kOtherError,     // anything else; `code` and SystemErrorText tell what
};

struct IoStatus {
  IoKind kind = IoKind::kOk;
  int code = 0;  // the operating system's own error number (GetLastError or errno); 0 when ok

  bool ok() const { return kind == IoKind::kOk; }
};

// An open file. Not copyable in spirit: exactly one owner calls CloseFile.
struct File {
  intptr_t native = -1;
  bool is_open() const { return native != -1; }
};

// Opens an existing file for reading only, shared with nobody. Only a regular file is opened:
// a folder is refused like on Windows (kOtherError with the system's "access denied" code), a
// FIFO, device or socket with kOtherError too, without waiting for a writer or the device.
IoStatus OpenFileForReading(const std::string& path, File* file);

// Creates a new file for reading and writing, shared with nobody, readable by its owner only
// (mail is private). Never touches an existing file: when the name exists (file or folder) the
// result is kAlreadyExists.
IoStatus CreateNewFile(const std::string& path, File* file);

// Reads up to `count` bytes at the current position; *moved tells how many arrived (fewer only
// at the end of the file).
IoStatus ReadFromFile(File file, void* buffer, uint32_t count, uint32_t* moved);
// Reads up to `count` bytes at `position` in one call instead of a seek and a read; *moved
// tells how many arrived (fewer, or none, only at the end of the file). The file's own position
// afterwards is undefined.
IoStatus ReadFromFileAt(File file, uint64_t position, void* buffer, uint32_t count,
                        uint32_t* moved);

// Writes `count` bytes at the current position; *moved tells how many were written.
IoStatus WriteToFile(File file, const void* buffer, uint32_t count, uint32_t* moved);

// Moves to an absolute position. Positions up to 4 GB - 1 work (64-bit seek underneath).
IoStatus SeekFile(File file, uint64_t position);

// The size of an open file in bytes.
IoStatus GetFileSize(File file, uint64_t* size);

// Closes the file if it is open and marks it closed. Safe to call twice.
void CloseFile(File* file);

// Cuts an open file (opened for writing) to `size` bytes and leaves its position there.
IoStatus TruncateFile(File file, uint64_t size);

// Deletes a closed file.
IoStatus RemoveFile(const std::string& path);

// True when `path` names an existing folder. Through the system's own call: on Windows the path
// is in the ANSI code page, which the C++ library's paths do not read.
bool IsExistingFolder(const std::string& path);

// True when something exists at `path`: a file, a folder or anything else.
bool PathExists(const std::string& path);

// Lists the names (without folder) of the entries of `folder` (ending in a separator, or empty
// for the current folder), files and folders alike, "." and ".." left out: on POSIX in byte
// order of name, so that runs are the same on every file system; on Windows in the system's
// order. kNotFound when the folder cannot be listed (missing, no folder, no access); after any
// other result CloseListing ends the listing.
struct FolderListing {
  intptr_t native = -1;
  std::vector<std::string> names;  // listed up front on POSIX; on Windows the first name found
  size_t next = 0;
};
IoStatus StartFolderListing(const std::string& folder, FolderListing* listing);
// The next name, or kEndOfListing when there are no more; any other kind is a failure.
IoStatus NextInListing(FolderListing* listing, std::string* name);
void CloseListing(FolderListing* listing);

// Creates the folder `path` (only its last component), taking its attributes from the folder
// `template_folder`; on POSIX it is open to its owner only, whatever the template allows.
// kAlreadyExists when something of that name is there.
IoStatus CreateFolderFromTemplate(const std::string& template_folder, const std::string& path);

// When `path` does not exist, looks in its folder for a name equal to its last component but for
// ASCII case and returns it in *found. Stores come from Windows, whose names ignore case; on
// Windows the file system already does this, so it finds nothing there.
bool FindSiblingIgnoringCase(const std::string& path, std::string* found);

// True for the characters that separate folders in a path on this system.
bool IsPathSeparator(char c);
// The separator this system writes into paths it composes.
extern const char kPathSeparator;

// Where the last component of `path` begins: just after its last separator, or 0. On Windows
// paths are in the ANSI code page, where the second byte of a double-byte character can equal
// the backslash (0x5C: in Shift_JIS "表" is 0x95 0x5C); such bytes do not separate anything.
size_t LastComponentStart(const std::string& path);

// True when `path` ends in a separator (not in the second byte of a double-byte character).
bool EndsInPathSeparator(const std::string& path);

// A path as UTF-8 text for a notice. Windows paths are in the ANSI code page (Shift_JIS on a
// Japanese system); elsewhere paths are shown as they are.
std::string PathAsText(const std::string& path);

// The system's own text for an error number, as UTF-8, without a trailing line end; empty when
// the system has none.
std::string SystemErrorText(int code);

}  // namespace ferrolt

#endif  // FERROLT_PLATFORM_FILES_H_
