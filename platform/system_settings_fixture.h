#ifndef FERROLT_PLATFORM_SYSTEM_SETTINGS_FIXTURE_H_
#define FERROLT_PLATFORM_SYSTEM_SETTINGS_FIXTURE_H_

// For tests only: registry settings and open windows, made for one test and gone after it.
//
// On Windows these are real: the current user's hive is redirected for this process to a fresh
// key under "Software\FerroltTest" (deleted with everything below it at the end), so a test
// writes the very key names the program reads without touching the user's own settings; windows
// are real hidden top-level windows of this process. Elsewhere they fill the in-memory table,
// which is emptied at both ends.

#include <cstdint>
#include <string>

namespace ferrolt::testing {

class ScratchSystemSettings {
 public:
  ScratchSystemSettings();
  ~ScratchSystemSettings();
  ScratchSystemSettings(const ScratchSystemSettings&) = delete;
  ScratchSystemSettings& operator=(const ScratchSystemSettings&) = delete;

  void AddKey(const std::string& key);
  // A string value (REG_SZ) holding `text` and its terminating NUL.
  void AddString(const std::string& key, const std::string& name, const std::string& text);
  // A 32-bit value (REG_DWORD).
  void AddDword(const std::string& key, const std::string& name, uint32_t number);
  // Raw bytes (REG_BINARY), for values of any size.
  void AddBytes(const std::string& key, const std::string& name, const std::string& bytes);
  // Turns `key` (which must exist) into one that may be read but not written. False where the
  // system has no access rights to set (the in-memory table).
  bool MakeKeyReadOnly(const std::string& key);
  // A top-level window of the class with the title. False when this system cannot make one.
  bool OpenWindow(const std::string& class_name, const std::string& title);
};

}  // namespace ferrolt::testing

#endif  // FERROLT_PLATFORM_SYSTEM_SETTINGS_FIXTURE_H_
