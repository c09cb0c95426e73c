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

TEST(SystemSettingsTest, StringIsTheStoredBytesUpToTheFirstNul) {
  ScratchSystemSettings settings;
  std::string text = "untouched";
  EXPECT_FALSE(ReadRegistryString(kProbeKey, "Store Root", &text));
  settings.AddKey(kProbeKey);
  EXPECT_FALSE(ReadRegistryString(kProbeKey, "Store Root", &text));
  EXPECT_EQ(text, "untouched");

  settings.AddString(kProbeKey, "Store Root", "C:\\Store");
  ASSERT_TRUE(ReadRegistryString(kProbeKey, "store root", &text));
  EXPECT_EQ(text, "C:\\Store");

  settings.AddString(kProbeKey, "Empty", "");
  ASSERT_TRUE(ReadRegistryString(kProbeKey, "Empty", &text));
  EXPECT_EQ(text, "");

  // The type is not looked at: raw bytes stop at a NUL or run to the end.
  settings.AddBytes(kProbeKey, "Cut", std::string("abc\0def", 7));
  ASSERT_TRUE(ReadRegistryString(kProbeKey, "Cut", &text));
  EXPECT_EQ(text, "abc");
  settings.AddBytes(kProbeKey, "Unterminated", "xyz");
  ASSERT_TRUE(ReadRegistryString(kProbeKey, "Unterminated", &text));
  EXPECT_EQ(text, "xyz");
  settings.AddDword(kProbeKey, "Number", 0x41);
  ASSERT_TRUE(ReadRegistryString(kProbeKey, "Number", &text));
  EXPECT_EQ(text, "A");
}

TEST(SystemSettingsTest, LongStringsAreReadWhole) {
  ScratchSystemSettings settings;
  std::string long_path = "C:\\";
  for (int i = 0; long_path.size() < 5000; ++i) long_path += "folder" + std::to_string(i) + "\\";
  settings.AddString(kProbeKey, "HomeDir", long_path);
  std::string text;
  ASSERT_TRUE(ReadRegistryString(kProbeKey, "HomeDir", &text));
  EXPECT_EQ(text, long_path);
}

TEST(SystemSettingsTest, DwordNeedsExactlyFourBytes) {
  ScratchSystemSettings settings;
  uint32_t number = 7;
  EXPECT_FALSE(ReadRegistryDword(kProbeKey, "DefUser", &number));
  settings.AddDword(kProbeKey, "DefUser", 0x12345678);
  ASSERT_TRUE(ReadRegistryDword(kProbeKey, "defuser", &number));
  EXPECT_EQ(number, 0x12345678u);
  EXPECT_FALSE(ReadRegistryDword(kProbeKey, "Missing", &number));

  settings.AddBytes(kProbeKey, "FourBytes", std::string("\x05\x00\x00\x00", 4));
  ASSERT_TRUE(ReadRegistryDword(kProbeKey, "FourBytes", &number));
  EXPECT_EQ(number, 5u);

  number = 7;
  settings.AddBytes(kProbeKey, "Short", std::string("\x05\x00", 2));
  EXPECT_FALSE(ReadRegistryDword(kProbeKey, "Short", &number));
  settings.AddBytes(kProbeKey, "Long", std::string(8, '\x01'));
  EXPECT_FALSE(ReadRegistryDword(kProbeKey, "Long", &number));
  settings.AddBytes(kProbeKey, "None", "");
  EXPECT_FALSE(ReadRegistryDword(kProbeKey, "None", &number));
  EXPECT_EQ(number, 7u);
}

TEST(SystemSettingsTest, KeysThatMayOnlyBeReadAreRead) {
  ScratchSystemSettings settings;
  settings.AddString(kProbeKey, "HomeDir", "C:\\Mail\\");
  settings.AddDword(kProbeKey, "DefUser", 2);
  if (!settings.MakeKeyReadOnly(kProbeKey)) {
    GTEST_SKIP() << "this system has no access rights on its settings";
  }
  EXPECT_TRUE(RegistryKeyExists(kProbeKey));
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
