// The registry and window lookups' contract, run against the in-memory table natively and against
// the real registry and window list in the Windows build under Wine.

#include "platform/system_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/system_settings_fixture.h"

namespace ferrolt {
namespace {

using testing::ScratchSystemSettings;

constexpr char kProbeKey[] = "Software\\FerroltProbe\\Deep\\Key";

TEST(SystemSettingsTest, KeyExistsForItselfAndTheKeysAboveIt) {
  ScratchSystemSettings settings;
  EXPECT_FALSE(RegistryKeyExists(kProbeKey));
  settings.AddKey(kProbeKey);
  EXPECT_TRUE(RegistryKeyExists(kProbeKey));
  EXPECT_TRUE(RegistryKeyExists("Software\\FerroltProbe\\Deep"));
  EXPECT_TRUE(RegistryKeyExists("software\\FERROLTPROBE\\deep\\key"));
  // A name that merely begins like an existing key is another key.
  EXPECT_FALSE(RegistryKeyExists("Software\\FerroltProbe\\Dee"));
  EXPECT_FALSE(RegistryKeyExists("Software\\FerroltProbe\\Deep\\Key\\Below"));
}

// The type is not looked at: a string is the stored bytes up to the first NUL or the end; a
// number needs exactly four bytes. Names ignore case; a value not read leaves the output alone.
TEST(SystemSettingsTest, ValuesAreReadByTheirBytes) {
  ScratchSystemSettings settings;
  std::string text = "untouched";
  uint32_t number = 7;
  EXPECT_FALSE(ReadRegistryString(kProbeKey, "Missing", &text));
  EXPECT_FALSE(ReadRegistryDword(kProbeKey, "Missing", &number));
  std::string long_path = "C:\\";
  for (int i = 0; long_path.size() < 5000; ++i) long_path += "folder" + std::to_string(i) + "\\";
  settings.AddString(kProbeKey, "Long", long_path);
  settings.AddString(kProbeKey, "Empty", "");
  settings.AddBytes(kProbeKey, "Cut", std::string("abc\0def", 7));
  settings.AddBytes(kProbeKey, "Unterminated", "xyz");
  settings.AddDword(kProbeKey, "Number", 0x41);
  settings.AddBytes(kProbeKey, "FourBytes", std::string("\x05\x00\x00\x00", 4));
  settings.AddBytes(kProbeKey, "Short", std::string("\x05\x00", 2));
  settings.AddBytes(kProbeKey, "Eight", std::string(8, '\x01'));
  settings.AddBytes(kProbeKey, "None", "");
  EXPECT_FALSE(ReadRegistryString(kProbeKey, "Missing", &text));
  EXPECT_EQ(text, "untouched");
  const std::pair<const char*, std::string> kStrings[] = {
      {"long", long_path}, {"Empty", ""}, {"Cut", "abc"}, {"Unterminated", "xyz"}, {"Number", "A"}};
  for (const auto& [name, expected] : kStrings) {
    ASSERT_TRUE(ReadRegistryString(kProbeKey, name, &text)) << name;
    EXPECT_EQ(text, expected) << name;
  }
  ASSERT_TRUE(ReadRegistryDword(kProbeKey, "number", &number));
  EXPECT_EQ(number, 0x41u);
  ASSERT_TRUE(ReadRegistryDword(kProbeKey, "FourBytes", &number));
  EXPECT_EQ(number, 5u);
  for (const char* name : {"Short", "Eight", "None", "Missing"}) {
    EXPECT_FALSE(ReadRegistryDword(kProbeKey, name, &number)) << name;
  }
  EXPECT_EQ(number, 5u);
}

TEST(SystemSettingsTest, KeysThatMayOnlyBeReadAreRead) {
  ScratchSystemSettings settings;
  settings.AddString(kProbeKey, "HomeDir", "C:\\Mail\\");
  settings.AddDword(kProbeKey, "DefUser", 2);
  if (!settings.MakeKeyReadOnly(kProbeKey)) {
    GTEST_SKIP() << "this system has no access rights on its settings";
  }
  std::string text;
  ASSERT_TRUE(ReadRegistryString(kProbeKey, "HomeDir", &text));
  EXPECT_EQ(text, "C:\\Mail\\");
  uint32_t number = 0;
  ASSERT_TRUE(ReadRegistryDword(kProbeKey, "DefUser", &number));
  EXPECT_EQ(number, 2u);
}

TEST(SystemSettingsTest, WindowIsFoundByClassAndOptionalTitle) {
  ScratchSystemSettings settings;
  EXPECT_FALSE(TopLevelWindowExists("FerroltProbeFrame", nullptr));
  if (!settings.OpenWindow("FerroltProbeFrame", "Probe Title")) {
    GTEST_SKIP() << "this system cannot create a window (no display?)";
  }
  EXPECT_TRUE(TopLevelWindowExists("FerroltProbeFrame", nullptr));
  EXPECT_TRUE(TopLevelWindowExists("ferroltprobeframe", "Probe Title"));
  EXPECT_FALSE(TopLevelWindowExists("FerroltProbeFrame", "Other Title"));
  EXPECT_FALSE(TopLevelWindowExists("FerroltProbeOther", nullptr));
}

}  // namespace
}  // namespace ferrolt
