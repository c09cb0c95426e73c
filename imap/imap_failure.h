#ifndef FERROLT_IMAP_IMAP_FAILURE_H_
#define FERROLT_IMAP_IMAP_FAILURE_H_

// Why an upload stopped. imap/ never prints: the front end turns a failure into its one notice.

#include <string>
#include <string_view>

namespace ferrolt {

enum class ImapFailureKind {
  kNone,
  kConnection,     // could not connect, dropped, timed out, or the server said BYE: retried
  kCertificate,    // the server's certificate did not verify; detail says why
  kTls,            // the TLS handshake failed for another reason
  kNoStartTls,     // imap:// and the server offers no STARTTLS: nothing was sent
  kLoginRefused,   // never retried: servers lock accounts
  kQuota,          // the server's quota is full
  kServerRefused,  // the server answered NO or BAD to something it must accept
  kNoPassword,     // none in the environment and no terminal to ask on, or the asking stopped
  kBadResponse,    // the server sent what no IMAP server sends (over-long, endless): not retried
};

struct ImapFailure {
  ImapFailureKind kind = ImapFailureKind::kNone;
  std::string detail;  // the server's or the TLS library's words, as printable ASCII
};

// `text` with everything but printable ASCII written as '?', cut to 300 bytes: what a server says
// is shown to the user, and it must not drive the terminal.
std::string PrintableServerText(std::string_view text);

}  // namespace ferrolt

#endif  // FERROLT_IMAP_IMAP_FAILURE_H_
