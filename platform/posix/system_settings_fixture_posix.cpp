// Test settings in the portable build: the in-memory tables, emptied around each test.

#include <cstdint>

#include "base/ascii.h"
#include "platform/posix/settings_table.h"
#include "platform/system_settings_fixture.h"

namespace ferrolt::testing {
namespace {

void ClearTables() {
  RegistryTable().clear();
  WindowTable().clear();
}

}  // namespace

ScratchSystemSettings::ScratchSystemSettings() { ClearTables(); }
ScratchSystemSettings::~ScratchSystemSettings() { ClearTables(); }

void ScratchSystemSettings::AddKey(const std::string& key) { RegistryTable()[ascii::ToLower(key)]; }

void ScratchSystemSettings::AddString(const std::string& key, const std::string& name,
                                      const std::string& text) {
  AddBytes(key, name, text + '\0');
}

// Four bytes, least significant first, as on Windows.
void ScratchSystemSettings::AddDword(const std::string& key, const std::string& name,
                                     uint32_t number) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
  AddBytes(key, name, bytes);
}

void ScratchSystemSettings::AddBytes(const std::string& key, const std::string& name,
                                     const std::string& bytes) {
  RegistryTable()[ascii::ToLower(key)][ascii::ToLower(name)] = bytes;
}

bool ScratchSystemSettings::MakeKeyReadOnly(const std::string&) { return false; }

bool ScratchSystemSettings::OpenWindow(const std::string& class_name, const std::string& title) {
  WindowTable().push_back({ascii::ToLower(class_name), ascii::ToLower(title)});
  return true;
}

}  // namespace ferrolt::testing
