#include "imap/imap_url.h"

#include <arpa/inet.h>

#include <string_view>

namespace ferrolt {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// False on a broken %XX or a decoded NUL, which no user name or folder can hold.
bool PercentDecode(std::string_view text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      *out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
    *out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

bool ParsePort(std::string_view text, uint16_t* port) {
  if (text.empty() || text.size() > 5) return false;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value == 0 || value > 65535) return false;
  *port = static_cast<uint16_t>(value);
  return true;
}

// HOST or [IPV6], then an optional :PORT.
bool ParseHostPort(std::string_view text, ImapUrl* url) {
  size_t host_end;
  if (!text.empty() && text[0] == '[') {
    host_end = text.find(']');
    if (host_end == std::string_view::npos) return false;
    url->host = std::string(text.substr(1, host_end - 1));
    if (!IsIpAddress(url->host)) return false;
    ++host_end;
  } else {
    host_end = text.find(':');
    if (host_end == std::string_view::npos) host_end = text.size();
    url->host = std::string(text.substr(0, host_end));
  }
  if (url->host.empty() || url->host.find_first_of("@/ \t") != std::string::npos) return false;
  if (host_end == text.size()) return true;
  return text[host_end] == ':' && ParsePort(text.substr(host_end + 1), &url->port);
}

}  // namespace

bool ParseImapUrl(const std::string& text, ImapUrl* url) {
  std::string_view rest(text);
  if (rest.substr(0, 8) == "imaps://") {
    url->tls_from_start = true;
    url->port = 993;
    rest.remove_prefix(8);
  } else if (rest.substr(0, 7) == "imap://") {
    url->tls_from_start = false;
    url->port = 143;
    rest.remove_prefix(7);
  } else {
    return false;
  }
  size_t slash = rest.find('/');
  std::string_view authority = rest.substr(0, slash);
  size_t at = authority.rfind('@');
  if (at == std::string_view::npos || at == 0) return false;
  if (!PercentDecode(authority.substr(0, at), &url->user)) return false;
  if (!ParseHostPort(authority.substr(at + 1), url)) return false;
  url->folder = "From MS-IM";
  if (slash == std::string_view::npos || slash + 1 == rest.size()) return true;
  return PercentDecode(rest.substr(slash + 1), &url->folder) && !url->folder.empty();
}

bool IsIpAddress(const std::string& host) {
  unsigned char address[16];
  return inet_pton(AF_INET, host.c_str(), address) == 1 ||
         inet_pton(AF_INET6, host.c_str(), address) == 1;
}

}  // namespace ferrolt
