#ifndef FERROLT_PLATFORM_SYSTEM_SETTINGS_H_
#define FERROLT_PLATFORM_SYSTEM_SETTINGS_H_

// What the program learns about the two mail clients from the system: their registry settings
// under the current user, and whether one of their main windows is open.
//
// Every key is opened for reading only and closed before the function returns: the program
// never writes another program's settings, and full access can be refused where reading is
// allowed. Key and value names are the registry's own, with backslashes between key names.

#include <cstdint>
#include <string>

namespace ferrolt {

// True when `key` exists and can be opened for reading.
bool RegistryKeyExists(const std::string& key);

// The bytes stored in the value up to its first NUL (all of them when there is none), whatever
// type the value was stored with; a value of any length is read whole. False when the key cannot
// be opened or the value cannot be read; an empty value is true with an empty *text.
bool ReadRegistryString(const std::string& key, const std::string& name, std::string* text);

// A value stored in exactly four bytes (a REG_DWORD, or any other type of that size), in the
// system's byte order. False when the key or the value is missing or the value's size is not 4.
bool ReadRegistryDword(const std::string& key, const std::string& name, uint32_t* number);

// True when a top-level window of the class `class_name` is open, hidden or not; when `title` is
// not null, only a window with that title counts.
bool TopLevelWindowExists(const std::string& class_name, const char* title);

}  // namespace ferrolt

#endif  // FERROLT_PLATFORM_SYSTEM_SETTINGS_H_
