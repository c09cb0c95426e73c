// The mailboxes the command line reads: a folder's, and one listed message by message.

#include "cli/list_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "cli/folder_sources.h"
#include "tests/support/captured_output.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

TEST(ListCommandTest, SubjectIsTheStoredValueAndHeaderTextsAreDecodedToUtf8) {
  EXPECT_EQ(SubjectOf("From: a\r\nSUBJECT:  =?ISO-2022-JP?B?GyRC?=\r\n\t=?x?=\r\nTo: b\r\n"),
            "=?ISO-2022-JP?B?GyRC?= =?x?=");
  EXPECT_EQ(SubjectOf("From: a\n\nSubject: in the body\n"), "");
  EXPECT_EQ(SubjectOf("Subject:\ttab\there"), "tab here");
  EXPECT_EQ(SubjectOf("Subject: a\r\n  b\r\n c\nTo: d\r\n"), "a  b c");
  // Half-width katakana are shown as written; UTF-8 and ISO-8859-1 words decoded (a character
  // split between words joined, the blanks between decoded words dropped); a word that is no
  // UTF-8 stays. Raw EUC-JP that reads as kana too follows --prefer-euc.
  const std::tuple<const char*, const char*, bool> kDecoded[] = {
      {"=?ISO-2022-JP?B?GyRCJCIkJBsoQg==?= and =?iso-2022-jp?q?=1B$B$&=1B(B?=", "あい and う",
       false},
      {"\x1b$B$\"$$\x1b(B raw JIS", "あい raw JIS", false},
      {"\x82\xa0\x82\xa2 Shift_JIS \xb1\xde", "あい Shift_JIS ｱﾞ", false},
      {"\xb4\xc1\xbb\xfa EUC-JP", "漢字 EUC-JP", false},
      {"\xbb\xb3\xc5\xc4", "ｻｳﾅﾄ", false},
      {"\xbb\xb3\xc5\xc4", "山田", true},
      {"plain\ttext", "plain text", false},
      {"=?UTF-8?B?w6k=?= =?utf-8?q?=E2=82?=\t=?UTF-8?Q?=AC?= caf=?ISO-8859-1?Q?=E9?=", "é€ café",
       false},
      {"=?ISO-2022-JP?B?GyRCJCIbKEI=?= =?UTF-8?B?w6k=?= =?SHIFT_JIS?Q?=B1?= x", "あéｱ x", false},
      {"=?UTF-8?Q?=FF?= =?UTF-8?Q?=C0=AF?=", "=?UTF-8?Q?=FF?= =?UTF-8?Q?=C0=AF?=", false},
      {"=?x-unknown?Q?a?=", "=?x-unknown?Q?a?=", false},
  };
  for (const auto& [stored, shown, prefer_euc] : kDecoded) {
    EXPECT_EQ(DecodedHeaderText(stored, prefer_euc), shown) << shown;
  }
}

// Messages in the index's order with its flags; without an index in the mailbox's order with
// "--", which no indexed message shows. Then the folder's mailboxes, made in the order a
// case-blind listing gives, come in byte order of name, capitals first: neither the system's
// order (Wine's follows the Linux directory) nor NTFS's is byte order.
TEST(ListCommandTest, ListsInReadingOrderReadableUnlessRawAndAFolderInByteOrder) {
  TempFolder folder;
  StoreSpec spec;
  spec.messages = {{"Date: Mon, 5 May 97 10:11:00 +0900\r\n"
                    "From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <t@x.jp>\r\n"
                    "Subject: =?ISO-2022-JP?B?GyRCRGpOYzJxNUQbKEI=?=\r\n\r\nbody\r\n",
                    1, 0},
                   {SimpleMessage("second", ""), 2, 0}};
  spec.index_order = {1, 0};
  for (int run = 0; run < 4; ++run) {
    bool raw = run % 2 == 1;
    spec.with_index = run >= 2;
    SCOPED_TRACE(run);
    BuiltStore store = BuildStore(spec);
    WriteStore(folder.path(), "Box", store);
    std::string first = std::to_string(store.record_offsets[0]) + "\t" +
                        std::to_string(spec.messages[0].bytes.size()) + "\t" +
                        (raw ? "Mon, 5 May 97 10:11:00 +0900\t"
                               "=?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <t@x.jp>\t"
                               "=?ISO-2022-JP?B?GyRCRGpOYzJxNUQbKEI=?=\n"
                             : "1997-05-05 10:11 +0900\t山田 <t@x.jp>\t定例会議\n");
    std::string second = std::to_string(store.record_offsets[1]) + "\t" +
                         std::to_string(spec.messages[1].bytes.size()) +
                         "\t\ta@example.jp\tsecond\n";
    EXPECT_EQ(CapturedOutput([&](std::FILE* out) {
                EXPECT_TRUE(ListMailbox(folder.Join("Box.mbx"), out, nullptr, {raw}));
              }),
              spec.with_index ? "1\t-U\t" + second + "2\tDR\t" + first
                              : "1\t--\t" + first + "2\t--\t" + second);
  }
  for (const char* name : {"alpha.mbx", "beta.MBX", "Mid.mbx", "notes.txt", "Zeta.mbx"}) {
    WriteFileBytes(folder.Join(name), "x");
  }
  std::vector<std::string> paths = {"replaced"}, expected;
  for (const char* name : {"Box.mbx", "Mid.mbx", "Zeta.mbx", "alpha.mbx", "beta.MBX"}) {
    expected.push_back(folder.Join(name));
  }
  NoticeRecorder notices;
  ASSERT_TRUE(ListFolderMailboxes(folder.path(), &paths));
  EXPECT_EQ(paths, expected);
  EXPECT_TRUE(notices.notices.empty());
}

// Nothing from the mailbox drives the terminal, in either mode and in every column: a Date that
// does not parse, a word decoding to DEL, raw controls, a word decoding to a direction override.
TEST(ListCommandTest, ControlsInEveryColumnAreShownEscapedRawOrNot) {
  TempFolder folder;
  StoreSpec spec;
  spec.messages = {
      {"Date: \x1b]0;pwned\x07\r\nFrom: =?US-ASCII?Q?a=7Fb?= <x>\r\n"
       "Subject: \x1b"
       "c\b\a\v\f =?UTF-8?B?4oCu?=\r\n\r\nbody\r\n",
       1, 0}};
  spec.with_index = false;
  BuiltStore store = BuildStore(spec);
  WriteStore(folder.path(), "Box", store);
  std::string head = "1\t--\t" + std::to_string(store.record_offsets[0]) + "\t" +
                     std::to_string(spec.messages[0].bytes.size()) + "\t\\x1b]0;pwned\\x07\t";
  for (bool raw : {true, false}) {
    EXPECT_EQ(
        CapturedOutput([&](std::FILE* out) {
          EXPECT_TRUE(ListMailbox(folder.Join("Box.mbx"), out, nullptr, {raw}));
        }),
        head + (raw ? "=?US-ASCII?Q?a=7Fb?= <x>\t\\x1bc\\x08\\x07\\x0b\\x0c =?UTF-8?B?4oCu?=\n"
                    : "a\\x7fb <x>\t〓c\\x08\\x07\\x0b\\x0c \\u202e\n"));
  }
}

}  // namespace
}  // namespace ferrolt
