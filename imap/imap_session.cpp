#include "imap/imap_session.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

#include "imap/imap_response.h"
#include "imap/mailbox_names.h"

namespace ferrolt {
namespace {

void Fail(ImapFailure* failure, ImapFailureKind kind, std::string_view detail) {
  failure->kind = kind;
  failure->detail = PrintableServerText(detail);
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return text;
}

// "* WORD ..." in any case.
bool IsUntagged(std::string_view response, std::string_view word) {
  if (response.size() < word.size() + 2 || response.substr(0, 2) != "* ") return false;
  return UpperCase(std::string(response.substr(2, word.size()))) == word;
}

bool AskCapabilities(ImapSession* session, ImapFailure* failure) {
  session->capabilities = " ";
  return RunCommand(
      session, "CAPABILITY",
      [session](std::string_view response) {
        if (IsUntagged(response, "CAPABILITY")) {
          session->capabilities = UpperCase(std::string(response.substr(12))) + " ";
        }
      },
      failure);
}

// The greeting: OK (not PREAUTH: a session authenticated before TLS cannot be trusted).
bool ReadGreeting(ImapSession* session, ImapFailure* failure) {
  std::string greeting;
  if (!ReadResponse(&session->channel, &greeting, failure)) return false;
  if (IsUntagged(greeting, "OK")) return true;
  Fail(failure,
       IsUntagged(greeting, "BYE") ? ImapFailureKind::kConnection : ImapFailureKind::kServerRefused,
       greeting);
  return false;
}

// imap:// : STARTTLS must be offered; bytes the server sent after its OK are not trusted.
bool UpgradeToTls(ImapSession* session, const TlsSettings& tls, ImapFailure* failure) {
  if (!AskCapabilities(session, failure)) return false;
  if (!HasCapability(*session, "STARTTLS")) {
    Fail(failure, ImapFailureKind::kNoStartTls, "");
    return false;
  }
  if (!RunCommand(session, "STARTTLS", nullptr, failure)) return false;
  if (!session->channel.NothingBuffered()) {
    Fail(failure, ImapFailureKind::kTls, "the server sent data ahead of the TLS handshake");
    return false;
  }
  return session->channel.StartTls(tls, failure);
}

std::string Base64(std::string_view bytes) {
  std::vector<unsigned char> out(4 * ((bytes.size() + 2) / 3) + 1);
  int length = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                               static_cast<int>(bytes.size()));
  std::string text(reinterpret_cast<char*>(out.data()), static_cast<size_t>(length));
  OPENSSL_cleanse(out.data(), out.size());
  return text;
}

// AUTHENTICATE PLAIN: any byte of a password goes through, and no quoting can go wrong.
bool LogIn(ImapSession* session, const std::string& user, const std::string& password,
           ImapFailure* failure) {
  std::string plain = std::string(1, '\0') + user + std::string(1, '\0') + password;
  std::string encoded = Base64(plain);
  OPENSSL_cleanse(plain.data(), plain.size());
  bool initial = HasCapability(*session, "SASL-IR");
  std::string tag = SendCommand(
      session, initial ? "AUTHENTICATE PLAIN " + encoded : "AUTHENTICATE PLAIN", failure);
  std::string status, tagged;
  bool answered = !tag.empty();
  if (answered && !initial) {
    std::string response;
    answered = ReadResponse(&session->channel, &response, failure) &&
               (response.substr(0, 1) != "+" || session->channel.Write(encoded + "\r\n", failure));
  }
  OPENSSL_cleanse(encoded.data(), encoded.size());
  if (!answered || !AwaitTagged(session, tag, nullptr, &status, &tagged, failure)) return false;
  if (status == "OK") return true;
  // The server's words are shown: never the password, should it quote it.
  std::string words = tagged.substr(tag.size() + 1);
  for (size_t at; !password.empty() && (at = words.find(password)) != std::string::npos;) {
    words.replace(at, password.size(), "***");
  }
  Fail(failure, ImapFailureKind::kLoginRefused, words);
  OPENSSL_cleanse(tagged.data(), tagged.size());
  return false;
}

bool AskSeparator(ImapSession* session, ImapFailure* failure) {
  return RunCommand(
      session, "LIST \"\" \"\"",
      [session](std::string_view response) {
        if (!IsUntagged(response, "LIST")) return;
        TokenReader reader(response.substr(7));
        Token token = reader.Next();
        while (token.kind != TokenKind::kClose && token.kind != TokenKind::kEnd) {
          token = reader.Next();
        }
        Token separator = reader.Next();
        session->separator = separator.kind == TokenKind::kString && separator.text.size() == 1
                                 ? separator.text[0]
                                 : 0;
      },
      failure);
}

}  // namespace

bool HasCapability(const ImapSession& session, std::string_view name) {
  return session.capabilities.find(" " + std::string(name) + " ") != std::string::npos;
}

std::string SendCommand(ImapSession* session, std::string_view text, ImapFailure* failure) {
  std::string tag = "F" + std::to_string(session->next_tag++);
  std::string line = tag + " " + std::string(text) + "\r\n";
  bool sent = session->channel.Write(line, failure);
  OPENSSL_cleanse(line.data(), line.size());
  return sent ? tag : std::string();
}

bool AwaitTagged(ImapSession* session, const std::string& tag, const UntaggedHandler& untagged,
                 std::string* status, std::string* tagged, ImapFailure* failure, size_t expected) {
  for (size_t count = 0; count <= expected + kMaxUntaggedResponses; ++count) {
    StopQuery stop = session->channel.stop_requested;
    if (stop != nullptr && stop()) {
      Fail(failure, ImapFailureKind::kConnection, "stopped");
      return false;
    }
    if (!ReadResponse(&session->channel, tagged, failure)) return false;
    *status = TaggedStatus(*tagged, tag);
    if (!status->empty()) return true;
    if (untagged) untagged(*tagged);
  }
  Fail(failure, ImapFailureKind::kBadResponse, "responses without end");
  return false;
}

bool RunCommand(ImapSession* session, std::string_view text, const UntaggedHandler& untagged,
                ImapFailure* failure, size_t expected) {
  std::string tag = SendCommand(session, text, failure);
  std::string status, tagged;
  if (tag.empty() || !AwaitTagged(session, tag, untagged, &status, &tagged, failure, expected)) {
    return false;
  }
  if (status == "OK") return true;
  Fail(failure, ImapFailureKind::kServerRefused, tagged.substr(tag.size() + 1));
  return false;
}

bool OpenSession(ImapSession* session, const ImapUrl& url, const std::string& ca_file,
                 const PasswordSource& password, ImapFailure* failure) {
  TlsSettings tls{url.host, ca_file};
  Channel& channel = session->channel;
  if (!channel.Connect(url.host, url.port, failure)) return false;
  session->reached = true;
  bool secured = url.tls_from_start
                     ? channel.StartTls(tls, failure) && ReadGreeting(session, failure)
                     : ReadGreeting(session, failure) && UpgradeToTls(session, tls, failure);
  if (!secured || !AskCapabilities(session, failure)) return false;
  std::string secret;
  if (!password(&secret, failure)) return false;
  bool logged_in = LogIn(session, url.user, secret, failure);
  OPENSSL_cleanse(secret.data(), secret.size());
  return logged_in && AskCapabilities(session, failure) && AskSeparator(session, failure);
}

void CloseSession(ImapSession* session) {
  if (session->channel.connected()) {
    ImapFailure ignored;
    session->channel.timeout_ms = 2000;
    RunCommand(session, "LOGOUT", nullptr, &ignored);
    session->channel.timeout_ms = 60000;
  }
  session->channel.Close();
}

bool EnsureFolder(ImapSession* session, const std::string& folder, ImapFailure* failure) {
  bool listed = false;
  std::string quoted = QuoteImapString(folder);
  auto find = [&](std::string_view response) {
    if (!IsUntagged(response, "LIST")) return;
    TokenReader reader(response.substr(7));
    Token token = reader.Next();
    while (token.kind != TokenKind::kClose && token.kind != TokenKind::kEnd) token = reader.Next();
    reader.Next();
    Token name = reader.Next();
    if (name.text == folder) listed = true;
  };
  if (!RunCommand(session, "LIST \"\" " + quoted, find, failure)) return false;
  if (listed) return true;
  if (!RunCommand(session, "CREATE " + quoted, nullptr, failure)) return false;
  ImapFailure ignored;  // a folder not subscribed is still there
  RunCommand(session, "SUBSCRIBE " + quoted, nullptr, &ignored);
  return true;
}

bool SelectFolder(ImapSession* session, const std::string& folder, SelectedFolder* selected,
                  ImapFailure* failure) {
  *selected = SelectedFolder{};
  auto note = [selected](std::string_view response) {
    std::string flags;
    if (ResponseCode(response, "PERMANENTFLAGS", &flags)) {
      selected->takes_deleted_keyword = flags.find("\\*") != std::string::npos ||
                                        UpperCase(flags).find("$DELETED") != std::string::npos;
    }
    TokenReader reader(response.size() > 2 ? response.substr(2) : std::string_view());
    Token count = reader.Next();
    if (UpperCase(reader.Next().text) == "EXISTS" && !count.text.empty()) {
      selected->exists = static_cast<uint32_t>(std::strtoul(count.text.c_str(), nullptr, 10));
    }
  };
  return RunCommand(session, "SELECT " + QuoteImapString(folder), note, failure);
}

}  // namespace ferrolt
