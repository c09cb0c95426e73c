#include "convert/mail_date.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/ascii.h"
#include "convert/mail_header.h"
#include "platform/mail_files.h"

namespace ferrolt {
namespace {

constexpr const char* kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                   "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kDayNames[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};

struct NamedZone {
  const char* name;
  int minutes;
};
// RFC 822's zone names, and the names of other zones that mail of the time wrote. CST is the
// American one, as RFC 822 has it.
constexpr NamedZone kZones[] = {
    {"ut", 0},     {"utc", 0},    {"gmt", 0},     {"z", 0},       {"wet", 0},    {"bst", 60},
    {"cet", 60},   {"met", 60},   {"mez", 60},    {"cest", 120},  {"mest", 120}, {"mesz", 120},
    {"eet", 120},  {"eest", 180}, {"msk", 180},   {"hkt", 480},   {"sgt", 480},  {"awst", 480},
    {"jst", 540},  {"kst", 540},  {"acst", 570},  {"aest", 600},  {"aedt", 660}, {"nzst", 720},
    {"nzdt", 780}, {"hst", -600}, {"akst", -540}, {"akdt", -480}, {"pst", -480}, {"pdt", -420},
    {"mst", -420}, {"mdt", -360}, {"cst", -360},  {"cdt", -300},  {"est", -300}, {"edt", -240},
    {"ast", -240}, {"adt", -180}, {"nst", -210},  {"ndt", -150},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsSign(char c) { return c == '+' || c == '-' || c == ':' || c == ',' || c == '.'; }

// Splits the value into words of letters, numbers and the signs + - : , . dropping white space
// and (nested) comments.
std::vector<std::string> Words(std::string_view value) {
  std::vector<std::string> words;
  int comment_depth = 0;
  std::string word;
  auto flush = [&] {
    if (!word.empty()) words.push_back(word);
    word.clear();
  };
  for (char c : value) {
    if (c == '(' || (c == ')' && comment_depth > 0)) {
      flush();
      comment_depth += c == '(' ? 1 : -1;
    } else if (comment_depth > 0) {
      continue;
    } else if (IsDigit(c) || IsLetter(c)) {
      bool kind_changes = !word.empty() && IsDigit(word.back()) != IsDigit(c);
      if (kind_changes) flush();
      word += ascii::ToLower(c);
    } else {
      flush();
      if (IsSign(c)) words.push_back(std::string(1, c));
    }
  }
  flush();
  return words;
}

// A number of `min_digits` to `max_digits` digits.
bool ToNumber(const std::string& word, size_t min_digits, size_t max_digits, int* number) {
  if (word.size() < min_digits || word.size() > max_digits || !IsDigit(word[0])) return false;
  *number = 0;
  for (char c : word) *number = *number * 10 + (c - '0');
  return true;
}

int MonthNumber(const std::string& word) {
  for (int i = 0; i < 12; ++i) {
    if (word.size() >= 3 && word.compare(0, 3, kMonths[i]) == 0) return i + 1;
  }
  return 0;
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t year_of_era = year - era * 400;
  int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Reads "[day,] d month year hh:mm[:ss] [zone]" with '-' or '.' allowed between the date's parts
// (RFC 850 writes 05-May-97) and '.' between the time's, and the asctime form
// "day month d hh:mm:ss [zone] year [zone]". Anything after the date is ignored.
class DateReader {
 public:
  explicit DateReader(std::vector<std::string> words) : words_(std::move(words)) {}

  bool Read(MailDate* date) {
    SkipDayName();
    if (MonthNumber(Peek()) != 0) return ReadAsctime(date);
    if (!Number(1, 2, &date->day)) return false;
    Skip("-", ".");
    date->month = MonthNumber(Next());
    Skip("-", ".");
    if (date->month == 0 || !Year(&date->year) || !Time(date)) return false;
    return Zone(&date->zone_minutes);
  }

 private:
  bool ReadAsctime(MailDate* date) {
    date->month = MonthNumber(Next());
    if (!Number(1, 2, &date->day) || !Time(date)) return false;
    bool zoned =
        (IsLetter(Peek()[0]) || Peek() == "+" || Peek() == "-") && Zone(&date->zone_minutes);
    if (!Year(&date->year)) return false;
    return zoned || Zone(&date->zone_minutes);
  }

  const std::string& Peek() const {
    static const std::string kNone(1, '\0');
    return at_ < words_.size() ? words_[at_] : kNone;
  }
  const std::string& Next() {
    const std::string& word = Peek();
    ++at_;
    return word;
  }
  void Skip(const char* one, const char* other) {
    if (Peek() == one || Peek() == other) ++at_;
  }
  bool Number(size_t min_digits, size_t max_digits, int* number) {
    return ToNumber(Next(), min_digits, max_digits, number);
  }

  void SkipDayName() {
    if (IsLetter(Peek()[0]) && MonthNumber(Peek()) == 0) ++at_;
    Skip(",", ".");
  }

  // Two-digit years are 1950 to 2049; three-digit ones count from 1900.
  bool Year(int* year) {
    const std::string& word = Next();
    if (!ToNumber(word, 2, 4, year)) return false;
    if (word.size() == 2) *year += *year < 50 ? 2000 : 1900;
    if (word.size() == 3) *year += 1900;
    return true;
  }

  // "hh:mm" or "hh:mm:ss", the parts split by ':' or '.'.
  bool Time(MailDate* date) {
    if (!Number(1, 2, &date->hour) || !IsTimeSign(Next()) || !Number(2, 2, &date->minute)) {
      return false;
    }
    if (!IsTimeSign(Peek())) return true;
    ++at_;
    return Number(2, 2, &date->second);
  }
  static bool IsTimeSign(const std::string& word) { return word == ":" || word == "."; }

  // "+hhmm" or "-hhmm", a zone name (possibly followed by "+hhmm", which wins), or nothing. A
  // missing or unknown zone, military letters among them, reads as UTC, as RFC 5322 asks.
  bool Zone(int* minutes) {
    *minutes = 0;
    if (IsLetter(Peek()[0])) {
      const std::string& name = Next();
      for (const NamedZone& zone : kZones) {
        if (name == zone.name) *minutes = zone.minutes;
      }
    }
    if (Peek() != "+" && Peek() != "-") return true;
    bool west = Next() == "-";
    int hhmm = 0;
    if (!Number(4, 4, &hhmm) || hhmm % 100 > 59) return false;
    *minutes = (west ? -1 : 1) * (hhmm / 100 * 60 + hhmm % 100);
    return true;
  }

  std::vector<std::string> words_;
  size_t at_ = 0;
};

bool InRange(const MailDate& date) {
  return date.year >= 1900 && date.year <= 9999 && date.month >= 1 && date.month <= 12 &&
         date.day >= 1 && date.day <= DaysInMonth(date.year, date.month) && date.hour <= 23 &&
         date.minute <= 59 && date.second <= 60;
}

}  // namespace

bool ParseMailDate(std::string_view value, MailDate* date) {
  MailDate read;
  if (!DateReader(Words(value)).Read(&read) || !InRange(read)) return false;
  int64_t days = DaysFromCivil(read.year, read.month, read.day);
  read.unix_seconds = days * 86400 + read.hour * 3600 + read.minute * 60 + read.second -
                      int64_t{read.zone_minutes} * 60;
  *date = read;
  return true;
}

bool MessageInstant(std::string_view header, int64_t* unix_seconds) {
  MailDate date;
  bool dated = ParseMailDate(HeaderFieldValue(header, "Date"), &date);
  // Each relay puts its Received field on top, the date after the field's last ';'.
  for (const std::string& received : HeaderFieldValues(header, "Received")) {
    if (dated) break;
    size_t semicolon = received.rfind(';');
    dated = semicolon != std::string::npos &&
            ParseMailDate(std::string_view(received).substr(semicolon + 1), &date);
  }
  if (dated) *unix_seconds = date.unix_seconds;
  return dated;
}

int64_t UndatedMailTime(File mailbox) {
  int64_t modified = 0;
  if (!FileModifiedTime(mailbox, &modified).ok()) return 0;
  return modified;
}

std::string AsctimeUtc(int64_t unix_seconds) {
  int64_t days = unix_seconds / 86400, seconds = unix_seconds % 86400;
  if (seconds < 0) {
    seconds += 86400;
    --days;
  }
  // Civil date from days since 1970-01-01 (the inverse of DaysFromCivil).
  int64_t z = days + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t day_of_era = z - era * 146097;
  int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  int64_t mp = (5 * day_of_year + 2) / 153;
  int day = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
  int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  int64_t year = year_of_era + era * 400 + (month <= 2);
  int weekday = static_cast<int>(((days % 7) + 7) % 7);
  char text[64];
  std::snprintf(text, sizeof text, "%s %s %2d %02d:%02d:%02d %lld", kDayNames[weekday],
                kMonthNames[month - 1], day, static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60),
                static_cast<long long>(year));
  return text;
}

std::string ListingDate(const MailDate& date) {
  char text[64];
  int zone = date.zone_minutes < 0 ? -date.zone_minutes : date.zone_minutes;
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d %c%02d%02d", date.year, date.month,
                date.day, date.hour, date.minute, date.zone_minutes < 0 ? '-' : '+', zone / 60,
                zone % 60);
  return text;
}

}  // namespace ferrolt
