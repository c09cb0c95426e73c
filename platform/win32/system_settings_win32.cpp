// The registry and the window list on Windows, through the ANSI Win32 API.

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/system_settings.h"

namespace ferrolt {
namespace {

// Reading is all the program does; asking for more could be refused where reading is allowed.
bool OpenKeyForReading(const std::string& key, HKEY* handle) {
  return RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, handle) == ERROR_SUCCESS;
}

// The whole value, however long: its size is asked first, and asked again should the value grow
// between the two calls.
bool QueryValueBytes(HKEY handle, const std::string& name, std::vector<BYTE>* bytes) {
  DWORD size = 0;
  LONG result = RegQueryValueExA(handle, name.c_str(), nullptr, nullptr, nullptr, &size);
  while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
    bytes->resize(size + 1);
    DWORD got = size;
    result = RegQueryValueExA(handle, name.c_str(), nullptr, nullptr, bytes->data(), &got);
    if (result == ERROR_SUCCESS) {
      bytes->resize(got);
      return true;
    }
    size = got > size ? got : size * 2 + 16;
  }
  return false;
}

}  // namespace

bool RegistryKeyExists(const std::string& key) {
  HKEY handle;
  if (!OpenKeyForReading(key, &handle)) return false;
  RegCloseKey(handle);
  return true;
}

bool ReadRegistryString(const std::string& key, const std::string& name, std::string* text) {
  HKEY handle;
  if (!OpenKeyForReading(key, &handle)) return false;
  std::vector<BYTE> bytes;
  bool read = QueryValueBytes(handle, name, &bytes);
  RegCloseKey(handle);
  if (!read) return false;
  text->assign(bytes.begin(), std::find(bytes.begin(), bytes.end(), BYTE{0}));
  return true;
}

bool ReadRegistryDword(const std::string& key, const std::string& name, uint32_t* number) {
  HKEY handle;
  if (!OpenKeyForReading(key, &handle)) return false;
  DWORD value = 0;
  DWORD size = sizeof value;
  LONG result = RegQueryValueExA(handle, name.c_str(), nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(handle);
  if (result != ERROR_SUCCESS || size != sizeof value) return false;
  *number = value;
  return true;
}

// user32 is loaded only when this is asked: Windows stops telling a console program that has it
// loaded of a log-off or shutdown through its console handler, and ferrolt-cli never asks.
bool TopLevelWindowExists(const std::string& class_name, const char* title) {
  using FindWindowFunction = HWND(WINAPI*)(LPCSTR, LPCSTR);
  HMODULE user32 = LoadLibraryA("user32.dll");
  if (user32 == nullptr) return false;
  // Through the one function type that matches every other.
  auto find_window = reinterpret_cast<FindWindowFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(user32, "FindWindowA")));
  const bool exists = find_window != nullptr && find_window(class_name.c_str(), title) != nullptr;
  FreeLibrary(user32);
  return exists;
}

}  // namespace ferrolt
