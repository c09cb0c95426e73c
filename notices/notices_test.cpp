// Notices filled from the catalogue, and the catalogue's two languages.

#include "notices/notices.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "notices/catalogue.h"
#include "platform/files.h"
#include "tests/support/recorders.h"

namespace ferrolt {
namespace {

// Each call shows one notice: its text filled in, the caption when the catalogue has it, and the
// icon: information for a result with a caption, warning for an unknown text, error otherwise.
// The whole path comes after the text; placeholders take values in order, "%%" is a percent sign.
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
      {[&] { return ShowMessagePath(63, 4, kLongPath); }, true,
       "MS-IM のフォルダーと同じ名前のフォルダーがすでに Corvane! に存在します。\n" + kLongPath,
       "Ferroltエラー", 0x2010},
      {[] { return ShowMessage(99, 4); }, false, "Undefined String Resource. ID=<99>", nullptr,
       0x2030},
      {[] { return ShowResult(96, 8, 1, 2); }, false, "Undefined String Resource. ID=<96>", nullptr,
       0x2030},
  };
  EXPECT_FALSE(SystemErrorText(0).empty());
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    testing::NoticeRecorder recorder;
    EXPECT_EQ(c.show(), c.shown);
    ASSERT_EQ(recorder.notices.size(), 1u);
    EXPECT_EQ(recorder.notices[0].text, c.text);
    EXPECT_EQ(recorder.notices[0].has_caption ? recorder.notices[0].caption : "none",
              c.caption ? c.caption : "none");
    EXPECT_EQ(recorder.notices[0].style, c.style);
  }
  const std::string values[] = {"7", "a%sb"};
  EXPECT_EQ(FillPlaceholders("%d%% <%s> %d", values, 2), "7% <a%sb> %d");
}

TEST(CatalogueTest, InstalledLoaderReplacesTheTableUntilRemoved) {
  std::string text;
  SetCatalogueLoader([](int id, std::string* loaded) {
    *loaded = "installed";
    return id == 4;
  });
  EXPECT_FALSE(LoadCatalogueText(16, &text));
  ASSERT_TRUE(LoadCatalogueText(4, &text));
  EXPECT_EQ(text, "installed");
  SetCatalogueLoader(nullptr);
  ASSERT_TRUE(LoadCatalogueText(4, &text));
  EXPECT_EQ(text, "Ferroltエラー");
}

// A text's %d and %s placeholders and its line ends, in order.
std::string Shape(const std::string& text) {
  std::string found;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') found += '\n';
    if (text[i] == '%' && i + 1 < text.size()) found += text[++i];
  }
  return found;
}

TEST(CatalogueTest, EnglishTableHasTheSameIdsPlaceholdersAndLines) {
  for (int id = 0; id < 1000; ++id) {
    SCOPED_TRACE(id);
    std::string japanese, english;
    bool in_japanese = LoadCompiledCatalogueText(id, &japanese);
    ASSERT_EQ(LoadEnglishCatalogueText(id, &english), in_japanese);
    if (!in_japanese) continue;
    EXPECT_EQ(Shape(english), Shape(japanese));
    EXPECT_NE(english, japanese);
  }
}

}  // namespace
}  // namespace ferrolt
