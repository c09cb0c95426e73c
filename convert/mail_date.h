#ifndef FERROLT_CONVERT_MAIL_DATE_H_
#define FERROLT_CONVERT_MAIL_DATE_H_

// When a message was sent, as its header tells. Dates are read as mail readers read them: RFC
// 5322 with its obsolete forms (two- and three-digit years, zone names and military letters,
// comments, no weekday, no seconds), the zone names of the 1990s (JST, CET ...), RFC 850's
// "Monday, 05-May-97 10:11:00 GMT" (also with a four-digit year), asctime's
// "Mon May  5 10:11:00 [JST] 1997", and times written 10.11.00.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace ferrolt {

struct MailDate {
  int year = 1970, month = 1, day = 1;  // as written, in the sender's zone
  int hour = 0, minute = 0, second = 0;
  int zone_minutes = 0;  // the sender's offset east of UTC
  int64_t unix_seconds = 0;
};

// False when `value` is not a date we can read; *date is then unchanged.
bool ParseMailDate(std::string_view value, MailDate* date);

// The moment `header` (a message's header, or the whole message) was sent: its Date field, else
// the date after the last ';' of the topmost Received field whose date can be read
// False, *unix_seconds unchanged, when neither can be read.
bool MessageInstant(std::string_view header, int64_t* unix_seconds);

// The moment given to mail whose header tells no date, the same in every output: the source
// mailbox's modification time (no message in it can be newer; it stays the same from run to run),
// or 1970-01-01 00:00:00 UTC when the system cannot tell it.
int64_t UndatedMailTime(File mailbox);

// "Mon May  5 01:11:00 1997": the moment in UTC in the C library's asctime form, as mbox
// "From " lines carry it.
std::string AsctimeUtc(int64_t unix_seconds);

// "1997-05-05 10:11 +0900": the date as the sender wrote it, for listings.
std::string ListingDate(const MailDate& date);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_MAIL_DATE_H_
