#ifndef FERROLT_IMAP_CHANNEL_H_
#define FERROLT_IMAP_CHANNEL_H_

// A TCP connection to the server, plain until StartTls, then through OpenSSL with the
// certificate and the host name (or address) verified. Every wait is bounded by a timeout, and a
// signal never breaks a transfer half way: the run checks for a stop between messages. Once a
// stop is asked, the waits end within a few seconds, answered or not.

#include <openssl/ssl.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/conversion_run.h"
#include "imap/imap_failure.h"

namespace ferrolt {

struct TlsSettings {
  std::string host;     // name or address the certificate must carry
  std::string ca_file;  // empty: the system's trusted certificates
};

class Channel {
 public:
  Channel() = default;
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;
  ~Channel() { Close(); }

  // Each returns false with *failure set.
  bool Connect(const std::string& host, uint16_t port, ImapFailure* failure);
  // The handshake; a certificate that does not verify is kCertificate with the reason.
  bool StartTls(const TlsSettings& settings, ImapFailure* failure);
  bool Write(std::string_view bytes, ImapFailure* failure);
  // One line without its CRLF; a line longer than `limit` is a failure.
  bool ReadLine(std::string* line, size_t limit, ImapFailure* failure);
  // Appends exactly `count` bytes to *out.
  bool ReadBytes(size_t count, std::string* out, ImapFailure* failure);
  // True when input has arrived that a read would return without waiting.
  bool InputWaiting();
  // False when bytes arrived that nobody asked for yet (they must not cross into TLS).
  bool NothingBuffered() const { return buffered_.size() == buffer_start_; }
  bool connected() const { return socket_ != -1; }
  void Close();

  int timeout_ms = 60000;
  StopQuery stop_requested = nullptr;

 private:
  bool Fill(ImapFailure* failure);
  bool WaitFor(short events, ImapFailure* failure);
  bool ConfigureTls(const TlsSettings& settings, ImapFailure* failure);
  bool Handshake(ImapFailure* failure);

  int socket_ = -1;
  SSL_CTX* context_ = nullptr;
  SSL* tls_ = nullptr;
  std::string buffered_;
  size_t buffer_start_ = 0;
  std::chrono::steady_clock::time_point give_up_at_{};  // set by the first stop seen
};

}  // namespace ferrolt

#endif  // FERROLT_IMAP_CHANNEL_H_
