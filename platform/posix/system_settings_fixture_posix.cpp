// Test settings in the portable build: the in-memory table, emptied around each test.

#include "platform/system_settings.h"
#include "platform/system_settings_fixture.h"

namespace ferrolt::testing {

ScratchSystemSettings::ScratchSystemSettings() { ClearSystemSettings(); }
ScratchSystemSettings::~ScratchSystemSettings() { ClearSystemSettings(); }

void ScratchSystemSettings::AddKey(const std::string& key) { SetRegistryKey(key); }

void ScratchSystemSettings::AddString(const std::string& key, const std::string& name,
                                      const std::string& text) {
  SetRegistryString(key, name, text);
}

void ScratchSystemSettings::AddDword(const std::string& key, const std::string& name,
                                     uint32_t number) {
  SetRegistryDword(key, name, number);
}

void ScratchSystemSettings::AddBytes(const std::string& key, const std::string& name,
                                     const std::string& bytes) {
  SetRegistryValue(key, name, bytes);
}

bool ScratchSystemSettings::MakeKeyReadOnly(const std::string&) { return false; }

bool ScratchSystemSettings::OpenWindow(const std::string& class_name, const std::string& title) {
  SetTopLevelWindow(class_name, title);
  return true;
}

}  // namespace ferrolt::testing
