#include "imap/existing_messages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "convert/mail_header.h"
#include "imap/imap_response.h"

namespace ferrolt {
namespace {

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t year_of_era = year - era * 400;
  int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

std::string WithoutWhiteSpace(std::string_view text) {
  std::string kept;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') kept += c;
  }
  return kept;
}

// Servers store and count line ends as CRLF: a bare LF counts two bytes, and so do the CRs
// before an LF that a server folds into one CRLF ("\r\r\n"), as Dovecot does.
uint64_t CanonicalSize(std::string_view message) {
  uint64_t size = 0;
  size_t carriage_returns = 0;
  for (char c : message) {
    if (c == '\r') {
      ++carriage_returns;
      continue;
    }
    size += c == '\n' ? 2 : carriage_returns + 1;
    carriage_returns = 0;
  }
  return size + carriage_returns;
}

std::string BucketName(const MessageKey& key) {
  return std::to_string(key.size) + " " + key.message_id;
}

// One "* N FETCH (...)" response into a key; false when it is not one.
bool KeyOfFetch(std::string_view response, MessageKey* key) {
  TokenReader reader(response);
  if (reader.Next().text != "*") return false;
  reader.Next();
  Token word = reader.Next();
  if ((word.text != "FETCH" && word.text != "fetch") || reader.Next().kind != TokenKind::kOpen) {
    return false;
  }
  for (Token name = reader.Next(); name.kind == TokenKind::kAtom; name = reader.Next()) {
    Token value = reader.Next();
    if (name.text == "RFC822.SIZE") {
      key->size = std::strtoull(value.text.c_str(), nullptr, 10);
    } else if (name.text == "INTERNALDATE") {
      key->dated = ParseInternalDate(value.text, &key->date);
    } else if (name.text.substr(0, 5) == "BODY[") {
      key->message_id = WithoutWhiteSpace(HeaderFieldValue(value.text, "Message-ID"));
    } else if (value.kind == TokenKind::kOpen) {
      return false;  // nothing we asked for is a list
    }
  }
  return true;
}

}  // namespace

MessageKey KeyOfMessage(std::string_view message, MailDate* date) {
  MessageKey key;
  key.size = CanonicalSize(message);
  std::string_view header = message.substr(0, HeaderEnd(message));
  key.message_id = WithoutWhiteSpace(HeaderFieldValue(header, "Message-ID"));
  key.dated = ParseMailDate(HeaderFieldValue(header, "Date"), date) && date->year >= 1000 &&
              date->year <= 9999;
  key.date = key.dated ? date->unix_seconds : 0;
  return key;
}

std::string FormatInternalDate(const MailDate& date) {
  int zone = date.zone_minutes < 0 ? -date.zone_minutes : date.zone_minutes;
  char text[40];
  std::snprintf(text, sizeof text, "%02d-%s-%04d %02d:%02d:%02d %c%02d%02d", date.day,
                kMonths[(date.month - 1) % 12], date.year, date.hour, date.minute, date.second,
                date.zone_minutes < 0 ? '-' : '+', zone / 60 % 100, zone % 60);
  return text;
}

bool ParseInternalDate(std::string_view text, int64_t* unix_seconds) {
  int day, year, hour, minute, second, zone;
  char month_name[4] = {}, sign;
  std::string copy(text.substr(0, 40));
  // Widths keep every field small: a server's nonsense cannot overflow the sum below.
  if (std::sscanf(copy.c_str(), "%2d-%3s-%4d %2d:%2d:%2d %c%4d", &day, month_name, &year, &hour,
                  &minute, &second, &sign, &zone) != 8 ||
      (sign != '+' && sign != '-')) {
    return false;
  }
  int month = 0;
  while (month < 12 && strcasecmp(kMonths[month], month_name) != 0) ++month;
  if (month == 12) return false;
  int64_t zone_seconds = (zone / 100 * 60 + zone % 100) * 60 * (sign == '-' ? -1 : 1);
  *unix_seconds = DaysFromCivil(year, month + 1, day) * 86400 + hour * 3600 + minute * 60 + second -
                  zone_seconds;
  return true;
}

void FolderContents::Add(const MessageKey& key) {
  ++by_size_and_id_[BucketName(key)];
  ++by_size_id_and_date_[BucketName(key) + " " + std::to_string(key.date)];
  ++count_;
}

bool FolderContents::TakeMatch(const MessageKey& key) {
  auto loose = by_size_and_id_.find(BucketName(key));
  if (loose == by_size_and_id_.end() || loose->second == 0) return false;
  if (key.dated) {
    auto exact = by_size_id_and_date_.find(BucketName(key) + " " + std::to_string(key.date));
    if (exact == by_size_id_and_date_.end() || exact->second == 0) return false;
    --exact->second;
  }
  --loose->second;
  return true;
}

bool FetchFolderContents(ImapSession* session, uint32_t exists, FolderContents* contents,
                         ImapFailure* failure) {
  if (exists == 0) return true;
  // One key a message: what the server claims the folder holds bounds what is kept of it.
  constexpr uint32_t kLargestFolder = 2000000;
  return RunCommand(
      session, "FETCH 1:* (RFC822.SIZE INTERNALDATE BODY.PEEK[HEADER.FIELDS (MESSAGE-ID)])",
      [contents](std::string_view response) {
        MessageKey key;
        if (KeyOfFetch(response, &key)) contents->Add(key);
      },
      failure, std::min(exists, kLargestFolder));
}

}  // namespace ferrolt
