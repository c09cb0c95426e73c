#include "notices/notices.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "notices/catalogue.h"
#include "platform/files.h"
#include "tests/support/recorders.h"

namespace ferrolt {
namespace {

using testing::NoticeRecorder;

// Each call shows one notice: its text filled in, the caption when the catalogue has it, and the
// icon: information for a result with a caption, warning for an unknown text, error otherwise.
TEST(NoticesTest, EachCallShowsOneFilledNotice) {
  const std::string kLongPath = std::string(1000, 'p') + "/exp00001.eml";
  const struct {
    std::function<bool()> show;
    bool shown;
    std::string text;
    const char* caption;  // nullptr: none
    uint32_t style;
  } kCases[] = {
      {[] { return ShowResult(35, 8, 2, 17); }, true,
       "2 個のメールボックスから、計 17 通のメールを変換しました。", "Ferroltメッセージ", 0x2040},
      {[] { return ShowResult(36, 8, 3, 40, 5); }, true,
       "3 個のメールボックスから、計 40 通のメールを変換しました。\n（内、削除メール 5 通）",
       "Ferroltメッセージ", 0x2040},
      {[] { return ShowResult(35, 99, 1, 1); }, true,
       "1 個のメールボックスから、計 1 通のメールを変換しました。", nullptr, 0x2010},
      {[] { return ShowErrorCode(53, 4, 0); }, true,
       "ReadFile(Source) のエラーです。Code=<0>\n" + SystemErrorText(0), "Ferroltエラー", 0x2010},
      {[] { return ShowMessage(48, 2); }, true, "変換するメールボックスが１つもありません。",
       nullptr, 0x2010},
      {[&] { return ShowMessagePath(63, 4, kLongPath); }, true, kLongPath, "Ferroltエラー", 0x2010},
      {[] { return ShowMessage(99, 4); }, false, "Undefined String Resource. ID=<99>", nullptr,
       0x2030},
      {[] { return ShowErrorCode(98, 4, 5); }, false, "Undefined String Resource. ID=<98>", nullptr,
       0x2030},
      {[] { return ShowMessagePath(97, 4, "x"); }, false, "Undefined String Resource. ID=<97>",
       nullptr, 0x2030},
      {[] { return ShowResult(96, 8, 1, 2); }, false, "Undefined String Resource. ID=<96>", nullptr,
       0x2030},
  };
  EXPECT_FALSE(SystemErrorText(0).empty());
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    NoticeRecorder recorder;
    EXPECT_EQ(c.show(), c.shown);
    ASSERT_EQ(recorder.notices.size(), 1u);
    const Notice& notice = recorder.notices[0];
    if (c.text == kLongPath) {  // the whole path, after the text
      EXPECT_EQ(notice.text.substr(notice.text.size() - kLongPath.size()), kLongPath);
      EXPECT_NE(notice.text.find("\n"), std::string::npos);
    } else {
      EXPECT_EQ(notice.text, c.text);
    }
    EXPECT_EQ(notice.has_caption ? notice.caption : "none", c.caption ? c.caption : "none");
    EXPECT_EQ(notice.style, c.style);
  }
}

TEST(NoticesTest, PlaceholdersTakeValuesInOrderAndKeepPercentSigns) {
  const std::string values[] = {"7", "a%sb"};
  EXPECT_EQ(FillPlaceholders("%d%% <%s> %d", values, 2), "7% <a%sb> %d");
}

}  // namespace
}  // namespace ferrolt
