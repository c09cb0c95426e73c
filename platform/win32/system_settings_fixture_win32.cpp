// Test settings on Windows: real keys in a scratch key that stands in for the current user's
// hive, and real windows.

#include <gtest/gtest.h>
#include <windows.h>
// After <windows.h>, which it needs.
#include <sddl.h>

#include <string>
#include <vector>

#include "platform/system_settings_fixture.h"

namespace ferrolt::testing {
namespace {

constexpr char kScratchParent[] = "Software\\FerroltTest";

std::string scratch_key;
HKEY scratch_root = nullptr;
std::vector<HWND> open_windows;
std::vector<std::string> registered_classes;

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

// Creates the key (below the redirected hive) and hands it to `use`, closing it afterwards.
template <typename Use>
void WithCreatedKey(const std::string& key, Use use) {
  HKEY handle;
  LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &handle, nullptr);
  if (result != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot create test key " << key << ": " << result;
    return;
  }
  use(handle);
  RegCloseKey(handle);
}

void SetValue(const std::string& key, const std::string& name, DWORD type, const void* data,
              size_t size) {
  WithCreatedKey(key, [&](HKEY handle) {
    LONG result = RegSetValueExA(handle, name.c_str(), 0, type, static_cast<const BYTE*>(data),
                                 static_cast<DWORD>(size));
    if (result != ERROR_SUCCESS) ADD_FAILURE() << "cannot set test value " << name;
  });
}

bool RegisterTestClass(const std::string& class_name) {
  for (const std::string& known : registered_classes) {
    if (known == class_name) return true;
  }
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = Instance();
  window_class.lpszClassName = class_name.c_str();
  if (RegisterClassA(&window_class) == 0) return false;
  registered_classes.push_back(class_name);
  return true;
}

}  // namespace

ScratchSystemSettings::ScratchSystemSettings() {
  static int counter = 0;
  scratch_key = std::string(kScratchParent) + "\\" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(counter++);
  LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, scratch_key.c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &scratch_root, nullptr);
  if (result != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot create the scratch key: " << result;
    scratch_root = nullptr;
    return;
  }
  result = RegOverridePredefKey(HKEY_CURRENT_USER, scratch_root);
  if (result != ERROR_SUCCESS) ADD_FAILURE() << "cannot redirect the user's hive: " << result;
}

ScratchSystemSettings::~ScratchSystemSettings() {
  for (HWND window : open_windows) DestroyWindow(window);
  open_windows.clear();
  for (const std::string& class_name : registered_classes) {
    UnregisterClassA(class_name.c_str(), Instance());
  }
  registered_classes.clear();
  if (scratch_root == nullptr) return;
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegCloseKey(scratch_root);
  scratch_root = nullptr;
  RegDeleteTreeA(HKEY_CURRENT_USER, scratch_key.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, scratch_key.c_str());
  // Fails while another process's tests still have theirs; the last one removes it.
  RegDeleteKeyA(HKEY_CURRENT_USER, kScratchParent);
}

void ScratchSystemSettings::AddKey(const std::string& key) {
  WithCreatedKey(key, [](HKEY) {});
}

void ScratchSystemSettings::AddString(const std::string& key, const std::string& name,
                                      const std::string& text) {
  SetValue(key, name, REG_SZ, text.c_str(), text.size() + 1);
}

void ScratchSystemSettings::AddDword(const std::string& key, const std::string& name,
                                     uint32_t number) {
  DWORD value = number;
  SetValue(key, name, REG_DWORD, &value, sizeof value);
}

void ScratchSystemSettings::AddBytes(const std::string& key, const std::string& name,
                                     const std::string& bytes) {
  SetValue(key, name, REG_BINARY, bytes.data(), bytes.size());
}

bool ScratchSystemSettings::MakeKeyReadOnly(const std::string& key) {
  // Everyone may read, and delete so that the scratch key can still be removed; nobody may write.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KRSD;;;WD)", SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return false;
  }
  HKEY handle;
  bool done = false;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, WRITE_DAC, &handle) == ERROR_SUCCESS) {
    done = RegSetKeySecurity(handle, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    RegCloseKey(handle);
  }
  LocalFree(descriptor);
  return done;
}

bool ScratchSystemSettings::OpenWindow(const std::string& class_name, const std::string& title) {
  if (!RegisterTestClass(class_name)) return false;
  HWND window = CreateWindowExA(0, class_name.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 64,
                                64, nullptr, nullptr, Instance(), nullptr);
  if (window == nullptr) return false;
  open_windows.push_back(window);
  return true;
}

}  // namespace ferrolt::testing
