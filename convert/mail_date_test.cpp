#include "convert/mail_date.h"

#include <gtest/gtest.h>

#include <string>

namespace ferrolt {
namespace {

TEST(MailDateTest, ReadsTheFormsMailOfTheTimeUsed) {
  struct Case {
    const char* value;
    int64_t unix_seconds;
    int zone_minutes;
  };
  const Case cases[] = {
      {"Mon, 5 May 1997 10:11:00 +0900", 862794660, 540},
      {"Mon, 05 May 97 10:11:00 +0900 (JST)", 862794660, 540},
      {"5 May 1997 10:11 +0900", 862794660, 540},  // no day name, no seconds
      {"Mon,5 May 1997 10:11:00 JST", 862794660, 540},
      {"Sun, 4 May 1997 20:11:00 EST", 862794660, -300},
      {"Mon, 5 May 1997 01:11:00 GMT", 862794660, 0},
      {"Mon, 5 May 1997 01:11:00", 862794660, 0},        // no zone: UTC
      {"Mon, 5 May 1997 01:11:00 X", 862794660, 0},      // military letter: UTC
      {"mon, 5 may 1997 01:11:00 -0000", 862794660, 0},  // case ignored
      {"Fri, 31 Dec 49 23:59:59 +0000", 2524607999, 0},  // two digits: 2049
      {"Sun, 1 Jan 50 00:00:00 +0000", -631152000, 0},   // two digits: 1950
      {"Tue, 29 Feb 2000 12:00:00 (noon (really)) +0000", 951825600, 0},
      {"Mon, 5 May 097 01:11:00 +0000", 862794660, 0},    // three digits from 1900
      {"SAT, 31 Oct 1998 00:00:00 +0000", 909792000, 0},  // capitals; the month's last day
      {"  Mon ,  5  May  1997  10:41:00  +0930 ", 862794660, 570},
  };
  for (const Case& c : cases) {
    MailDate date;
    ASSERT_TRUE(ParseMailDate(c.value, &date)) << c.value;
    EXPECT_EQ(date.unix_seconds, c.unix_seconds) << c.value;
    EXPECT_EQ(date.zone_minutes, c.zone_minutes) << c.value;
  }
}

TEST(MailDateTest, RefusesWhatIsNoDate) {
  for (const char* value :
       {"", "yesterday", "Mon, 5 Mai 1997 10:11:00 +0900", "Mon, 32 May 1997 10:11:00 +0900",
        "Thu, 29 Feb 1900 10:11:00 +0000", "Mon, 5 May 1997 24:00:00 +0000",
        "Mon, 5 May 1997 10:60:00 +0000", "Mon, 5 May 1997 10:11:00 +09", "5 May 1997",
        "Mon, 5 May 1997 10 +0900", "Mon, 5 May 12345 10:11:00 +0900", "1997-05-05 10:11:00"}) {
    MailDate date;
    date.year = 1234;
    EXPECT_FALSE(ParseMailDate(value, &date)) << value;
    EXPECT_EQ(date.year, 1234) << "left unchanged: " << value;
  }
}

// The mbox tests meet 1970 and 1997 in their From lines.
TEST(MailDateTest, AsctimeIsInUtcBefore1970AndOnALeapDay) {
  EXPECT_EQ(AsctimeUtc(951825600), "Tue Feb 29 12:00:00 2000");
  EXPECT_EQ(AsctimeUtc(-1), "Wed Dec 31 23:59:59 1969");
  EXPECT_EQ(AsctimeUtc(-631152000), "Sun Jan  1 00:00:00 1950");
}

TEST(MailDateTest, ListingShowsTheDateAsWritten) {
  MailDate date;
  ASSERT_TRUE(ParseMailDate("Sun, 4 May 1997 20:11:07 -0330", &date));
  EXPECT_EQ(ListingDate(date), "1997-05-04 20:11 -0330");
}

}  // namespace
}  // namespace ferrolt
