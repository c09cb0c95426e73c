#ifndef FERROLT_PLATFORM_POSIX_SETTINGS_TABLE_H_
#define FERROLT_PLATFORM_POSIX_SETTINGS_TABLE_H_

// The portable build has no registry and no other programs' windows: system_settings.h answers
// from these in-memory tables, empty at start (the command-line program never asks). Only the
// test fixture (system_settings_fixture_posix.cpp) fills them. Names are stored ASCII-lowered,
// since the registry and the window manager ignore ASCII case.

#include <map>
#include <string>
#include <vector>

namespace ferrolt {

// Values by lowered name.
using RegistryValues = std::map<std::string, std::string>;
// Keys by lowered name; a key exists when it or a key below it is here.
std::map<std::string, RegistryValues>& RegistryTable();

struct WindowEntry {
  std::string class_name;  // lowered
  std::string title;       // lowered
};
std::vector<WindowEntry>& WindowTable();

}  // namespace ferrolt

#endif  // FERROLT_PLATFORM_POSIX_SETTINGS_TABLE_H_
