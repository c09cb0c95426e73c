// The portable build's registry and window list: in-memory tables (settings_table.h) read with
// the registry's rules, so that the logic above meets here what it meets on Windows.

#include "base/ascii.h"
#include "platform/posix/settings_table.h"
#include "platform/system_settings.h"

namespace ferrolt {
namespace {

const std::string* FindValue(const std::string& key, const std::string& name) {
  auto found_key = RegistryTable().find(ascii::ToLower(key));
  if (found_key == RegistryTable().end()) return nullptr;
  auto found_value = found_key->second.find(ascii::ToLower(name));
  if (found_value == found_key->second.end()) return nullptr;
  return &found_value->second;
}

}  // namespace

std::map<std::string, RegistryValues>& RegistryTable() {
  static std::map<std::string, RegistryValues> keys;
  return keys;
}

std::vector<WindowEntry>& WindowTable() {
  static std::vector<WindowEntry> windows;
  return windows;
}

bool RegistryKeyExists(const std::string& key) {
  // A key exists when it was added or when a key below it was.
  std::string folded = ascii::ToLower(key);
  for (const auto& [candidate, values] : RegistryTable()) {
    if (candidate == folded) return true;
    if (candidate.size() > folded.size() && candidate.compare(0, folded.size(), folded) == 0 &&
        candidate[folded.size()] == '\\') {
      return true;
    }
  }
  return false;
}

bool ReadRegistryString(const std::string& key, const std::string& name, std::string* text) {
  const std::string* bytes = FindValue(key, name);
  if (bytes == nullptr) return false;
  *text = bytes->substr(0, bytes->find('\0'));
  return true;
}

bool ReadRegistryDword(const std::string& key, const std::string& name, uint32_t* number) {
  const std::string* bytes = FindValue(key, name);
  if (bytes == nullptr || bytes->size() != 4) return false;
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>((*bytes)[i]);
  *number = value;
  return true;
}

bool TopLevelWindowExists(const std::string& class_name, const char* title) {
  std::string folded_class = ascii::ToLower(class_name);
  for (const WindowEntry& window : WindowTable()) {
    if (window.class_name != folded_class) continue;
    if (title == nullptr || window.title == ascii::ToLower(title)) return true;
  }
  return false;
}

}  // namespace ferrolt
