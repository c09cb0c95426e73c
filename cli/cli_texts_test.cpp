#include "cli/cli_texts.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/options.h"
#include "notices/catalogue.h"
#include "notices/notices.h"
#include "tests/support/recorders.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

class CliTextsTest : public ::testing::Test {
 protected:
  void TearDown() override { SetCatalogueLoader(nullptr); }
};

TEST_F(CliTextsTest, LanguageChoosesNoticesHelpAndOwnTexts) {
  NoticeRecorder notices;
  UseJapaneseTexts(false);
  ShowResult(kSummary, kCaptionProgramMessage, 2, 17);
  EXPECT_EQ(CliText(CliTextId::kNeedsTargetFolder, "mbox"), "mbox needs --to DIR");
  EXPECT_STREQ(UsageText(), kUsage);
  UseJapaneseTexts(true);
  ShowResult(kSummary, kCaptionProgramMessage, 2, 17);
  EXPECT_EQ(CliText(CliTextId::kNeedsTargetFolder, "mbox"), "mbox には --to DIR が必要です");
  EXPECT_EQ(std::string(UsageText()).rfind("使い方:", 0), 0u);
  ASSERT_EQ(notices.notices.size(), 2u);
  EXPECT_EQ(notices.notices[0].text, "Mailboxes: 2, mails converted: 17.");
  EXPECT_EQ(notices.notices[0].caption, "Ferrolt message");
  EXPECT_EQ(notices.notices[1].text, "2 個のメールボックスから、計 17 通のメールを変換しました。");
}

// Both help texts show the same command lines, so neither language misses an option.
TEST_F(CliTextsTest, BothHelpTextsListTheSameCommandsAndOptions) {
  UseJapaneseTexts(true);
  std::string japanese = UsageText();
  std::istringstream english(kUsage);
  std::string line;
  int checked = 0;
  while (std::getline(english, line)) {
    bool synopsis = line.rfind("  ferrolt-cli ", 0) == 0;
    bool option = line.rfind("  --", 0) == 0;
    if (!synopsis && !option) continue;
    std::string key = synopsis ? line : line.substr(0, line.find("  ", 2));
    EXPECT_NE(japanese.find(key), std::string::npos) << key;
    ++checked;
  }
  EXPECT_EQ(checked, 9);
}

}  // namespace
}  // namespace ferrolt
