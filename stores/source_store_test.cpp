#include "stores/source_store.h"

#include <gtest/gtest.h>

#include <string>

#include "notices/catalogue.h"
#include "platform/files.h"
#include "platform/system_settings_fixture.h"
#include "stores/stores_test_support.h"

namespace ferrolt {
namespace {

using testing::ExpectOnlyNotice;
using testing::JoinPath;
using testing::NoticeRecorder;
using testing::ScratchSystemSettings;

constexpr char kSourceClientKey[] = "Software\\Microsoft\\Internet Mail and News";

struct PromptAnswer {
  bool chosen = true;
  std::string folder;
  int calls = 0;
};

bool AnswerPrompt(void* context, std::string* source_dir) {
  auto* answer = static_cast<PromptAnswer*>(context);
  ++answer->calls;
  if (answer->chosen) *source_dir = answer->folder;
  return answer->chosen;
}

TEST(SourceStoreTest, MissingClientOrStoreRootShowsItsNotice) {
  ScratchSystemSettings settings;
  PromptAnswer answer;
  std::string source_dir = "unchanged";
  {
    NoticeRecorder recorder;
    EXPECT_FALSE(SourceClientInstalled());
    EXPECT_FALSE(LocateSourceStore(&source_dir, AnswerPrompt, &answer));
    ExpectOnlyNotice(recorder, kSourceClientNotInstalled, kCaptionRegistryError);
  }
  settings.AddKey(kSourceClientKey);
  EXPECT_TRUE(SourceClientInstalled());
  {
    NoticeRecorder recorder;
    EXPECT_FALSE(LocateSourceStore(&source_dir, AnswerPrompt, &answer));
    ExpectOnlyNotice(recorder, kSourceStoreUnknown, kCaptionRegistryError);
  }
  settings.AddString(kSourceClientKey, "Store Root", "");
  {
    NoticeRecorder recorder;
    EXPECT_FALSE(LocateSourceStore(&source_dir, AnswerPrompt, &answer));
    ExpectOnlyNotice(recorder, kSourceStoreUnknown, kCaptionRegistryError);
  }
  EXPECT_EQ(source_dir, "unchanged");
  EXPECT_EQ(answer.calls, 0);
}

TEST(SourceStoreTest, StoreRootGainsOneSeparatorAndMail) {
  ScratchSystemSettings settings;
  NoticeRecorder recorder;
  std::string expected = JoinPath({"C:", "Store", "Mail"}, true);
  for (bool final_separator : {false, true}) {
    settings.AddString(kSourceClientKey, "Store Root", JoinPath({"C:", "Store"}, final_separator));
    std::string source_dir;
    ASSERT_TRUE(LocateSourceStore(&source_dir, AnswerPrompt, nullptr));
    EXPECT_EQ(source_dir, expected);
  }

  std::string long_root(600, 'r');
  settings.AddString(kSourceClientKey, "Store Root", long_root);
  std::string source_dir;
  ASSERT_TRUE(LocateSourceStore(&source_dir, AnswerPrompt, nullptr));
  EXPECT_EQ(source_dir, long_root + kPathSeparator + "Mail" + kPathSeparator);
  EXPECT_TRUE(recorder.notices.empty());
}

TEST(SourceStoreTest, OpenClientWindowMeansAskingInsteadOfReading) {
  ScratchSystemSettings settings;
  NoticeRecorder recorder;
  // An empty "Store Root" would be refused if it were read.
  settings.AddString(kSourceClientKey, "Store Root", "");
  if (!settings.OpenWindow("CabinetWClass", "Internet Mail")) {
    GTEST_SKIP() << "this system cannot create a window (no display?)";
  }
  PromptAnswer answer{true, JoinPath({"C:", "x"}, true)};
  std::string source_dir;
  ASSERT_TRUE(LocateSourceStore(&source_dir, AnswerPrompt, &answer));
  EXPECT_EQ(source_dir, answer.folder);

  answer.chosen = false;
  source_dir = "kept";
  EXPECT_FALSE(LocateSourceStore(&source_dir, AnswerPrompt, &answer));
  EXPECT_EQ(source_dir, "kept");
  EXPECT_EQ(answer.calls, 2);
  EXPECT_TRUE(recorder.notices.empty());
}

TEST(SourceStoreTest, OtherExplorerWindowsDoNotCount) {
  ScratchSystemSettings settings;
  NoticeRecorder recorder;
  settings.AddString(kSourceClientKey, "Store Root", JoinPath({"C:", "Store"}, true));
  if (!settings.OpenWindow("CabinetWClass", "Documents")) {
    GTEST_SKIP() << "this system cannot create a window (no display?)";
  }
  PromptAnswer answer;
  std::string source_dir;
  ASSERT_TRUE(LocateSourceStore(&source_dir, AnswerPrompt, &answer));
  EXPECT_EQ(source_dir, JoinPath({"C:", "Store", "Mail"}, true));
  EXPECT_EQ(answer.calls, 0);
}

}  // namespace
}  // namespace ferrolt
