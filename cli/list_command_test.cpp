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
}

TEST(ListCommandTest, PrintsOneLinePerMessageInReadingOrder) {
  TempFolder folder;
  StoreSpec spec;
  spec.messages = {{SimpleMessage("first", ""), 0, 0},
                   {SimpleMessage("second", ""), 3, 0},
                   {SimpleMessage("third", ""), 2, 0}};
  spec.index_order = {2, 1, 0};
  BuiltStore store = BuildStore(spec);
  WriteStore(folder.path(), "Box", store);
  std::string listed = CapturedOutput(
      [&](std::FILE* out) { EXPECT_TRUE(ListMailbox(folder.Join("Box.mbx"), out)); });
  std::string expected;
  for (size_t n : {2, 1, 0}) {
    const char* flags = n == 2 ? "-U" : n == 1 ? "DU" : "--";
    expected += std::to_string(3 - n) + "\t" + flags + "\t" +
                std::to_string(store.record_offsets[n]) + "\t" +
                std::to_string(spec.messages[n].bytes.size()) + "\t" +
                (n == 0   ? "first"
                 : n == 1 ? "second"
                          : "third") +
                "\n";
  }
  EXPECT_EQ(listed, expected);
}

}  // namespace
}  // namespace ferrolt
