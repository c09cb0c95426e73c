#ifndef FERROLT_IMAP_IMAP_SESSION_H_
#define FERROLT_IMAP_IMAP_SESSION_H_

// One logged-in IMAP session: connecting, TLS (from the first byte or through STARTTLS), login,
// and the few commands an upload needs besides APPEND (imap/upload.h pipelines those).

#include <functional>
#include <string>
#include <string_view>

#include "imap/channel.h"
#include "imap/imap_url.h"

namespace ferrolt {

// Gives the password; false when there is none (the failure is then set).
using PasswordSource = std::function<bool(std::string* password, ImapFailure* failure)>;
using UntaggedHandler = std::function<void(std::string_view response)>;

struct ImapSession {
  Channel channel;
  int next_tag = 1;
  std::string capabilities;  // " CAP1 CAP2 ... " in upper case
  char separator = 0;        // the hierarchy separator; 0 for a server without hierarchy
  bool reached = false;      // the server took the TCP connection: a failure after is a drop
};

// Connects, secures and logs in as the URL says, then asks the hierarchy separator. No password
// leaves before the channel is encrypted and the certificate verified.
bool OpenSession(ImapSession* session, const ImapUrl& url, const std::string& ca_file,
                 const PasswordSource& password, ImapFailure* failure);
void CloseSession(ImapSession* session);  // LOGOUT when still connected, without waiting long

bool HasCapability(const ImapSession& session, std::string_view name);

// Sends "TAG text\r\n"; the tag, or "" on failure.
std::string SendCommand(ImapSession* session, std::string_view text, ImapFailure* failure);
// Reads up to the tagged response to `tag`, handing untagged ones on (`expected` of them, and
// kMaxUntaggedResponses more); *status is OK, NO or BAD and *tagged the whole response. False
// when the connection failed, the server sent too much, or a stop was asked.
bool AwaitTagged(ImapSession* session, const std::string& tag, const UntaggedHandler& untagged,
                 std::string* status, std::string* tagged, ImapFailure* failure,
                 size_t expected = 0);
// A command that must succeed: NO or BAD becomes kServerRefused with the server's words.
bool RunCommand(ImapSession* session, std::string_view text, const UntaggedHandler& untagged,
                ImapFailure* failure, size_t expected = 0);

// Makes sure the folder (its name as sent) exists, creating and subscribing it when missing.
bool EnsureFolder(ImapSession* session, const std::string& folder, ImapFailure* failure);

struct SelectedFolder {
  uint32_t exists = 0;
  bool takes_deleted_keyword = false;  // PERMANENTFLAGS allow \* or $Deleted
};
bool SelectFolder(ImapSession* session, const std::string& folder, SelectedFolder* selected,
                  ImapFailure* failure);

}  // namespace ferrolt

#endif  // FERROLT_IMAP_IMAP_SESSION_H_
