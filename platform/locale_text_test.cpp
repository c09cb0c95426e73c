#include "platform/locale_text.h"

#include <gtest/gtest.h>

#include <string>

namespace ferrolt {
namespace {

TEST(LocaleTextTest, Cp932BecomesUtf8WithInvalidBytesReplaced) {
  struct Case {
    const char* cp932;
    const char* utf8;
  };
  const Case cases[] = {
      {"plain", "plain"},         {"\x82\xa0\x82\xa2", "あい"},
      {"\xb1\xba", "ｱｺ"},          // half-width katakana
      {"\x87\x40\xfa\x40", "①ⅰ"},  // code page 932's own additions
      {"\x81\x60", "～"},          // the wave dash as Windows maps it
  };
  for (const Case& c : cases) EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8) << c.utf8;
  EXPECT_EQ(Cp932ToUtf8(""), "");
}

// Whatever a system puts for a byte that is no character, the text around it survives and
// no raw 8-bit byte is passed on as if it were UTF-8.
TEST(LocaleTextTest, InvalidBytesDoNotStopTheConversion) {
  for (const char* cp932 : {"a\xa0z", "a\x82"}) {
    std::string utf8 = Cp932ToUtf8(cp932);
    EXPECT_EQ(utf8.front(), 'a') << cp932;
    EXPECT_EQ(utf8.find('\xa0'), std::string::npos) << cp932;
    EXPECT_NE(utf8, cp932);
  }
  EXPECT_EQ(Cp932ToUtf8("a\xa0z").back(), 'z');
}

}  // namespace
}  // namespace ferrolt
