// Files and folders on Windows, through the ANSI Win32 API.

#include <windows.h>

#include <cstring>

#include "platform/files.h"

namespace ferrolt {
namespace {

IoStatus StatusFromError(DWORD error) {
  int code = static_cast<int>(error);
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return {IoKind::kNotFound, code};
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return {IoKind::kAlreadyExists, code};
    case ERROR_NO_MORE_FILES:
      return {IoKind::kEndOfListing, code};
    default:
      return {IoKind::kOtherError, code};
  }
}

IoStatus LastErrorStatus() { return StatusFromError(GetLastError()); }

HANDLE Handle(File file) { return reinterpret_cast<HANDLE>(file.native); }

IoStatus OpenWith(const std::string& path, DWORD access, DWORD disposition, File* file) {
  HANDLE handle =
      CreateFileA(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastErrorStatus();
  file->native = reinterpret_cast<intptr_t>(handle);
  return {};
}

bool IsDotEntry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

}  // namespace

const char kPathSeparator = '\\';

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

size_t LastComponentStart(const std::string& path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size();) {
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      i += 2;
      continue;
    }
    if (IsPathSeparator(path[i])) start = i + 1;
    ++i;
  }
  return start;
}

bool EndsInPathSeparator(const std::string& path) {
  return !path.empty() && LastComponentStart(path) == path.size();
}

IoStatus OpenFileForReading(const std::string& path, File* file) {
  IoStatus status = OpenWith(path, GENERIC_READ, OPEN_EXISTING, file);
  // A device (CON, NUL, COM1, a pipe) is no mailbox: refused like a folder.
  if (status.ok() && GetFileType(Handle(*file)) != FILE_TYPE_DISK) {
    CloseFile(file);
    return {IoKind::kOtherError, ERROR_ACCESS_DENIED};
  }
  return status;
}

IoStatus CreateNewFile(const std::string& path, File* file) {
  return OpenWith(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, file);
}

IoStatus ReadFromFile(File file, void* buffer, uint32_t count, uint32_t* moved) {
  DWORD got = 0;
  BOOL ok = ReadFile(Handle(file), buffer, count, &got, nullptr);
  *moved = got;
  return ok ? IoStatus{} : LastErrorStatus();
}

// A synchronous handle reads at the offset an OVERLAPPED names and returns when done; past
// the end it answers ERROR_HANDLE_EOF, which is no failure here.
IoStatus ReadFromFileAt(File file, uint64_t position, void* buffer, uint32_t count,
                        uint32_t* moved) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(position >> 32);
  DWORD got = 0;
  BOOL ok = ReadFile(Handle(file), buffer, count, &got, &at);
  *moved = got;
  if (!ok && GetLastError() == ERROR_HANDLE_EOF) return IoStatus{};
  return ok ? IoStatus{} : LastErrorStatus();
}

IoStatus WriteToFile(File file, const void* buffer, uint32_t count, uint32_t* moved) {
  DWORD put = 0;
  BOOL ok = WriteFile(Handle(file), buffer, count, &put, nullptr);
  *moved = put;
  return ok ? IoStatus{} : LastErrorStatus();
}

IoStatus SeekFile(File file, uint64_t position) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(position);
  if (!SetFilePointerEx(Handle(file), distance, nullptr, FILE_BEGIN)) return LastErrorStatus();
  return {};
}

IoStatus GetFileSize(File file, uint64_t* size) {
  LARGE_INTEGER value;
  if (!GetFileSizeEx(Handle(file), &value)) return LastErrorStatus();
  *size = static_cast<uint64_t>(value.QuadPart);
  return {};
}

void CloseFile(File* file) {
  if (!file->is_open()) return;
  CloseHandle(Handle(*file));
  file->native = -1;
}

IoStatus TruncateFile(File file, uint64_t size) {
  IoStatus status = SeekFile(file, size);
  if (status.ok() && !SetEndOfFile(Handle(file))) return LastErrorStatus();
  return status;
}

IoStatus RemoveFile(const std::string& path) {
  if (!DeleteFileA(path.c_str())) return LastErrorStatus();
  return {};
}

bool IsExistingFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Every name, not a pattern's: a pattern such as "*.mbx" also matches through short names alone
// ("a.mbxy" is A~1.MBX), so what a name means is decided on its full name by the caller.
IoStatus StartFolderListing(const std::string& folder, FolderListing* listing) {
  WIN32_FIND_DATAA data;
  std::string pattern = folder + "*";
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return {IoKind::kNotFound, LastErrorStatus().code};
  listing->native = reinterpret_cast<intptr_t>(find);
  listing->names.clear();
  listing->next = 0;
  if (!IsDotEntry(data.cFileName)) listing->names.push_back(data.cFileName);
  return {};
}

IoStatus NextInListing(FolderListing* listing, std::string* name) {
  if (listing->next < listing->names.size()) {
    *name = listing->names[listing->next++];
    return {};
  }
  WIN32_FIND_DATAA data;
  do {
    if (!FindNextFileA(reinterpret_cast<HANDLE>(listing->native), &data)) {
      return LastErrorStatus();
    }
  } while (IsDotEntry(data.cFileName));
  *name = data.cFileName;
  return {};
}

void CloseListing(FolderListing* listing) {
  if (listing->native == -1) return;
  FindClose(reinterpret_cast<HANDLE>(listing->native));
  listing->native = -1;
  listing->names.clear();
  listing->next = 0;
}

IoStatus CreateFolderFromTemplate(const std::string& template_folder, const std::string& path) {
  if (!CreateDirectoryExA(template_folder.c_str(), path.c_str(), nullptr)) {
    return LastErrorStatus();
  }
  return {};
}

bool FindSiblingIgnoringCase(const std::string&, std::string*) { return false; }

std::string PathAsText(const std::string& path) {
  if (path.empty()) return path;
  int length = static_cast<int>(path.size());
  int wide_length = MultiByteToWideChar(CP_ACP, 0, path.data(), length, nullptr, 0);
  if (wide_length <= 0) return path;
  std::wstring wide(static_cast<size_t>(wide_length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), length, wide.data(), wide_length);
  int bytes =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return path;
  std::string text(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, text.data(), bytes, nullptr, nullptr);
  return text;
}

std::string SystemErrorText(int code) {
  wchar_t* wide = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&wide), 0, nullptr);
  if (length == 0 || wide == nullptr) return {};
  while (length > 0 && (wide[length - 1] == L'\r' || wide[length - 1] == L'\n')) --length;
  std::string text;
  int bytes =
      WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (bytes > 0) {
    text.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), text.data(), bytes, nullptr,
                        nullptr);
  }
  LocalFree(wide);
  return text;
}

}  // namespace ferrolt
