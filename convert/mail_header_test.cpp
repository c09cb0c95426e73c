#include "convert/mail_header.h"

#include <gtest/gtest.h>

#include <string>

namespace ferrolt {
namespace {

TEST(MailHeaderTest, FieldValueIsTheFirstFieldWithFoldsJoined) {
  const std::string header =
      "Received: x\r\nFROM:  Taro\r\n <t@x>  \r\nSubject:\ta\tb\r\nX-From: no\r\n"
      "From: second\r\n\r\nSubject: in the body\r\n";
  EXPECT_EQ(HeaderFieldValue(header, "From"), "Taro <t@x>");
  EXPECT_EQ(HeaderFieldValue(header, "subject"), "a b");
  EXPECT_EQ(HeaderFieldValue(header, "To"), "");
  EXPECT_EQ(HeaderFieldValue("Subject : spaced\n", "Subject"), "");  // not the field's name
  EXPECT_EQ(HeaderFieldValue("Subject: no line end", "Subject"), "no line end");
  EXPECT_EQ(HeaderFieldValue("\r\nSubject: body only\r\n", "Subject"), "");
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
