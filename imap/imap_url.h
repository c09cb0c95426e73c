#ifndef FERROLT_IMAP_IMAP_URL_H_
#define FERROLT_IMAP_IMAP_URL_H_

// imaps://USER@HOST[:PORT][/FOLDER] (TLS from the first byte) and
// imap://USER@HOST[:PORT][/FOLDER] (STARTTLS, which is then required).

#include <cstdint>
#include <string>

namespace ferrolt {

struct ImapUrl {
  bool tls_from_start = true;
  std::string user;  // %XX decoded
  std::string host;  // without the brackets of an IPv6 address
  uint16_t port = 993;
  std::string folder;  // UTF-8, %XX decoded; "From MS-IM" when the URL names none
};

// False when `text` is not such a URL.
bool ParseImapUrl(const std::string& text, ImapUrl* url);

// True when `host` is an IPv4 or IPv6 address rather than a name: the certificate must then
// carry that address.
bool IsIpAddress(const std::string& host);

}  // namespace ferrolt

#endif  // FERROLT_IMAP_IMAP_URL_H_
