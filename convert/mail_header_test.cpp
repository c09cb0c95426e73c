// The header of a message: its fields, its end, its Date and its Status lines.

#include "convert/mail_header.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "convert/mail_date.h"
#include "convert/status_filter.h"

namespace ferrolt {
namespace {

using std::string_literals::operator""s;

// Folds, tabs, case and the body are cli/list_command_test.cpp's (through the listing's subject).
TEST(MailHeaderTest, FieldValueIsTheFirstOfExactlyThatNameAndTheHeaderEndsAtAnEmptyLine) {
  const std::string header =
      "X-From: no\r\nFrom : no\r\nFROM:  Taro\r\n <t@x>  \r\nFrom: second\r\n";
  EXPECT_EQ(HeaderFieldValue(header, "From"), "Taro <t@x>");
  EXPECT_EQ(HeaderFieldValue(header, "To"), "");
  EXPECT_EQ(HeaderEnd("A: 1\r\nB: 2\r\n\r\nbody"), 12u);
  EXPECT_EQ(HeaderEnd("A: 1\nB: 2\n\nbody"), 10u);
  EXPECT_EQ(HeaderEnd("A: 1\nB: 2"), 9u);  // all header
  EXPECT_EQ(HeaderEnd("\nbody"), 0u);
  EXPECT_EQ(HeaderEnd(""), 0u);
}

// The forms mail of the time used, read as the listing shows them and as a moment; what is no
// date is refused, leaving the date as it was. The mbox tests meet 1970 and 1997 in asctime form.
TEST(MailHeaderTest, DatesInEveryFormMailOfTheTimeUsed) {
  const struct {
    const char *value, *read;
  } kCases[] = {
      {"Mon, 5 May 1997 10:11:00 +0900", "1997-05-05 10:11 +0900 862794660"},
      {"Mon, 05 May 97 10:11:00 +0900 (JST)", "1997-05-05 10:11 +0900 862794660"},
      {"5 May 1997 10:11 +0900", "1997-05-05 10:11 +0900 862794660"},  // no day name, no seconds
      {"Mon,5 May 1997 10:11:00 JST", "1997-05-05 10:11 +0900 862794660"},
      {"Sun, 4 May 1997 20:11:07 EST", "1997-05-04 20:11 -0500 862794667"},
      {"Sun, 4 May 1997 20:11:07 -0330", "1997-05-04 20:11 -0330 862789267"},
      {"Mon, 5 May 1997 01:11:00 GMT", "1997-05-05 01:11 +0000 862794660"},
      {"Mon, 5 May 1997 01:11:00", "1997-05-05 01:11 +0000 862794660"},    // no zone: UTC
      {"Mon, 5 May 1997 01:11:00 X", "1997-05-05 01:11 +0000 862794660"},  // military: UTC
      {"mon, 5 may 1997 01:11:00 -0000", "1997-05-05 01:11 +0000 862794660"},
      {"Fri, 31 Dec 49 23:59:59 +0000", "2049-12-31 23:59 +0000 2524607999"},
      {"Sun, 1 Jan 50 00:00:00 +0000", "1950-01-01 00:00 +0000 -631152000"},
      {"Tue, 29 Feb 2000 12:00:00 (noon (really)) +0000", "2000-02-29 12:00 +0000 951825600"},
      {"Mon, 5 May 097 01:11:00 +0000", "1997-05-05 01:11 +0000 862794660"},  // from 1900
      {"SAT, 31 Oct 1998 00:00:00 +0000", "1998-10-31 00:00 +0000 909792000"},
      {"  Mon ,  5  May  1997  10:41:00  +0930 ", "1997-05-05 10:41 +0930 862794660"},
  };
  auto read = [](const char* value) {
    MailDate date;
    date.year = 1234;
    return ParseMailDate(value, &date) ? ListingDate(date) + " " + std::to_string(date.unix_seconds)
                                       : (date.year == 1234 ? "" : "changed");
  };
  for (const auto& c : kCases) EXPECT_EQ(read(c.value), c.read) << c.value;
  for (const char* value :
       {"", "yesterday", "Mon, 5 Mai 1997 10:11:00 +0900", "Mon, 32 May 1997 10:11:00 +0900",
        "Thu, 29 Feb 1900 10:11:00 +0000", "Mon, 5 May 1997 24:00:00 +0000",
        "Mon, 5 May 1997 10:60:00 +0000", "Mon, 5 May 1997 10:11:00 +09", "5 May 1997",
        "Mon, 5 May 1997 10 +0900", "Mon, 5 May 12345 10:11:00 +0900", "1997-05-05 10:11:00"}) {
    EXPECT_EQ(read(value), "") << value;
  }
  EXPECT_EQ(AsctimeUtc(951825600), "Tue Feb 29 12:00:00 2000");
  EXPECT_EQ(AsctimeUtc(-1), "Wed Dec 31 23:59:59 1969");
  EXPECT_EQ(AsctimeUtc(-631152000), "Sun Jan  1 00:00:00 1950");
}

TEST(MailHeaderTest, StatusLinesLeaveTheHeaderAndReadStatusIsAddedAtItsEnd) {
  const std::string kMail = "From: a\r\nStatus: U\r\nSubject: b\r\n\r\nbody\r\nStatus: body\r\n";
  const struct {
    std::string text;
    bool add_status;
    std::string header, rest;
  } kCases[] = {
      {kMail, true, "From: a\r\nSubject: b\r\nStatus: R\r\n", "\r\nbody\r\nStatus: body\r\n"},
      {kMail, false, "From: a\r\nSubject: b\r\n", "\r\nbody\r\nStatus: body\r\n"},
      // The name in any case, but only with the colon right after it.
      {"STATUS: RO\r\nstatus:x\r\nStatus : kept\r\nX-Status: kept\r\nStatusbar: kept\r\n"
       "StAtUs: O\r\n\r\n",
       false, "Status : kept\r\nX-Status: kept\r\nStatusbar: kept\r\n", "\r\n"},
      // A folded line after a removed status line stays as a line of its own.
      {"Status: U\r\n\tcontinued\r\nTo: c\r\n\r\nx", false, "\tcontinued\r\nTo: c\r\n", "\r\nx"},
      // LF-only lines and lone CRs keep their bytes; a line starting with CR ends the header.
      {"A: 1\nStatus: U\nB: x\ry\n\nbody\n", true, "A: 1\nB: x\ry\nStatus: R\r\n", "\nbody\n"},
      {"A: 1\r\n\rB\r\n", false, "A: 1\r\n", "\rB\r\n"},
      // Text without an empty line is all header; an unended last line gets the line end the
      // header uses before the status line.
      {"A: 1\r\nStatus: O\r\n", true, "A: 1\r\nStatus: R\r\n", ""},
      {"A: 1\r\nB: 2", true, "A: 1\r\nB: 2\r\nStatus: R\r\n", ""},
      {"A: 1\r\nB: 2", false, "A: 1\r\nB: 2", ""},
      {"A: 1\r\nB: 2\r", true, "A: 1\r\nB: 2\r\nStatus: R\r\n", ""},
      {"B: 2\r", true, "B: 2\r\nStatus: R\r\n", ""},
      {"A: 1\nB: 2", true, "A: 1\nB: 2\nStatus: R\r\n", ""},
      {"A: 1\nB: 2\r", true, "A: 1\nB: 2\r\nStatus: R\r\n", ""},
      {"B: 2", true, "B: 2\r\nStatus: R\r\n", ""},
      {"A: 1\r\nB: x\ry", true, "A: 1\r\nB: x\ry\r\nStatus: R\r\n", ""},
      // An empty header.
      {"\r\nStatus: U\r\n", true, "Status: R\r\n", "\r\nStatus: U\r\n"},
      {"", true, "Status: R\r\n", ""},
      {"", false, "", ""},
      // NUL is an ordinary byte.
      {"A: 1\r\nB: 2\0x\r\nStatus: U\r\n\r\nbody"s, false, "A: 1\r\nB: 2\0x\r\n"s, "\r\nbody"},
  };
  for (const auto& c : kCases) {
    std::string header;
    size_t end = FilterStatusHeader(c.text, c.add_status, &header);
    EXPECT_EQ(header + "|" + c.text.substr(end), c.header + "|" + c.rest) << c.text;
  }
  // Only the text's own bytes are read, whatever follows them.
  std::string header;
  EXPECT_EQ(FilterStatusHeader(std::string_view("A: 1B", 4), false, &header), 4u);
}

}  // namespace
}  // namespace ferrolt
