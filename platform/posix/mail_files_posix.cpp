// Maildir helpers on POSIX systems.

#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>

#include "platform/mail_files.h"

namespace ferrolt {
namespace {

IoStatus StatusOf(int error) {
  if (error == EEXIST) return {IoKind::kAlreadyExists, error};
  if (error == ENOENT) return {IoKind::kNotFound, error};
  return {IoKind::kOtherError, error};
}

int Descriptor(const Folder& folder) { return static_cast<int>(folder.native); }

// Only a folder, and never through a link as the last component: the name's own entry.
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// linkat() fails rather than replace; the one step where renameat2 is missing or refused.
IoStatus LinkThenUnlink(int from_fd, const char* from, int to_fd, const char* to) {
  if (linkat(from_fd, from, to_fd, to, 0) != 0) return StatusOf(errno);
  if (unlinkat(from_fd, from, 0) != 0) return StatusOf(errno);
  return {};
}

// Whether `text` is well-formed UTF-8: shortest forms, no surrogates, nothing past U+10FFFF.
bool IsUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    unsigned char lead = static_cast<unsigned char>(text[at]);
    size_t length = lead < 0x80   ? 1
                    : lead < 0xc2 ? 0
                    : lead < 0xe0 ? 2
                    : lead < 0xf0 ? 3
                    : lead < 0xf5 ? 4
                                  : 0;
    if (length == 0 || at + length > text.size()) return false;
    uint32_t code = length == 1 ? lead : lead & (0x7f >> length);
    for (size_t i = 1; i < length; ++i) {
      unsigned char next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xc0) != 0x80) return false;
      code = code << 6 | (next & 0x3f);
    }
    static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
      return false;
    }
    at += length;
  }
  return true;
}

// `text` converted from code page 932 by the C library, all or nothing.
bool Cp932NameToUtf8(const std::string& text, std::string* utf8) {
  iconv_t converter = iconv_open("UTF-8", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in(text), out(text.size() * 3 + 4, '\0');  // a CP932 byte gives 3 bytes at most
  char *in_at = in.data(), *out_at = out.data();
  size_t in_left = in.size(), out_left = out.size();
  bool done = iconv(converter, &in_at, &in_left, &out_at, &out_left) != static_cast<size_t>(-1) &&
              in_left == 0;
  iconv_close(converter);
  if (done) *utf8 = out.substr(0, out.size() - out_left);
  return done;
}

std::string EscapedName(const std::string& name) {
  std::string escaped;
  for (unsigned char c : name) {
    if (c < ' ' || c >= 0x7f || c == '%') {
      static const char kHex[] = "0123456789ABCDEF";
      escaped += {'%', kHex[c >> 4], kHex[c & 15]};
    } else {
      escaped += static_cast<char>(c);
    }
  }
  return escaped;
}

}  // namespace

const bool kColonAllowedInFileNames = true;

IoStatus OpenFolder(const std::string& path, Folder* folder) {
  // A trailing '/' would make the last component's link be followed after all.
  size_t end = path.find_last_not_of('/');
  std::string name = path.empty()               ? std::string(".")
                     : end == std::string::npos ? std::string("/")
                                                : path.substr(0, end + 1);
  int fd = open(name.c_str(), kFolderFlags);
  if (fd < 0) return StatusOf(errno);
  folder->native = fd;
  folder->path = path.empty() ? path : name == "/" ? name : name + '/';
  return {};
}

IoStatus CreateSubfolder(const Folder& parent, const std::string& name, Folder* created) {
  if (mkdirat(Descriptor(parent), name.c_str(), 0700) != 0) return StatusOf(errno);
  int fd = openat(Descriptor(parent), name.c_str(), kFolderFlags);
  if (fd < 0) return StatusOf(errno);
  created->native = fd;
  created->path = parent.path + name + '/';
  return {};
}

void CloseFolder(Folder* folder) {
  if (folder->is_open()) close(Descriptor(*folder));
  folder->native = -1;
}

IoStatus CreateNewFileIn(const Folder& folder, const std::string& name, File* file) {
  int fd = openat(Descriptor(folder), name.c_str(),
                  O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return StatusOf(errno);
  file->native = fd;
  return {};
}

IoStatus MoveWithoutReplacing(const Folder& from_folder, const std::string& from,
                              const Folder& to_folder, const std::string& to) {
  int from_fd = Descriptor(from_folder), to_fd = Descriptor(to_folder);
#if defined(__linux__) && defined(RENAME_NOREPLACE)
  if (renameat2(from_fd, from.c_str(), to_fd, to.c_str(), RENAME_NOREPLACE) == 0) return {};
  if (errno != EINVAL && errno != ENOSYS) return StatusOf(errno);
#endif
  return LinkThenUnlink(from_fd, from.c_str(), to_fd, to.c_str());
}

IoStatus RemoveFileIn(const Folder& folder, const std::string& name) {
  if (unlinkat(Descriptor(folder), name.c_str(), 0) != 0) return StatusOf(errno);
  return {};
}

IoStatus SetFileTime(File file, int64_t unix_seconds) {
  struct timespec times[2];
  times[0].tv_sec = static_cast<time_t>(unix_seconds);
  times[0].tv_nsec = 0;
  times[1] = times[0];
  if (futimens(static_cast<int>(file.native), times) != 0) return StatusOf(errno);
  return {};
}

IoStatus FileModifiedTime(File file, int64_t* unix_seconds) {
  struct stat status;
  if (fstat(static_cast<int>(file.native), &status) != 0) return StatusOf(errno);
  *unix_seconds = static_cast<int64_t>(status.st_mtime);
  return {};
}

std::string MailboxOutputName(const std::string& name) {
  std::string utf8;
  if (IsUtf8(name)) return name;
  if (Cp932NameToUtf8(name, &utf8)) return utf8;
  return EscapedName(name);
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

}  // namespace ferrolt
