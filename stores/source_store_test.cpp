#include "stores/source_store.h"

#include <gtest/gtest.h>

#include <string>

#include "notices/catalogue.h"
#include "platform/files.h"
#include "platform/system_settings_fixture.h"
#include "stores/stores_test_support.h"

namespace ferrolt::testing {
namespace {

constexpr char kSourceClientKey[] = "Software\\Microsoft\\Internet Mail and News";

// The prompt answers `folder`, or cancels when it is empty, and counts its calls.
bool AnswerPrompt(void* context, std::string* source_dir) {
  auto* answer = static_cast<std::pair<std::string, int>*>(context);
  ++answer->second;
  if (!answer->first.empty()) *source_dir = answer->first;
  return !answer->first.empty();
}

// "Store Root" + "Mail" unless the client's window is open (then the user is asked); only that
// window counts, and an empty root would be refused if it were read. Window cases come last.
TEST(SourceStoreTest, StoreFolderComesFromTheSettingsOrTheUser) {
  const std::string kRoot = JoinPath({"C:", "Store"}, false), kRootSlash = kRoot + kPathSeparator,
                    kLong(600, 'r'), kMail = JoinPath({"C:", "Store", "Mail"}, true),
                    kAsked = JoinPath({"C:", "x"}, true);
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
      {true, kLong.c_str(), nullptr, kAsked, JoinPath({kLong, "Mail"}, true), 0},
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
    EXPECT_EQ(SourceClientInstalled(), c.installed);
    EXPECT_EQ(LocateSourceStore(&source_dir, AnswerPrompt, &answer), c.source_dir != "unchanged");
    EXPECT_EQ(source_dir, c.source_dir);
    EXPECT_EQ(answer.second, c.window && c.window[0] == 'I' ? 1 : 0);
    ExpectOnlyNotice(recorder, c.notice, kCaptionRegistryError);
  }
}

}  // namespace
}  // namespace ferrolt::testing
