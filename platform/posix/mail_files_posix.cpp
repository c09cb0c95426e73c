// Maildir helpers on POSIX systems.

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/mail_files.h"

namespace ferrolt {
namespace {

IoStatus StatusOf(int error) {
  if (error == EEXIST) return {IoKind::kAlreadyExists, error};
  if (error == ENOENT) return {IoKind::kNotFound, error};
  return {IoKind::kOtherError, error};
}

// link() fails rather than replace; the one step where renameat2 is missing or refused.
IoStatus LinkThenUnlink(const std::string& from, const std::string& to) {
  if (link(from.c_str(), to.c_str()) != 0) return StatusOf(errno);
  if (unlink(from.c_str()) != 0) return StatusOf(errno);
  return {};
}

}  // namespace

const bool kColonAllowedInFileNames = true;

IoStatus RenameWithoutReplacing(const std::string& from, const std::string& to) {
#if defined(__linux__) && defined(RENAME_NOREPLACE)
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
  if (errno != EINVAL && errno != ENOSYS) return StatusOf(errno);
#endif
  return LinkThenUnlink(from, to);
}

IoStatus SetFileTime(File file, int64_t unix_seconds) {
  struct timespec times[2];
  times[0].tv_sec = static_cast<time_t>(unix_seconds);
  times[0].tv_nsec = 0;
  times[1] = times[0];
  if (futimens(static_cast<int>(file.native), times) != 0) return StatusOf(errno);
  return {};
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

}  // namespace ferrolt
