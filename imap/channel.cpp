#include "imap/channel.h"

#include <fcntl.h>
#include <netdb.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "imap/imap_url.h"

namespace ferrolt {
namespace {

constexpr size_t kReadChunk = 16384;
// After a stop, how long the answers to what was sent may still take.
constexpr std::chrono::milliseconds kStopGrace{3000};

void Fail(ImapFailure* failure, ImapFailureKind kind, const std::string& detail) {
  failure->kind = kind;
  failure->detail = PrintableServerText(detail);
}

std::string TlsErrorText() {
  unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return "connection closed during the TLS handshake";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

// A non-blocking socket connected to one of the addresses, within the timeout.
int ConnectAny(addrinfo* addresses, int timeout_ms, std::string* error) {
  for (addrinfo* at = addresses; at != nullptr; at = at->ai_next) {
    int fd = socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, at->ai_protocol);
    if (fd < 0) continue;
    int result = connect(fd, at->ai_addr, at->ai_addrlen);
    if (result != 0 && errno == EINPROGRESS) {
      pollfd wait = {fd, POLLOUT, 0};
      int ready;
      do ready = poll(&wait, 1, timeout_ms);
      while (ready < 0 && errno == EINTR);
      int status = ready > 0 ? 0 : ETIMEDOUT;
      socklen_t size = sizeof status;
      if (ready > 0) getsockopt(fd, SOL_SOCKET, SO_ERROR, &status, &size);
      errno = status;
      result = status == 0 ? 0 : -1;
    }
    if (result == 0) return fd;
    *error = std::strerror(errno);
    close(fd);
  }
  return -1;
}

}  // namespace

std::string PrintableServerText(std::string_view text) {
  std::string printable;
  for (char c : text.substr(0, 300)) printable += c >= 0x20 && c <= 0x7E ? c : '?';
  return printable;
}

bool Channel::Connect(const std::string& host, uint16_t port, ImapFailure* failure) {
  Close();
  addrinfo hints = {};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = IsIpAddress(host) ? AI_NUMERICHOST : 0;
  addrinfo* addresses = nullptr;
  int error = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses);
  if (error != 0) {
    Fail(failure, ImapFailureKind::kConnection, host + ": " + gai_strerror(error));
    return false;
  }
  std::string reason = "no address";
  socket_ = ConnectAny(addresses, timeout_ms, &reason);
  freeaddrinfo(addresses);
  if (socket_ >= 0) return true;
  Fail(failure, ImapFailureKind::kConnection, host + ":" + std::to_string(port) + ": " + reason);
  return false;
}

bool Channel::ConfigureTls(const TlsSettings& settings, ImapFailure* failure) {
  context_ = SSL_CTX_new(TLS_client_method());
  if (context_ == nullptr) {
    Fail(failure, ImapFailureKind::kTls, TlsErrorText());
    return false;
  }
  SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
  SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
  int loaded = settings.ca_file.empty()
                   ? SSL_CTX_set_default_verify_paths(context_)
                   : SSL_CTX_load_verify_locations(context_, settings.ca_file.c_str(), nullptr);
  if (loaded != 1) {
    Fail(failure, ImapFailureKind::kCertificate, "cannot load CA certificates " + settings.ca_file);
    return false;
  }
  tls_ = SSL_new(context_);
  if (tls_ == nullptr || SSL_set_fd(tls_, socket_) != 1) {
    Fail(failure, ImapFailureKind::kTls, TlsErrorText());
    return false;
  }
  // The certificate must name the host the URL names: its address when that is an address.
  X509_VERIFY_PARAM* check = SSL_get0_param(tls_);
  X509_VERIFY_PARAM_set_hostflags(check, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  bool named = IsIpAddress(settings.host)
                   ? X509_VERIFY_PARAM_set1_ip_asc(check, settings.host.c_str()) == 1
                   : SSL_set1_host(tls_, settings.host.c_str()) == 1 &&
                         SSL_set_tlsext_host_name(tls_, settings.host.c_str()) == 1;
  if (!named) Fail(failure, ImapFailureKind::kTls, "cannot check the name " + settings.host);
  return named;
}

bool Channel::Handshake(ImapFailure* failure) {
  for (;;) {
    int result = SSL_connect(tls_);
    if (result == 1) return true;
    int error = SSL_get_error(tls_, result);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
      if (!WaitFor(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, failure)) return false;
      continue;
    }
    long verified = SSL_get_verify_result(tls_);
    if (verified != X509_V_OK) {
      ERR_clear_error();
      Fail(failure, ImapFailureKind::kCertificate, X509_verify_cert_error_string(verified));
    } else if (error == SSL_ERROR_SYSCALL || error == SSL_ERROR_ZERO_RETURN ||
               ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
      ERR_clear_error();  // the peer went away: a dropped connection like any other
      Fail(failure, ImapFailureKind::kConnection, "connection closed during the TLS handshake");
    } else {
      Fail(failure, ImapFailureKind::kTls, TlsErrorText());
    }
    return false;
  }
}

bool Channel::StartTls(const TlsSettings& settings, ImapFailure* failure) {
  if (!ConfigureTls(settings, failure) || !Handshake(failure)) {
    Close();
    return false;
  }
  return true;
}

bool Channel::WaitFor(short events, ImapFailure* failure) {
  pollfd wait = {socket_, events, 0};
  for (;;) {
    int timeout = timeout_ms;
    if (stop_requested != nullptr && stop_requested()) {
      auto now = std::chrono::steady_clock::now();
      if (give_up_at_ == std::chrono::steady_clock::time_point{}) give_up_at_ = now + kStopGrace;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(give_up_at_ - now);
      timeout = static_cast<int>(std::clamp<int64_t>(left.count(), 0, timeout_ms));
    }
    int ready = poll(&wait, 1, timeout);
    if (ready > 0) return true;
    if (ready < 0 && errno == EINTR) continue;  // a stop shortens the wait, see above
    Fail(failure, ImapFailureKind::kConnection,
         ready == 0 ? "the server did not answer in time" : std::strerror(errno));
    return false;
  }
}

bool Channel::Write(std::string_view bytes, ImapFailure* failure) {
  while (!bytes.empty()) {
    long written;
    int error = 0;
    if (tls_ != nullptr) {
      written =
          SSL_write(tls_, bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), 1 << 20)));
      if (written <= 0) error = SSL_get_error(tls_, static_cast<int>(written));
    } else {
      written = send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (written < 0) error = errno == EAGAIN || errno == EINTR ? SSL_ERROR_WANT_WRITE : -1;
    }
    if (written > 0) {
      bytes.remove_prefix(static_cast<size_t>(written));
    } else if (error == SSL_ERROR_WANT_WRITE || error == SSL_ERROR_WANT_READ) {
      if (!WaitFor(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, failure)) return false;
    } else {
      Fail(failure, ImapFailureKind::kConnection, "the connection was lost while sending");
      return false;
    }
  }
  return true;
}

bool Channel::Fill(ImapFailure* failure) {
  // What was taken is dropped, so the buffer holds at most one response and a chunk.
  if (buffer_start_ > 0) {
    buffered_.erase(0, buffer_start_);
    buffer_start_ = 0;
  }
  char chunk[kReadChunk];
  for (;;) {
    long got;
    int error = 0;
    if (tls_ != nullptr) {
      got = SSL_read(tls_, chunk, sizeof chunk);
      if (got <= 0) error = SSL_get_error(tls_, static_cast<int>(got));
    } else {
      got = recv(socket_, chunk, sizeof chunk, 0);
      if (got < 0) error = errno == EAGAIN || errno == EINTR ? SSL_ERROR_WANT_READ : -1;
    }
    if (got > 0) {
      buffered_.append(chunk, static_cast<size_t>(got));
      return true;
    }
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
      if (!WaitFor(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, failure)) return false;
      continue;
    }
    Fail(failure, ImapFailureKind::kConnection, "the server closed the connection");
    return false;
  }
}

bool Channel::ReadLine(std::string* line, size_t limit, ImapFailure* failure) {
  for (;;) {
    size_t end = buffered_.find('\n', buffer_start_);
    if (end != std::string::npos) {
      size_t stop = end > buffer_start_ && buffered_[end - 1] == '\r' ? end - 1 : end;
      line->assign(buffered_, buffer_start_, stop - buffer_start_);
      buffer_start_ = end + 1;
      return true;
    }
    if (buffered_.size() - buffer_start_ > limit) {
      Fail(failure, ImapFailureKind::kBadResponse, "a line longer than 1 MB");
      return false;
    }
    if (!Fill(failure)) return false;
  }
}

bool Channel::ReadBytes(size_t count, std::string* out, ImapFailure* failure) {
  while (buffered_.size() - buffer_start_ < count) {
    if (!Fill(failure)) return false;
  }
  out->append(buffered_, buffer_start_, count);
  buffer_start_ += count;
  return true;
}

bool Channel::InputWaiting() {
  if (!NothingBuffered()) return true;
  if (tls_ != nullptr && SSL_pending(tls_) > 0) return true;
  pollfd wait = {socket_, POLLIN, 0};
  return poll(&wait, 1, 0) > 0;
}

void Channel::Close() {
  if (tls_ != nullptr) SSL_free(tls_);
  if (context_ != nullptr) SSL_CTX_free(context_);
  if (socket_ != -1) close(socket_);
  tls_ = nullptr;
  context_ = nullptr;
  socket_ = -1;
  buffered_.clear();
  buffer_start_ = 0;
}

}  // namespace ferrolt
