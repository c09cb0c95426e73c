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

}  // namespace

const bool kColonAllowedInFileNames = false;

IoStatus RenameWithoutReplacing(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING an existing `to` makes the move fail.
  if (!MoveFileExA(from.c_str(), to.c_str(), 0)) return LastErrorStatus();
  return {};
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
