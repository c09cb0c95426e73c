// Store discovery: the source client's store folder and the target client's checks and folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "notices/catalogue.h"
#include "notices/notices.h"
#include "platform/files.h"
#include "platform/system_settings_fixture.h"
#include "stores/source_store.h"
#include "stores/target_client.h"
#include "tests/support/recorders.h"

namespace ferrolt::testing {
namespace {

// `path` with this system's separator for each '/'.
std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', kPathSeparator);
  return path;
}

// Exactly one notice was shown, with these catalogue texts (the text filled with `values`);
// none at all for text 0.
void ExpectOnlyNotice(const NoticeRecorder& recorder, int text_id, int caption_id,
                      std::vector<std::string> values = {}) {
  std::string text, caption, shown, expected;
  if (text_id != 0) {
    EXPECT_TRUE(LoadCatalogueText(text_id, &text) && LoadCatalogueText(caption_id, &caption));
    expected = caption + "|" + FillPlaceholders(text, values.data(), values.size()) + "\n";
  }
  for (const Notice& notice : recorder.notices) {
    shown += (notice.has_caption ? notice.caption : "(none)") + "|" + notice.text + "\n";
  }
  EXPECT_EQ(shown, expected);
}

constexpr char kSourceClientKey[] = "Software\\Microsoft\\Internet Mail and News";

// The prompt answers `first`, or cancels when that is empty, and counts its calls in `second`.
bool AnswerPrompt(void* context, std::string* source_dir) {
  auto* answer = static_cast<std::pair<std::string, int>*>(context);
  ++answer->second;
  if (!answer->first.empty()) *source_dir = answer->first;
  return !answer->first.empty();
}

// "Store Root" + "Mail" unless the client's window is open (then the user is asked); only that
// window counts, and an empty root would be refused if it were read. Window cases come last.
TEST(SourceStoreTest, StoreFolderComesFromTheSettingsOrTheUser) {
  const std::string kRoot = Native("C:/Store"), kRootSlash = Native("C:/Store/"), kLong(600, 'r'),
                    kMail = Native("C:/Store/Mail/"), kAsked = Native("C:/x/");
  const struct {
    bool installed;
    const char* root;    // nullptr: no "Store Root"
    const char* window;  // title of an open Explorer window; nullptr: none
    std::string answer, source_dir;
    int notice;  // 0: none; else the text, caption kCaptionRegistryError
  } kCases[] = {
      {false, nullptr, nullptr, kAsked, "unchanged", kSourceClientNotInstalled},
      {true, nullptr, nullptr, kAsked, "unchanged", kSourceStoreUnknown},
      {true, "", nullptr, kAsked, "unchanged", kSourceStoreUnknown},
      {true, kRoot.c_str(), nullptr, kAsked, kMail, 0},
      {true, kRootSlash.c_str(), nullptr, kAsked, kMail, 0},
      {true, kLong.c_str(), nullptr, kAsked, kLong + Native("/Mail/"), 0},
      {true, "", "Internet Mail", kAsked, kAsked, 0},
      {true, "", "Internet Mail", "", "unchanged", 0},
      {true, kRoot.c_str(), "Documents", kAsked, kMail, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    ScratchSystemSettings settings;
    if (c.installed) settings.AddKey(kSourceClientKey);
    if (c.root) settings.AddString(kSourceClientKey, "Store Root", c.root);
    if (c.window && !settings.OpenWindow("CabinetWClass", c.window)) {
      GTEST_SKIP() << "this system cannot create a window (no display?)";
    }
    NoticeRecorder recorder;
    std::pair<std::string, int> answer{c.answer, 0};
    std::string source_dir = "unchanged";
    EXPECT_EQ(LocateSourceStore(&source_dir, AnswerPrompt, &answer), c.source_dir != "unchanged");
    EXPECT_EQ(source_dir, c.source_dir);
    EXPECT_EQ(answer.second, c.window && c.window[0] == 'I' ? 1 : 0);
    ExpectOnlyNotice(recorder, c.notice, kCaptionRegistryError);
  }
}

constexpr char kSettingsKey[] = "Software\\Dovrix\\Orvelle\\Settings";
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
    EXPECT_EQ(AppendTargetFolder("h"), Native("h" + std::string(c.folder) + "/From MS-IM/"));
  }
}

// A folder that cannot be made is told with the system's error; a new one gets an empty marker
// mailbox beside it, an existing one is used as it is, and a marker that cannot be made is no
// failure. "HomeDir" without its separator names a folder beside the home that does not exist; a
// name longer than any file system takes is refused there.
TEST(TargetClientTest, TargetFolderIsMadeOnceWithAMarker) {
  ScratchSystemSettings settings;
  TempFolder home;
  const std::string kHome = home.path() + kPathSeparator, kInHome = Native("User0/From MS-IM/"),
                    kMarker = kHome + Native("User0/From MS-IM.mbx");
  std::string target_dir;
  for (std::string bad : {home.path(), kHome + std::string(300, 'h') + kPathSeparator}) {
    NoticeRecorder recorder;
    EXPECT_FALSE(PrepareTargetFolder(bad, &target_dir));
    EXPECT_EQ(target_dir, bad + kInHome);
    ASSERT_EQ(recorder.notices.size(), 1u);
    int code = std::stoi(recorder.notices[0].text.substr(recorder.notices[0].text.find('<') + 1));
    EXPECT_NE(code, 0);
    ExpectOnlyNotice(recorder, kCreateFolderFailed, kCaptionProgramError,
                     {std::to_string(code), SystemErrorText(code)});
  }
  NoticeRecorder recorder;
  std::filesystem::create_directory(kHome + "User0");
  ASSERT_TRUE(PrepareTargetFolder(kHome, &target_dir));
  EXPECT_TRUE(std::filesystem::is_directory(kHome + kInHome));
  ASSERT_TRUE(std::filesystem::is_regular_file(kMarker));
  EXPECT_EQ(std::filesystem::file_size(kMarker), 0u);
  EXPECT_TRUE(PrepareTargetFolder(kHome, &target_dir));
  std::filesystem::remove_all(kHome + "User0");
  std::filesystem::create_directories(kMarker);
  EXPECT_TRUE(PrepareTargetFolder(kHome, &target_dir));
  EXPECT_TRUE(std::filesystem::is_directory(kHome + kInHome));
  EXPECT_TRUE(recorder.notices.empty());
}

}  // namespace
}  // namespace ferrolt::testing
