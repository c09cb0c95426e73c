#include "stores/target_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "notices/catalogue.h"
#include "platform/files.h"
#include "platform/system_settings_fixture.h"
#include "stores/stores_test_support.h"

namespace ferrolt::testing {
namespace {

constexpr char kSettingsKey[] = "Software\\Dovrix\\Orvelle\\Settings";
constexpr char kTargetFolderName[] = "From MS-IM";
constexpr int64_t kAbsent = -1, kOddSize = -2;  // a number not stored, or not in four bytes

std::string UserKey(int user) {
  return "Software\\Dovrix\\Orvelle\\Users\\" + std::to_string(user);
}

void AddNumber(ScratchSystemSettings* settings, const std::string& key, const char* name,
               int64_t value) {
  if (value == kOddSize) settings->AddBytes(key, name, std::string(8, '\1'));
  if (value >= 0) settings->AddDword(key, name, static_cast<uint32_t>(value));
}

struct Expected {
  int text = 0, caption = 0;  // no notice at all
};
constexpr Expected kPasses{}, kNotInstalled{kTargetClientNotInstalled, kCaptionRegistryError},
    kStoreUnknown{kTargetStoreUnknown, kCaptionRegistryError},
    kUserInvalid{kTargetUserInvalid, kCaptionSettingsError},
    kRunning{kTargetClientRunning, kCaptionProgramError};

// Each check stops at the first problem with its own notice; only the default user counts, and a
// running client only once the client is known to be installed. The folder is "HomeDir" (a plain
// prefix) + "User<n>" + "From MS-IM", n the default user's mail directory number or, without a
// four-byte one, the user number; both are signed 32-bit numbers. Window rows come last: they
// skip where no window can be made.
TEST(TargetClientTest, ChecksAndFolderOfTheDefaultUser) {
  const std::string kLong(400, 'h');
  const struct {
    bool installed;
    const char *home_dir, *pop, *address;  // of user `user`; nullptr: not there
    int user;
    int64_t default_user, mail_dir;  // mail_dir: the user's "MailDirNo"
    bool running;
    Expected check, validate;  // of CheckTargetClient and of ValidateTargetUser
    const char* folder;        // the user's folder in the home
  } kCases[] = {
      {false, nullptr, nullptr, nullptr, 0, kAbsent, kAbsent, false, kNotInstalled, kNotInstalled,
       "User0"},
      {true, nullptr, nullptr, nullptr, 0, kAbsent, 5, false, kStoreUnknown, kUserInvalid, "User5"},
      {true, "", "p", "a", 0, kAbsent, kAbsent, false, kStoreUnknown, kPasses, "User0"},
      {true, "h", nullptr, nullptr, 0, kAbsent, kAbsent, false, kUserInvalid, kUserInvalid,
       "User0"},
      {true, kLong.c_str(), "p", "a", 0, kAbsent, kAbsent, false, kPasses, kPasses, "User0"},
      {true, "h", "p", "a", 0, kOddSize, kAbsent, false, kPasses, kPasses, "User0"},
      {true, "h", "p", "a", 3, 3, 5, false, kPasses, kPasses, "User5"},
      {true, "h", "p", "a", 3, 3, kOddSize, false, kPasses, kPasses, "User3"},
      {true, "h", "p", "a", 3, 3, 0xFFFFFFFF, false, kPasses, kPasses, "User-1"},
      {true, "h", "p", "a", 0, 4, 5, false, kUserInvalid, kUserInvalid, "User4"},
      {true, "h", "", "a", 3, 3, kAbsent, false, kUserInvalid, kUserInvalid, "User3"},
      {true, "h", "p", "", 3, 3, kAbsent, false, kUserInvalid, kUserInvalid, "User3"},
      {false, nullptr, nullptr, nullptr, 0, kAbsent, kAbsent, true, kNotInstalled, kNotInstalled,
       "User0"},
      {true, "h", "p", "a", 0, kAbsent, kAbsent, true, kRunning, kPasses, "User0"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    ScratchSystemSettings settings;
    if (c.running && !settings.OpenWindow("CorvaneMainFrameClass", "")) {
      GTEST_SKIP() << "this system cannot create a window (no display?)";
    }
    if (c.installed) settings.AddKey(kSettingsKey);
    if (c.home_dir) settings.AddString(kSettingsKey, "HomeDir", c.home_dir);
    if (c.pop) settings.AddString(UserKey(c.user), "POP", c.pop);
    if (c.address) settings.AddString(UserKey(c.user), "Address", c.address);
    AddNumber(&settings, kSettingsKey, "DefUser", c.default_user);
    AddNumber(&settings, UserKey(c.user), "MailDirNo", c.mail_dir);
    NoticeRecorder recorder;
    std::string home_dir;
    EXPECT_EQ(CheckTargetClient(&home_dir), c.check.text == 0);
    ExpectOnlyNotice(recorder, c.check.text, c.check.caption);
    if (c.check.text == 0) {
      EXPECT_EQ(home_dir, c.home_dir);
    }
    recorder.notices.clear();
    EXPECT_EQ(ValidateTargetUser(), c.validate.text == 0);
    ExpectOnlyNotice(recorder, c.validate.text, c.validate.caption);
    EXPECT_EQ(TargetClientInstalled(), c.installed);
    EXPECT_EQ(AppendTargetFolder("h"), "h" + JoinPath({c.folder, kTargetFolderName}, true));
  }
}

// A folder that cannot be made is told with the system's error; a new one gets an empty marker
// mailbox beside it, an existing one is used as it is, and a marker that cannot be made is no
// failure. "HomeDir" without its separator names a folder beside the home that does not exist; a
// name longer than any file system takes is refused there.
TEST(TargetClientTest, TargetFolderIsMadeOnceWithAMarker) {
  ScratchSystemSettings settings;
  TempFolder home;
  const std::string kInHome = JoinPath({"User0", kTargetFolderName}, true);
  const std::string kMarker = home.Join("User0") + kPathSeparator + kTargetFolderName + ".mbx";
  std::string target_dir;
  for (std::string bad : {home.path(), home.Join(std::string(300, 'h')) + kPathSeparator}) {
    NoticeRecorder recorder;
    EXPECT_FALSE(PrepareTargetFolder(bad, &target_dir));
    EXPECT_EQ(target_dir, bad + kInHome);
    ASSERT_EQ(recorder.notices.size(), 1u);
    int code = std::stoi(recorder.notices[0].text.substr(recorder.notices[0].text.find('<') + 1));
    EXPECT_NE(code, 0);
    ExpectOnlyNotice(recorder, kCreateFolderFailed, kCaptionProgramError,
                     {std::to_string(code), SystemErrorText(code)});
  }
  EXPECT_TRUE(std::filesystem::is_empty(home.path()));

  NoticeRecorder recorder;
  auto prepare = [&] {
    ASSERT_TRUE(PrepareTargetFolder(home.path() + kPathSeparator, &target_dir));
    EXPECT_EQ(target_dir, home.path() + kPathSeparator + kInHome);
    EXPECT_TRUE(std::filesystem::is_directory(target_dir));
  };
  std::filesystem::create_directory(home.Join("User0"));
  prepare();
  ASSERT_TRUE(std::filesystem::is_regular_file(kMarker));
  EXPECT_EQ(std::filesystem::file_size(kMarker), 0u);
  std::filesystem::remove(kMarker);
  prepare();
  EXPECT_FALSE(std::filesystem::exists(kMarker));
  std::filesystem::remove_all(home.Join("User0"));
  std::filesystem::create_directories(kMarker);
  prepare();
  EXPECT_TRUE(recorder.notices.empty());
}

}  // namespace
}  // namespace ferrolt::testing
