// Maildir helpers on Windows.

#include <windows.h>

#include "platform/mail_files.h"

namespace ferrolt {
namespace {

IoStatus LastErrorStatus() {
  DWORD error = GetLastError();
  int code = static_cast<int>(error);
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
    return {IoKind::kAlreadyExists, code};
  }
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    return {IoKind::kNotFound, code};
  }
  return {IoKind::kOtherError, code};
}

HANDLE Handle(const Folder& folder) { return reinterpret_cast<HANDLE>(folder.native); }

// Whether the open handle is a folder of its own, not a reparse point (a link or junction).
bool IsPlainFolder(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handle, &information)) return false;
  DWORD attributes = information.dwFileAttributes;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

}  // namespace

const bool kColonAllowedInFileNames = false;

IoStatus OpenFolder(const std::string& path, Folder* folder) {
  std::string name = path.empty() ? std::string(".") : path;
  // Reading access with no delete sharing: nobody renames or deletes the folder while it is
  // held. The reparse point itself is opened, not what it leads to.
  HANDLE handle = CreateFileA(name.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastErrorStatus();
  if (!IsPlainFolder(handle)) {
    CloseHandle(handle);
    return {IoKind::kOtherError, ERROR_CANT_ACCESS_FILE};
  }
  folder->native = reinterpret_cast<intptr_t>(handle);
  folder->path = path.empty() || EndsInPathSeparator(path) ? path : path + kPathSeparator;
  return {};
}

IoStatus CreateSubfolder(const Folder& parent, const std::string& name, Folder* created) {
  std::string template_folder = parent.path.empty() ? std::string(".") : parent.path;
  IoStatus status = CreateFolderFromTemplate(template_folder, parent.path + name);
  return status.ok() ? OpenFolder(parent.path + name, created) : status;
}

void CloseFolder(Folder* folder) {
  if (folder->is_open()) CloseHandle(Handle(*folder));
  folder->native = -1;
}

IoStatus CreateNewFileIn(const Folder& folder, const std::string& name, File* file) {
  return CreateNewFile(folder.path + name, file);
}

IoStatus MoveWithoutReplacing(const Folder& from_folder, const std::string& from,
                              const Folder& to_folder, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING an existing `to` makes the move fail.
  std::string source = from_folder.path + from, target = to_folder.path + to;
  if (!MoveFileExA(source.c_str(), target.c_str(), 0)) return LastErrorStatus();
  return {};
}

IoStatus RemoveFileIn(const Folder& folder, const std::string& name) {
  return RemoveFile(folder.path + name);
}

IoStatus SetFileTime(File file, int64_t unix_seconds) {
  // FILETIME counts 100-nanosecond steps from 1601-01-01.
  uint64_t ticks = static_cast<uint64_t>(unix_seconds + 11644473600LL) * 10000000ULL;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  if (!::SetFileTime(reinterpret_cast<HANDLE>(file.native), nullptr, &time, &time)) {
    return LastErrorStatus();
  }
  return {};
}

IoStatus FileModifiedTime(File file, int64_t* unix_seconds) {
  FILETIME time;
  if (!::GetFileTime(reinterpret_cast<HANDLE>(file.native), nullptr, nullptr, &time)) {
    return LastErrorStatus();
  }
  uint64_t ticks = (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
  *unix_seconds = static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL;
  return {};
}

std::string MailboxOutputName(const std::string& name) { return name; }

std::string HostName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size) || size == 0) return "localhost";
  return std::string(name, size);
}

}  // namespace ferrolt
