#include "convert/mail_header.h"

#include <gtest/gtest.h>

#include <string>

namespace ferrolt {
namespace {

// Folds, tabs, case and the body are cli/list_command_test.cpp's (through the listing's subject).
TEST(MailHeaderTest, FieldValueIsTheFirstFieldOfExactlyThatName) {
  const std::string header =
      "X-From: no\r\nFrom : no\r\nFROM:  Taro\r\n <t@x>  \r\nFrom: second\r\n";
  EXPECT_EQ(HeaderFieldValue(header, "From"), "Taro <t@x>");
  EXPECT_EQ(HeaderFieldValue(header, "To"), "");
}

TEST(MailHeaderTest, HeaderEndsAtTheFirstEmptyLine) {
  EXPECT_EQ(HeaderEnd("A: 1\r\nB: 2\r\n\r\nbody"), 12u);
  EXPECT_EQ(HeaderEnd("A: 1\nB: 2\n\nbody"), 10u);
  EXPECT_EQ(HeaderEnd("A: 1\nB: 2"), 9u);  // all header
  EXPECT_EQ(HeaderEnd("\nbody"), 0u);
  EXPECT_EQ(HeaderEnd(""), 0u);
}

}  // namespace
}  // namespace ferrolt
