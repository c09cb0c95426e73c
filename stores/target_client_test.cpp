#include "stores/target_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "notices/catalogue.h"
#include "notices/notices.h"
#include "platform/files.h"
#include "platform/system_settings_fixture.h"
#include "stores/stores_test_support.h"

namespace ferrolt {
namespace {

using testing::ExpectOnlyNotice;
using testing::JoinPath;
using testing::NoticeRecorder;
using testing::ScratchSystemSettings;
using testing::TempFolder;

constexpr char kSettingsKey[] = "Software\\Dovrix\\Orvelle\\Settings";
constexpr char kTargetFolderName[] = "From MS-IM";

std::string UserKey(int user) {
  return "Software\\Dovrix\\Orvelle\\Users\\" + std::to_string(user);
}

// The one notice is "create folder failed" filled with a real error code and the system's text.
void ExpectCreateFolderError(const NoticeRecorder& recorder) {
  ASSERT_EQ(recorder.notices.size(), 1u);
  const std::string& text = recorder.notices[0].text;
  int code = std::stoi(text.substr(text.find("<") + 1));
  EXPECT_NE(code, 0);
  ExpectOnlyNotice(recorder, kCreateFolderFailed, kCaptionProgramError,
                   {std::to_string(code), SystemErrorText(code)});
}

struct Expected {
  int text = 0, caption = 0;  // no notice at all
};
constexpr Expected kPasses{}, kNotInstalled{kTargetClientNotInstalled, kCaptionRegistryError},
    kStoreUnknown{kTargetStoreUnknown, kCaptionRegistryError},
    kUserInvalid{kTargetUserInvalid, kCaptionSettingsError};

constexpr int64_t kAbsent = -1, kOddSize = -2;  // a number not stored, or not in four bytes

void AddNumber(ScratchSystemSettings* settings, const std::string& key, const char* name,
               int64_t value) {
  if (value == kOddSize) settings->AddBytes(key, name, std::string(8, '\1'));
  if (value >= 0) settings->AddDword(key, name, static_cast<uint32_t>(value));
}

// Each check stops at the first problem with its own notice; only the default user counts.
TEST(TargetClientTest, ChecksOfInstallationStoreAndDefaultUser) {
  const struct {
    bool installed;
    const char *home_dir, *pop, *address;  // of user `user`; nullptr: not there
    int user;
    int64_t default_user;
    Expected check, validate;  // of CheckTargetClient and of ValidateTargetUser
  } kCases[] = {
      {false, nullptr, nullptr, nullptr, 0, kAbsent, kNotInstalled, kNotInstalled},
      {true, nullptr, nullptr, nullptr, 0, kAbsent, kStoreUnknown, kUserInvalid},
      {true, "", "p", "a", 0, kAbsent, kStoreUnknown, kPasses},
      {true, "h", nullptr, nullptr, 0, kAbsent, kUserInvalid, kUserInvalid},
      {true, "h", "p", "a", 0, kAbsent, kPasses, kPasses},
      {true, "h", "p", "a", 0, kOddSize, kPasses, kPasses},
      {true, "h", "p", "a", 3, 3, kPasses, kPasses},
      {true, "h", "p", "a", 0, 4, kUserInvalid, kUserInvalid},
      {true, "h", "", "a", 3, 3, kUserInvalid, kUserInvalid},
      {true, "h", "p", "", 3, 3, kUserInvalid, kUserInvalid},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    ScratchSystemSettings settings;
    if (c.installed) settings.AddKey(kSettingsKey);
    if (c.home_dir) settings.AddString(kSettingsKey, "HomeDir", c.home_dir);
    if (c.pop) settings.AddString(UserKey(c.user), "POP", c.pop);
    if (c.address) settings.AddString(UserKey(c.user), "Address", c.address);
    AddNumber(&settings, kSettingsKey, "DefUser", c.default_user);
    std::string home_dir;
    {
      NoticeRecorder recorder;
      EXPECT_EQ(CheckTargetClient(&home_dir), c.check.text == 0);
      ExpectOnlyNotice(recorder, c.check.text, c.check.caption);
      if (c.check.text == 0) {
        EXPECT_EQ(home_dir, c.home_dir);
      }
    }
    NoticeRecorder recorder;
    EXPECT_EQ(ValidateTargetUser(), c.validate.text == 0);
    ExpectOnlyNotice(recorder, c.validate.text, c.validate.caption);
    EXPECT_EQ(TargetClientInstalled(), c.installed);
  }
}

TEST(TargetClientTest, RunningClientStopsBeforeAnythingIsCreated) {
  ScratchSystemSettings settings;
  TempFolder home;
  if (!settings.OpenWindow("CorvaneMainFrameClass", "")) {
    GTEST_SKIP() << "this system cannot create a window (no display?)";
  }
  std::string read_home, target_dir;
  {
    // Not being installed is told first, even with such a window open.
    NoticeRecorder recorder;
    EXPECT_FALSE(CheckTargetClient(&read_home));
    ExpectOnlyNotice(recorder, kTargetClientNotInstalled, kCaptionRegistryError);
  }
  settings.AddString(kSettingsKey, "HomeDir", home.path() + kPathSeparator);
  settings.AddString(UserKey(0), "POP", "pop.example.jp");
  settings.AddString(UserKey(0), "Address", "taro@example.jp");
  NoticeRecorder recorder;
  bool ran = CheckTargetClient(&read_home) && PrepareTargetFolder(read_home, &target_dir);
  EXPECT_FALSE(ran);
  ExpectOnlyNotice(recorder, kTargetClientRunning, kCaptionProgramError);
  EXPECT_TRUE(std::filesystem::is_empty(home.path()));
}

// "HomeDir" (a plain prefix) + "User<n>" + "From MS-IM", n the default user's mail directory
// number or, without a four-byte one, the user number; both are signed 32-bit numbers.
TEST(TargetClientTest, FolderComesFromTheMailDirectoryNumber) {
  const std::string kHome = JoinPath({"C:", "Mail"}, true);
  const struct {
    int64_t default_user;
    int user;
    int64_t mail_dir_of_user;
    std::string home_dir, user_folder;
  } kCases[] = {
      {2, 2, 5, kHome, "User5"},
      {2, 2, kOddSize, kHome, "User2"},
      {7, 2, 5, kHome, "User7"},
      {7, 7, 0xFFFFFFFF, kHome, "User-1"},
      {kAbsent, 1, 9, kHome, "User0"},
      {kOddSize, 1, 9, kHome, "User0"},
      {kAbsent, 0, kAbsent, JoinPath({"C:", "Mail"}, false), "User0"},
      {kAbsent, 0, kAbsent, JoinPath({"C:", std::string(400, 'h')}, true), "User0"},
  };
  for (const auto& c : kCases) {
    ScratchSystemSettings settings;
    AddNumber(&settings, kSettingsKey, "DefUser", c.default_user);
    AddNumber(&settings, UserKey(c.user), "MailDirNo", c.mail_dir_of_user);
    EXPECT_EQ(AppendTargetFolder(c.home_dir),
              c.home_dir + JoinPath({c.user_folder, kTargetFolderName}, true));
  }
}

// A new folder gets an empty marker mailbox beside it; an existing one is used as it is, and a
// marker that cannot be made is no failure. "HomeDir" without its separator names a folder beside
// the home that does not exist; a name longer than any file system takes is refused there.
TEST(TargetClientTest, TargetFolderIsMadeOnceWithAMarker) {
  ScratchSystemSettings settings;
  TempFolder home;
  std::string home_dir = home.path() + kPathSeparator, target_dir;
  std::string expected = home_dir + JoinPath({"User0", kTargetFolderName}, true);
  std::string marker = home.Join("User0") + kPathSeparator + kTargetFolderName + ".mbx";
  for (std::string bad : {home.path(), home.Join(std::string(300, 'h')) + kPathSeparator}) {
    NoticeRecorder recorder;
    EXPECT_FALSE(PrepareTargetFolder(bad, &target_dir));
    EXPECT_EQ(target_dir, bad + JoinPath({"User0", kTargetFolderName}, true));
    ExpectCreateFolderError(recorder);
  }
  EXPECT_TRUE(std::filesystem::is_empty(home.path()));

  std::filesystem::create_directory(home.Join("User0"));
  NoticeRecorder recorder;
  ASSERT_TRUE(PrepareTargetFolder(home_dir, &target_dir));
  EXPECT_EQ(target_dir, expected);
  EXPECT_TRUE(std::filesystem::is_directory(target_dir));
  ASSERT_TRUE(std::filesystem::is_regular_file(marker));
  EXPECT_EQ(std::filesystem::file_size(marker), 0u);
  std::filesystem::remove(marker);
  ASSERT_TRUE(PrepareTargetFolder(home_dir, &target_dir));
  EXPECT_EQ(target_dir, expected);
  EXPECT_FALSE(std::filesystem::exists(marker));

  std::filesystem::remove_all(home.Join("User0"));
  std::filesystem::create_directories(marker);
  ASSERT_TRUE(PrepareTargetFolder(home_dir, &target_dir));
  EXPECT_TRUE(std::filesystem::is_directory(target_dir));
  EXPECT_TRUE(recorder.notices.empty());
}

}  // namespace
}  // namespace ferrolt
