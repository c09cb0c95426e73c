#include "notices/notices.h"

#include <gtest/gtest.h>

#include <string>

#include "notices/catalogue.h"
#include "platform/files.h"
#include "tests/support/recorders.h"

namespace ferrolt {
namespace {

using testing::NoticeRecorder;

TEST(NoticesTest, ResultFillsCountsWithInformationIconAndCaption) {
  NoticeRecorder recorder;
  EXPECT_TRUE(ShowResult(35, 8, 2, 17));
  ASSERT_EQ(recorder.notices.size(), 1u);
  const Notice& notice = recorder.notices[0];
  EXPECT_EQ(notice.text, "2 個のメールボックスから、計 17 通のメールを変換しました。");
  EXPECT_TRUE(notice.has_caption);
  EXPECT_EQ(notice.caption, "Ferroltメッセージ");
  EXPECT_EQ(notice.style, 0x2040u);

  EXPECT_TRUE(ShowResult(36, 8, 3, 40, 5));
  EXPECT_EQ(recorder.notices[1].text,
            "3 個のメールボックスから、計 40 通のメールを変換しました。\n（内、削除メール 5 通）");
}

TEST(NoticesTest, ResultWithoutCaptionFallsBackToErrorIcon) {
  NoticeRecorder recorder;
  EXPECT_TRUE(ShowResult(35, 99, 1, 1));
  ASSERT_EQ(recorder.notices.size(), 1u);
  EXPECT_FALSE(recorder.notices[0].has_caption);
  EXPECT_EQ(recorder.notices[0].style, 0x2010u);
}

TEST(NoticesTest, ErrorCodeCarriesCodeAndSystemText) {
  NoticeRecorder recorder;
  EXPECT_TRUE(ShowErrorCode(53, 4, 0));
  ASSERT_EQ(recorder.notices.size(), 1u);
  EXPECT_EQ(recorder.notices[0].text,
            "ReadFile(Source) のエラーです。Code=<0>\n" + SystemErrorText(0));
  EXPECT_FALSE(SystemErrorText(0).empty());
  EXPECT_EQ(recorder.notices[0].caption, "Ferroltエラー");
  EXPECT_EQ(recorder.notices[0].style, 0x2010u);
}

TEST(NoticesTest, MessageWithMissingCaptionHasNone) {
  NoticeRecorder recorder;
  EXPECT_TRUE(ShowMessage(48, 2));
  ASSERT_EQ(recorder.notices.size(), 1u);
  EXPECT_EQ(recorder.notices[0].text, "変換するメールボックスが１つもありません。");
  EXPECT_FALSE(recorder.notices[0].has_caption);
  EXPECT_EQ(recorder.notices[0].style, 0x2010u);
}

TEST(NoticesTest, UnknownTextShowsUndefinedNoticeWithWarningIcon) {
  NoticeRecorder recorder;
  EXPECT_FALSE(ShowMessage(99, 4));
  EXPECT_FALSE(ShowErrorCode(98, 4, 5));
  EXPECT_FALSE(ShowMessagePath(97, 4, "x"));
  EXPECT_FALSE(ShowResult(96, 8, 1, 2));
  ASSERT_EQ(recorder.notices.size(), 4u);
  EXPECT_EQ(recorder.notices[0].text, "Undefined String Resource. ID=<99>");
  EXPECT_EQ(recorder.notices[3].text, "Undefined String Resource. ID=<96>");
  for (const Notice& notice : recorder.notices) {
    EXPECT_FALSE(notice.has_caption);
    EXPECT_EQ(notice.style, 0x2030u);
  }
}

TEST(NoticesTest, LongPathReachesTheUserWhole) {
  NoticeRecorder recorder;
  std::string path(1000, 'p');
  path += "/exp00001.eml";
  EXPECT_TRUE(ShowMessagePath(63, 4, path));
  ASSERT_EQ(recorder.notices.size(), 1u);
  const std::string& text = recorder.notices[0].text;
  EXPECT_EQ(text.substr(text.size() - path.size()), path);
  EXPECT_NE(text.find("\n"), std::string::npos);
}

TEST(NoticesTest, PlaceholdersTakeValuesInOrderAndKeepPercentSigns) {
  const std::string values[] = {"7", "a%sb"};
  EXPECT_EQ(FillPlaceholders("%d%% <%s> %d", values, 2), "7% <a%sb> %d");
}

}  // namespace
}  // namespace ferrolt
