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

// An installed client whose user `user` has a mail account.
void AddClient(ScratchSystemSettings* settings, const std::string& home_dir, int user) {
  settings->AddString(kSettingsKey, "HomeDir", home_dir);
  settings->AddString(UserKey(user), "POP", "pop.example.jp");
  settings->AddString(UserKey(user), "Address", "taro@example.jp");
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// The one notice is message 49 with caption 4, filled with a real error and the system's text.
void ExpectCreateFolderError(const NoticeRecorder& recorder) {
  ASSERT_EQ(recorder.notices.size(), 1u);
  const std::string& text = recorder.notices[0].text;
  size_t open = text.find("<");
  ASSERT_NE(open, std::string::npos);
  int code = std::stoi(text.substr(open + 1));
  EXPECT_NE(code, 0);
  EXPECT_FALSE(SystemErrorText(code).empty());
  std::string format, caption;
  ASSERT_TRUE(LoadCatalogueText(kCreateFolderFailed, &format));
  ASSERT_TRUE(LoadCatalogueText(kCaptionProgramError, &caption));
  std::string values[] = {std::to_string(code), SystemErrorText(code)};
  EXPECT_EQ(text, FillPlaceholders(format, values, 2));
  EXPECT_EQ(recorder.notices[0].caption, caption);
}

TEST(TargetClientTest, ChecksStopAtTheFirstProblemWithItsNotice) {
  ScratchSystemSettings settings;
  std::string home_dir;
  {
    NoticeRecorder recorder;
    EXPECT_FALSE(TargetClientInstalled());
    EXPECT_FALSE(CheckTargetClient(&home_dir));
    ExpectOnlyNotice(recorder, kTargetClientNotInstalled, kCaptionRegistryError);
  }
  {
    NoticeRecorder recorder;
    EXPECT_FALSE(ValidateTargetUser());
    ExpectOnlyNotice(recorder, kTargetClientNotInstalled, kCaptionRegistryError);
  }
  settings.AddKey(kSettingsKey);
  EXPECT_TRUE(TargetClientInstalled());
  {
    NoticeRecorder recorder;
    EXPECT_FALSE(CheckTargetClient(&home_dir));
    ExpectOnlyNotice(recorder, kTargetStoreUnknown, kCaptionRegistryError);
  }
  settings.AddString(kSettingsKey, "HomeDir", "");
  {
    NoticeRecorder recorder;
    EXPECT_FALSE(CheckTargetClient(&home_dir));
    ExpectOnlyNotice(recorder, kTargetStoreUnknown, kCaptionRegistryError);
  }
  settings.AddString(kSettingsKey, "HomeDir", JoinPath({"C:", "Mail"}, true));
  {
    NoticeRecorder recorder;  // no key for user 0 at all
    EXPECT_FALSE(CheckTargetClient(&home_dir));
    ExpectOnlyNotice(recorder, kTargetUserInvalid, kCaptionSettingsError);
  }
  AddClient(&settings, JoinPath({"C:", "Mail"}, true), 0);
  NoticeRecorder recorder;
  ASSERT_TRUE(CheckTargetClient(&home_dir));
  EXPECT_EQ(home_dir, JoinPath({"C:", "Mail"}, true));
  EXPECT_TRUE(recorder.notices.empty());
}

TEST(TargetClientTest, UserNeedsNonEmptyPopAndAddress) {
  ScratchSystemSettings settings;
  AddClient(&settings, "home", 3);
  settings.AddDword(kSettingsKey, "DefUser", 3);
  ASSERT_TRUE(ValidateTargetUser());

  for (const char* value : {"POP", "Address"}) {
    settings.AddString(UserKey(3), value, "");
    NoticeRecorder recorder;
    EXPECT_FALSE(ValidateTargetUser()) << value;
    ExpectOnlyNotice(recorder, kTargetUserInvalid, kCaptionSettingsError);
    AddClient(&settings, "home", 3);
  }
  // Only the default user counts: user 0's account does not stand in for user 3's.
  AddClient(&settings, "home", 0);
  settings.AddDword(kSettingsKey, "DefUser", 4);
  NoticeRecorder recorder;
  EXPECT_FALSE(ValidateTargetUser());
  ExpectOnlyNotice(recorder, kTargetUserInvalid, kCaptionSettingsError);
}

TEST(TargetClientTest, MissingPopIsAnInvalidUser) {
  ScratchSystemSettings settings;
  settings.AddString(kSettingsKey, "HomeDir", "home");
  settings.AddString(UserKey(0), "Address", "taro@example.jp");
  NoticeRecorder recorder;
  std::string home_dir;
  EXPECT_FALSE(CheckTargetClient(&home_dir));
  ExpectOnlyNotice(recorder, kTargetUserInvalid, kCaptionSettingsError);
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
  AddClient(&settings, home.path() + kPathSeparator, 0);
  NoticeRecorder recorder;
  bool ran = CheckTargetClient(&read_home) && PrepareTargetFolder(read_home, &target_dir);
  EXPECT_FALSE(ran);
  ExpectOnlyNotice(recorder, kTargetClientRunning, kCaptionProgramError);
  EXPECT_TRUE(std::filesystem::is_empty(home.path()));
}

TEST(TargetClientTest, FolderComesFromTheMailDirectoryNumber) {
  ScratchSystemSettings settings;
  std::string home_dir = JoinPath({"C:", "Mail"}, true);
  AddClient(&settings, home_dir, 2);
  settings.AddDword(kSettingsKey, "DefUser", 2);
  settings.AddDword(UserKey(2), "MailDirNo", 5);
  EXPECT_EQ(AppendTargetFolder(home_dir),
            JoinPath({"C:", "Mail", "User5", kTargetFolderName}, true));

  // Without "MailDirNo", or with one that is not four bytes, the user number stands in.
  settings.AddBytes(UserKey(2), "MailDirNo", std::string(8, '\0'));
  EXPECT_EQ(AppendTargetFolder(home_dir),
            JoinPath({"C:", "Mail", "User2", kTargetFolderName}, true));
  settings.AddDword(kSettingsKey, "DefUser", 7);
  EXPECT_EQ(AppendTargetFolder(home_dir),
            JoinPath({"C:", "Mail", "User7", kTargetFolderName}, true));

  // The client keeps its numbers as signed 32-bit integers.
  settings.AddDword(UserKey(7), "MailDirNo", 0xFFFFFFFF);
  EXPECT_EQ(AppendTargetFolder(home_dir),
            JoinPath({"C:", "Mail", "User-1", kTargetFolderName}, true));
}

TEST(TargetClientTest, MissingOrUnreadableDefaultUserIsUserZero) {
  ScratchSystemSettings settings;
  std::string home_dir = JoinPath({"C:", "Mail"}, true);
  AddClient(&settings, home_dir, 0);
  settings.AddDword(UserKey(1), "MailDirNo", 9);
  EXPECT_TRUE(ValidateTargetUser());
  EXPECT_EQ(AppendTargetFolder(home_dir),
            JoinPath({"C:", "Mail", "User0", kTargetFolderName}, true));

  settings.AddBytes(kSettingsKey, "DefUser", std::string("\x01\x00", 2));
  EXPECT_TRUE(ValidateTargetUser());
  EXPECT_EQ(AppendTargetFolder(home_dir),
            JoinPath({"C:", "Mail", "User0", kTargetFolderName}, true));
}

TEST(TargetClientTest, HomeDirIsAPlainPrefix) {
  ScratchSystemSettings settings;
  std::string home_dir = JoinPath({"C:", "Mail"}, false);
  EXPECT_EQ(AppendTargetFolder(home_dir), JoinPath({"C:", "MailUser0", kTargetFolderName}, true));

  std::string long_home = JoinPath({"C:", std::string(400, 'h')}, true);
  EXPECT_EQ(AppendTargetFolder(long_home),
            long_home + JoinPath({"User0", kTargetFolderName}, true));
}

TEST(TargetClientTest, NewFolderGetsAMarkerAndAnExistingOneIsUsedAsItIs) {
  ScratchSystemSettings settings;
  TempFolder home;
  std::string home_dir = home.path() + kPathSeparator;
  std::filesystem::create_directory(home.Join("User0"));
  std::string expected = JoinPath({home.path(), "User0", kTargetFolderName}, true);
  std::string marker = home.Join("User0") + kPathSeparator + kTargetFolderName + ".mbx";

  NoticeRecorder recorder;
  std::string target_dir;
  ASSERT_TRUE(PrepareTargetFolder(home_dir, &target_dir));
  EXPECT_EQ(target_dir, expected);
  EXPECT_TRUE(std::filesystem::is_directory(target_dir));
  ASSERT_TRUE(std::filesystem::is_regular_file(marker));
  EXPECT_EQ(std::filesystem::file_size(marker), 0u);

  // A second run goes on into the same folder and leaves the marker question alone.
  std::filesystem::remove(marker);
  ASSERT_TRUE(PrepareTargetFolder(home_dir, &target_dir));
  EXPECT_EQ(target_dir, expected);
  EXPECT_FALSE(Exists(marker));
  EXPECT_TRUE(recorder.notices.empty());
}

TEST(TargetClientTest, MarkerThatCannotBeMadeIsIgnored) {
  ScratchSystemSettings settings;
  TempFolder home;
  std::filesystem::create_directories(home.Join("User0") + kPathSeparator + kTargetFolderName +
                                      ".mbx");
  NoticeRecorder recorder;
  std::string target_dir;
  ASSERT_TRUE(PrepareTargetFolder(home.path() + kPathSeparator, &target_dir));
  EXPECT_TRUE(std::filesystem::is_directory(target_dir));
  EXPECT_TRUE(recorder.notices.empty());
}

TEST(TargetClientTest, FolderTheSystemRefusesShowsItsError) {
  ScratchSystemSettings settings;
  TempFolder home;
  std::string target_dir;
  {
    // "HomeDir" without its separator names a folder beside the home that does not exist.
    NoticeRecorder recorder;
    EXPECT_FALSE(PrepareTargetFolder(home.path(), &target_dir));
    EXPECT_EQ(target_dir, home.path() + JoinPath({"User0", kTargetFolderName}, true));
    ExpectCreateFolderError(recorder);
  }
  {
    // A name longer than any file system takes: the path is built whole and refused there.
    std::string long_home = home.Join(std::string(300, 'h')) + kPathSeparator;
    NoticeRecorder recorder;
    EXPECT_FALSE(PrepareTargetFolder(long_home, &target_dir));
    EXPECT_EQ(target_dir, long_home + JoinPath({"User0", kTargetFolderName}, true));
    ExpectCreateFolderError(recorder);
  }
  EXPECT_TRUE(std::filesystem::is_empty(home.path()));
}

}  // namespace
}  // namespace ferrolt
