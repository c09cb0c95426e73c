#include "notices/catalogue.h"

#include <gtest/gtest.h>

#include <string>

namespace ferrolt {
namespace {

struct ExpectedText {
  int id;
  const char* text;
};

constexpr ExpectedText kExpected[] = {
#include "tests/support/expected_catalogue.inc"
};

TEST(CatalogueTest, EveryTextIsExactlyAsTyped) {
  for (const ExpectedText& expected : kExpected) {
    std::string text;
    ASSERT_TRUE(LoadCompiledCatalogueText(expected.id, &text)) << "id " << expected.id;
    EXPECT_EQ(text, expected.text) << "id " << expected.id;
  }
}

TEST(CatalogueTest, HoldsNoOtherIds) {
  int found = 0;
  for (int id = 0; id < 1000; ++id) {
    std::string text;
    if (LoadCompiledCatalogueText(id, &text)) ++found;
  }
  EXPECT_EQ(found, static_cast<int>(std::size(kExpected)));
}

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

}  // namespace
}  // namespace ferrolt
