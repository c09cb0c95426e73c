// Files and folders on POSIX systems.

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "base/ascii.h"
#include "platform/files.h"

namespace ferrolt {
namespace {

IoStatus ErrnoStatus(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return {IoKind::kNotFound, error};
    case EEXIST:
      return {IoKind::kAlreadyExists, error};
    default:
      return {IoKind::kOtherError, error};
  }
}

IoStatus LastErrnoStatus() { return ErrnoStatus(errno); }

// A folder gives EISDIR; a FIFO, device or socket EINVAL: none of them can be a mailbox.
IoStatus CheckRegularFile(int fd) {
  struct stat info;
  if (fstat(fd, &info) != 0) return LastErrnoStatus();
  if (S_ISDIR(info.st_mode)) return {IoKind::kOtherError, EISDIR};
  if (!S_ISREG(info.st_mode)) return {IoKind::kOtherError, EINVAL};
  return {};
}

int Descriptor(File file) { return static_cast<int>(file.native); }

// Splits a path into its folder (with the separator, or empty) and its last component.
void SplitPath(const std::string& path, std::string* folder, std::string* name) {
  size_t slash = path.find_last_of('/');
  *folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

const char kPathSeparator = '/';

bool IsPathSeparator(char c) { return c == '/'; }

size_t LastComponentStart(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

bool EndsInPathSeparator(const std::string& path) { return !path.empty() && path.back() == '/'; }

IoStatus OpenFileForReading(const std::string& path, File* file) {
  // Without O_NONBLOCK a FIFO would wait for a writer here, beyond reach of Ctrl-C.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return LastErrnoStatus();
  IoStatus status = CheckRegularFile(fd);
  if (status.ok() && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    status = LastErrnoStatus();
  }
  if (!status.ok()) {
    close(fd);
    return status;
  }
  file->native = fd;
  return {};
}

IoStatus CreateNewFile(const std::string& path, File* file) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return LastErrnoStatus();
  file->native = fd;
  return {};
}

IoStatus ReadFromFileAt(File file, uint64_t position, void* buffer, uint32_t count,
                        uint32_t* moved) {
  uint32_t total = 0;
  char* out = static_cast<char*>(buffer);
  while (total < count) {
    ssize_t got =
        pread(Descriptor(file), out + total, count - total, static_cast<off_t>(position + total));
    if (got < 0) {
      *moved = total;
      return LastErrnoStatus();
    }
    if (got == 0) break;
    total += static_cast<uint32_t>(got);
  }
  *moved = total;
  return IoStatus{};
}

IoStatus ReadFromFile(File file, void* buffer, uint32_t count, uint32_t* moved) {
  uint32_t total = 0;
  char* out = static_cast<char*>(buffer);
  while (total < count) {
    // EINTR is a failure too: a signal must end a wait, and the run stops after it anyway.
    ssize_t got = read(Descriptor(file), out + total, count - total);
    if (got < 0) {
      *moved = total;
      return LastErrnoStatus();
    }
    if (got == 0) break;
    total += static_cast<uint32_t>(got);
  }
  *moved = total;
  return {};
}

IoStatus WriteToFile(File file, const void* buffer, uint32_t count, uint32_t* moved) {
  uint32_t total = 0;
  const char* in = static_cast<const char*>(buffer);
  while (total < count) {
    ssize_t put = write(Descriptor(file), in + total, count - total);
    if (put <= 0) {
      *moved = total;
      return put < 0 ? LastErrnoStatus() : IoStatus{IoKind::kOtherError, EIO};
    }
    total += static_cast<uint32_t>(put);
  }
  *moved = total;
  return {};
}

IoStatus SeekFile(File file, uint64_t position) {
  if (lseek(Descriptor(file), static_cast<off_t>(position), SEEK_SET) < 0) {
    return LastErrnoStatus();
  }
  return {};
}

IoStatus GetFileSize(File file, uint64_t* size) {
  struct stat info;
  if (fstat(Descriptor(file), &info) != 0) return LastErrnoStatus();
  *size = static_cast<uint64_t>(info.st_size);
  return {};
}

void CloseFile(File* file) {
  if (!file->is_open()) return;
  close(Descriptor(*file));
  file->native = -1;
}

IoStatus TruncateFile(File file, uint64_t size) {
  if (ftruncate(Descriptor(file), static_cast<off_t>(size)) != 0) return LastErrnoStatus();
  return SeekFile(file, size);
}

IoStatus RemoveFile(const std::string& path) {
  if (unlink(path.c_str()) != 0) return LastErrnoStatus();
  return {};
}

bool IsExistingFolder(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

IoStatus StartFolderListing(const std::string& folder, FolderListing* listing) {
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return {IoKind::kNotFound, errno};
  listing->names.clear();
  listing->next = 0;
  while (const dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") listing->names.push_back(name);
  }
  closedir(dir);
  std::sort(listing->names.begin(), listing->names.end());
  listing->native = 0;
  return {};
}

IoStatus NextInListing(FolderListing* listing, std::string* name) {
  if (listing->next >= listing->names.size()) return {IoKind::kEndOfListing, 0};
  *name = listing->names[listing->next++];
  return {};
}

void CloseListing(FolderListing* listing) {
  listing->names.clear();
  listing->next = 0;
  listing->native = -1;
}

// Mail is private: the new folder is the owner's alone, whatever the template's permissions.
IoStatus CreateFolderFromTemplate(const std::string&, const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0) return LastErrnoStatus();
  return {};
}

bool FindSiblingIgnoringCase(const std::string& path, std::string* found) {
  std::string folder, name;
  SplitPath(path, &folder, &name);
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return false;
  // Of several spellings the byte-smallest wins, so the choice does not depend on the directory.
  std::string best;
  bool matched = false;
  while (const dirent* entry = readdir(dir)) {
    std::string candidate = entry->d_name;
    if (ascii::EqualsIgnoringCase(candidate, name) && (!matched || candidate < best)) {
      best = candidate;
      matched = true;
    }
  }
  closedir(dir);
  if (matched) *found = folder + best;
  return matched;
}

std::string PathAsText(const std::string& path) { return path; }

std::string SystemErrorText(int code) {
  const char* text = strerror(code);
  return text == nullptr ? std::string() : std::string(text);
}

}  // namespace ferrolt
