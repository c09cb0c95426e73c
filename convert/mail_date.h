#ifndef FERROLT_CONVERT_MAIL_DATE_H_
#define FERROLT_CONVERT_MAIL_DATE_H_

// The Date header of a message: RFC 5322 dates, with the obsolete forms mail of the 1990s used
// (two-digit years, zone names such as JST or EST, no seconds, comments).

#include <cstdint>
#include <string>
#include <string_view>

namespace ferrolt {

struct MailDate {
  int year = 1970, month = 1, day = 1;  // as written, in the sender's zone
  int hour = 0, minute = 0, second = 0;
  int zone_minutes = 0;  // the sender's offset east of UTC
  int64_t unix_seconds = 0;
};

// False when `value` is not a date we can read; *date is then unchanged.
bool ParseMailDate(std::string_view value, MailDate* date);

// "Mon May  5 01:11:00 1997": the moment in UTC in the C library's asctime form, as mbox
// "From " lines carry it.
std::string AsctimeUtc(int64_t unix_seconds);

// "1997-05-05 10:11 +0900": the date as the sender wrote it, for listings.
std::string ListingDate(const MailDate& date);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_MAIL_DATE_H_
