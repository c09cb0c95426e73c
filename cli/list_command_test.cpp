#include "cli/list_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/captured_output.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

TEST(ListCommandTest, SubjectIsTheStoredValueWithFoldsJoined) {
  EXPECT_EQ(SubjectOf("From: a\r\nSUBJECT:  =?ISO-2022-JP?B?GyRC?=\r\n\t=?x?=\r\nTo: b\r\n"),
            "=?ISO-2022-JP?B?GyRC?= =?x?=");
  EXPECT_EQ(SubjectOf("From: a\n\nSubject: in the body\n"), "");
  EXPECT_EQ(SubjectOf("Subject:\ttab\there"), "tab here");
  EXPECT_EQ(SubjectOf("Subject: a\r\n  b\r\n c\nTo: d\r\n"), "a  b c");
}

TEST(ListCommandTest, PrintsOneLinePerMessageInReadingOrder) {
  TempFolder folder;
  StoreSpec spec;
  const char *subjects[] = {"first", "second", "third"}, *flags[] = {"-R", "DU", "-U"};
  spec.messages = {{SimpleMessage(subjects[0], ""), 0, 0},
                   {SimpleMessage(subjects[1], ""), 3, 0},
                   {SimpleMessage(subjects[2], ""), 2, 0}};
  spec.index_order = {2, 1, 0};
  BuiltStore store = BuildStore(spec);
  WriteStore(folder.path(), "Box", store);
  std::string listed = CapturedOutput(
      [&](std::FILE* out) { EXPECT_TRUE(ListMailbox(folder.Join("Box.mbx"), out)); });
  std::string expected;
  for (size_t n : {2, 1, 0}) {  // index flags: 1 deleted, 2 unread
    expected += std::to_string(3 - n) + "\t" + flags[n] + "\t" +
                std::to_string(store.record_offsets[n]) + "\t" +
                std::to_string(spec.messages[n].bytes.size()) + "\t\ta@example.jp\t" + subjects[n] +
                "\n";
  }
  EXPECT_EQ(listed, expected);
}

// Without an index nothing is known of the read state: "--", which no indexed message shows.
TEST(ListCommandTest, ReadableColumnsUnlessRawAndNoIndexToldApart) {
  TempFolder folder;
  StoreSpec spec;
  spec.with_index = false;
  spec.messages = {
      {"Date: Mon, 5 May 97 10:11:00 +0900\r\n"
       "From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <t@x.jp>\r\n"
       "Subject: =?ISO-2022-JP?B?GyRCRGpOYzJxNUQbKEI=?=\r\n\r\nbody\r\n",
       0, 0}};
  BuiltStore store = BuildStore(spec);
  WriteStore(folder.path(), "Box", store);
  for (bool raw : {false, true}) {
    std::string listed = CapturedOutput([&](std::FILE* out) {
      EXPECT_TRUE(ListMailbox(folder.Join("Box.mbx"), out, nullptr, raw));
    });
    std::string start = "1\t--\t84\t" + std::to_string(spec.messages[0].bytes.size()) + "\t";
    EXPECT_EQ(listed, start + (raw ? "Mon, 5 May 97 10:11:00 +0900\t"
                                     "=?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <t@x.jp>\t"
                                     "=?ISO-2022-JP?B?GyRCRGpOYzJxNUQbKEI=?=\n"
                                   : "1997-05-05 10:11 +0900\t山田 <t@x.jp>\t定例会議\n"));
  }
}

TEST(ListCommandTest, DecodesEveryJapaneseCodeOfTheTimeToUtf8) {
  struct Case {
    const char* stored;
    const char* shown;
  };
  const Case cases[] = {
      {"=?ISO-2022-JP?B?GyRCJCIkJBsoQg==?= and =?iso-2022-jp?q?=1B$B$&=1B(B?=", "あい and う"},
      {"\x1b$B$\"$$\x1b(B raw JIS", "あい raw JIS"},
      {"\x82\xa0\x82\xa2 Shift_JIS \xb1", "あい Shift_JIS ア"},  // kana made full-width
      {"\xb4\xc1\xbb\xfa EUC-JP", "漢字 EUC-JP"},
      {"plain\ttext", "plain text"},
      {"=?UTF-8?B?w6k=?=", "=?UTF-8?B?w6k=?="},  // a charset the converter does not know
  };
  for (const Case& c : cases) EXPECT_EQ(DecodedHeaderText(c.stored), c.shown) << c.shown;
}

}  // namespace
}  // namespace ferrolt
