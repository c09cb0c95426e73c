// Path splitting where names are in a double-byte ANSI code page.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/files.h"

namespace ferrolt {
namespace {

TEST(FilesWin32Test, SecondByteOfADoubleByteCharacterIsNoSeparator) {
  if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese ANSI code page (LANG=ja_JP.UTF-8)";
  const std::string hyo = "\x95\x5C";  // a kanji whose second byte is a backslash
  EXPECT_EQ(LastComponentStart("C:\\mail\\" + hyo + ".mbx"), 8u);
  EXPECT_FALSE(EndsInPathSeparator("C:\\" + hyo));
  EXPECT_TRUE(EndsInPathSeparator("C:\\" + hyo + "\\"));
  EXPECT_EQ(LastComponentStart(hyo + "\\x.mbx"), 3u);
}

TEST(FilesWin32Test, PathsReachNoticesAsUtf8) {
  if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese ANSI code page (LANG=ja_JP.UTF-8)";
  EXPECT_EQ(PathAsText("C:\\\x95\x5C\\a.mbx"), "C:\\表\\a.mbx");
  EXPECT_EQ(PathAsText("plain"), "plain");
}

}  // namespace
}  // namespace ferrolt
