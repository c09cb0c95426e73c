// Notices filled from the catalogue, and the catalogue's two languages.

#include "notices/notices.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>

#include "notices/catalogue.h"
#include "platform/files.h"
#include "tests/support/recorders.h"

namespace ferrolt {
namespace {

// Texts of our own in place of the catalogue's: captions 1 and 2, texts 3 to 6, nothing else.
bool OwnTexts(int id, std::string* text) {
  const char* const kTexts[] = {
      "Msg", "Err", "%d of %d", "%d of %d (%d deleted)", "Code=<%d>\n%s", "%s exists: %d%%"};
  if (id < 1 || id > 6) return false;
  *text = kTexts[id - 1];
  return true;
}

// Each call shows one notice: its text filled in, the caption when the catalogue has it, and the
// icon: information for a result with a caption, warning for an unknown text, error otherwise.
// An installed catalogue replaces the compiled one until it is removed.
TEST(NoticesTest, EachCallShowsOneNoticeFilledFromTheInstalledCatalogue) {
  const std::string kLongPath = std::string(1000, 'p') + "/%d%s.eml";
  const struct {
    std::function<bool()> show;
    std::string text, caption;  // "": none
    uint32_t style;
  } kCases[] = {
      {[] { return ShowResult(3, 1, 2, 17); }, "2 of 17", "Msg", 0x2040},
      {[] { return ShowResult(4, 1, 3, 40, 5); }, "3 of 40 (5 deleted)", "Msg", 0x2040},
      {[] { return ShowResult(3, 9, 1, 1); }, "1 of 1", "", 0x2010},
      {[] { return ShowErrorCode(5, 2, 2); }, "Code=<2>\n" + SystemErrorText(2), "Err", 0x2010},
      {[] { return ShowMessage(1, 2); }, "Msg", "Err", 0x2010},
      {[&] { return ShowMessagePath(6, 2, kLongPath); }, kLongPath + " exists: %d%", "Err", 0x2010},
      {[] { return ShowMessage(16, 2); }, "Undefined String Resource. ID=<16>", "", 0x2030},
      {[] { return ShowResult(35, 1, 1, 2); }, "Undefined String Resource. ID=<35>", "", 0x2030},
  };
  SetCatalogueLoader(OwnTexts);
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    testing::NoticeRecorder recorder;
    bool shown = c.show();
    EXPECT_EQ(recorder.notices.size(), 1u);
    if (recorder.notices.empty()) continue;  // the loader must be removed below all the same
    const Notice& notice = recorder.notices[0];
    EXPECT_EQ(notice.text, c.text);
    EXPECT_EQ(notice.has_caption ? notice.caption : "", c.caption);
    EXPECT_EQ(notice.style, c.style);
    EXPECT_EQ(shown, c.style != 0x2030);  // false only for an unknown text
  }
  ::testing::internal::CaptureStderr();  // no output installed: stderr, after the caption
  ShowMessage(1, 2);
  ShowMessage(1, 9);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Err: Msg\nMsg\n");
  SetCatalogueLoader(nullptr);
  std::string text;
  EXPECT_TRUE(LoadCatalogueText(4, &text));
  EXPECT_EQ(text, "Ferroltエラー");
}

// A text's %d and %s placeholders and its line ends, in order.
std::string Shape(const std::string& text) {
  return std::regex_replace(text, std::regex("(%[ds]|\n)|[\\s\\S]"), "$1");
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
