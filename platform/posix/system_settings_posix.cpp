// The portable build's registry and window list: an in-memory table with the registry's rules,
// so that the logic above meets here what it meets on Windows.

#include <map>
#include <vector>

#include "kanji/ascii.h"
#include "platform/system_settings.h"

namespace ferrolt {
namespace {

std::string FoldCase(const std::string& name) { return ascii::ToLower(name); }

// Keys by folded name; each holds its values by folded name.
using ValueTable = std::map<std::string, std::string>;
std::map<std::string, ValueTable>& Keys() {
  static std::map<std::string, ValueTable> keys;
  return keys;
}

struct WindowEntry {
  std::string class_name;  // folded
  std::string title;       // folded
};
std::vector<WindowEntry>& Windows() {
  static std::vector<WindowEntry> windows;
  return windows;
}

const std::string* FindValue(const std::string& key, const std::string& name) {
  auto found_key = Keys().find(FoldCase(key));
  if (found_key == Keys().end()) return nullptr;
  auto found_value = found_key->second.find(FoldCase(name));
  if (found_value == found_key->second.end()) return nullptr;
  return &found_value->second;
}

}  // namespace

bool RegistryKeyExists(const std::string& key) {
  // A key exists when it was added or when a key below it was.
  std::string folded = FoldCase(key);
  for (const auto& [candidate, values] : Keys()) {
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
  std::string folded_class = FoldCase(class_name);
  for (const WindowEntry& window : Windows()) {
    if (window.class_name != folded_class) continue;
    if (title == nullptr || window.title == FoldCase(title)) return true;
  }
  return false;
}

void SetRegistryKey(const std::string& key) { Keys()[FoldCase(key)]; }

void SetRegistryValue(const std::string& key, const std::string& name, const std::string& bytes) {
  Keys()[FoldCase(key)][FoldCase(name)] = bytes;
}

void SetRegistryString(const std::string& key, const std::string& name, const std::string& text) {
  SetRegistryValue(key, name, text + '\0');
}

void SetRegistryDword(const std::string& key, const std::string& name, uint32_t number) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
  SetRegistryValue(key, name, bytes);
}

void SetTopLevelWindow(const std::string& class_name, const std::string& title) {
  Windows().push_back({FoldCase(class_name), FoldCase(title)});
}

void ClearSystemSettings() {
  Keys().clear();
  Windows().clear();
}

}  // namespace ferrolt
