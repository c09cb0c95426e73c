#ifndef FERROLT_IMAP_EXISTING_MESSAGES_H_
#define FERROLT_IMAP_EXISTING_MESSAGES_H_

// How a rerun knows what a folder already holds, without adding a byte to any message: a
// message is on the server when a message of the folder has the same size (counted with CRLF
// line ends, as servers store and count them), the same Message-ID (or none on both), and, when we
// gave it an INTERNALDATE from its Date header, that same moment. The folder's list is fetched once
// per session, and each message found there stands for one source message only, so a store that
// holds the same message twice gets it twice.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "convert/mail_date.h"
#include "imap/imap_session.h"

namespace ferrolt {

struct MessageKey {
  uint64_t size = 0;
  std::string message_id;  // without white space; empty when there is none
  bool dated = false;
  int64_t date = 0;  // unix seconds
};

// The key of a source message: its Date header read by the rules mbox and Maildir use.
MessageKey KeyOfMessage(std::string_view message, MailDate* date);

// What APPEND sends: "05-May-1997 10:11:00 +0900", the date as its sender wrote it.
std::string FormatInternalDate(const MailDate& date);
// False when `text` is not an INTERNALDATE.
bool ParseInternalDate(std::string_view text, int64_t* unix_seconds);

class FolderContents {
 public:
  void Add(const MessageKey& key);
  // True, once per message of the folder, when one with this key is there.
  bool TakeMatch(const MessageKey& key);
  size_t count() const { return count_; }

 private:
  // How many messages of the folder are still unclaimed, by size and Message-ID, and by those
  // and INTERNALDATE: constant work per message, whatever the store holds.
  std::unordered_map<std::string, size_t> by_size_and_id_;
  std::unordered_map<std::string, size_t> by_size_id_and_date_;
  size_t count_ = 0;
};

// The selected folder's messages (`exists` of them), in one FETCH.
bool FetchFolderContents(ImapSession* session, uint32_t exists, FolderContents* contents,
                         ImapFailure* failure);

}  // namespace ferrolt

#endif  // FERROLT_IMAP_EXISTING_MESSAGES_H_
