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

// A value of kProbeKey read as a string, then as a number; "no:" and the output as it was left
// when a read fails.
std::string Read(const char* name) {
  std::string text = "untouched";
  uint32_t number = 7;
  bool read_text = ReadRegistryString(kProbeKey, name, &text);
  bool read_number = ReadRegistryDword(kProbeKey, name, &number);
  return (read_text ? text : "no:" + text) + " " + (read_number ? "" : "no:") +
         std::to_string(number);
}

// A name that merely begins like an existing key is another key. The type of a value is not
// looked at: a string is the stored bytes up to the first NUL or the end; a number needs
// exactly four bytes. Names ignore case.
TEST(SystemSettingsTest, KeysExistWithTheKeysAboveThemAndValuesAreReadByTheirBytes) {
  ScratchSystemSettings settings;
  EXPECT_FALSE(RegistryKeyExists(kProbeKey));
  EXPECT_EQ(Read("Missing"), "no:untouched no:7");
  settings.AddKey(kProbeKey);
  EXPECT_TRUE(RegistryKeyExists(kProbeKey));
  EXPECT_TRUE(RegistryKeyExists("Software\\FerroltProbe\\Deep"));
  EXPECT_TRUE(RegistryKeyExists("software\\FERROLTPROBE\\deep\\key"));
  EXPECT_FALSE(RegistryKeyExists("Software\\FerroltProbe\\Dee"));
  EXPECT_FALSE(RegistryKeyExists("Software\\FerroltProbe\\Deep\\Key\\Below"));
  std::string long_path = "C:\\";
  for (int i = 0; long_path.size() < 5000; ++i) long_path += "folder" + std::to_string(i) + "\\";
  settings.AddString(kProbeKey, "Long", long_path);
  settings.AddString(kProbeKey, "Empty", "");
  settings.AddDword(kProbeKey, "Number", 0x41);
  settings.AddBytes(kProbeKey, "Cut", std::string("abc\0def", 7));
  settings.AddBytes(kProbeKey, "Unterminated", "xyz");
  settings.AddBytes(kProbeKey, "FourBytes", std::string("\x05\x00\x00\x00", 4));
  settings.AddBytes(kProbeKey, "Short", std::string("\x05\x00", 2));
  settings.AddBytes(kProbeKey, "Eight", std::string(8, 'x'));
  settings.AddBytes(kProbeKey, "None", "");
  const std::pair<const char*, std::string> kValues[] = {
      {"Missing", "no:untouched no:7"},
      {"long", long_path + " no:7"},
      {"Empty", " no:7"},
      {"Cut", "abc no:7"},
      {"Unterminated", "xyz no:7"},
      {"number", "A 65"},
      {"FourBytes", "\x05 5"},
      {"Short", "\x05 no:7"},
      {"Eight", "xxxxxxxx no:7"},
      {"None", " no:7"},
  };
  for (const auto& [name, expected] : kValues) EXPECT_EQ(Read(name), expected) << name;
}

TEST(SystemSettingsTest, KeysThatMayOnlyBeReadAreRead) {
  ScratchSystemSettings settings;
  settings.AddString(kProbeKey, "HomeDir", "C:\\Mail\\");
  settings.AddDword(kProbeKey, "DefUser", 2);
  if (!settings.MakeKeyReadOnly(kProbeKey)) {
    GTEST_SKIP() << "this system has no access rights on its settings";
  }
  EXPECT_EQ(Read("HomeDir"), "C:\\Mail\\ no:7");
  EXPECT_EQ(Read("DefUser"), "\x02 2");
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
