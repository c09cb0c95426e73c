#include "notices/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace ferrolt {
namespace {

bool LoadOnlyCaptionFour(int id, std::string* text) {
  if (id != 4) return false;
  *text = "installed";
  return true;
}

TEST(CatalogueTest, InstalledLoaderReplacesTheTableUntilRemoved) {
  std::string text;
  SetCatalogueLoader(LoadOnlyCaptionFour);
  EXPECT_FALSE(LoadCatalogueText(16, &text));
  ASSERT_TRUE(LoadCatalogueText(4, &text));
  EXPECT_EQ(text, "installed");
  SetCatalogueLoader(nullptr);
  ASSERT_TRUE(LoadCatalogueText(4, &text));
  EXPECT_EQ(text, "Ferroltエラー");
}

// The %d and %s placeholders of a text, in order.
std::string Placeholders(const std::string& text) {
  std::string found;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '%') found += text[++i];
  }
  return found;
}

TEST(CatalogueTest, EnglishTableHasTheSameIdsAndPlaceholders) {
  for (int id = 0; id < 1000; ++id) {
    std::string japanese, english;
    bool in_japanese = LoadCompiledCatalogueText(id, &japanese);
    ASSERT_EQ(LoadEnglishCatalogueText(id, &english), in_japanese) << "id " << id;
    if (!in_japanese) continue;
    EXPECT_EQ(Placeholders(english), Placeholders(japanese)) << "id " << id;
    EXPECT_EQ(std::count(english.begin(), english.end(), '\n'),
              std::count(japanese.begin(), japanese.end(), '\n'))
        << "id " << id;
    EXPECT_NE(english, japanese) << "id " << id;
  }
}

}  // namespace
}  // namespace ferrolt
