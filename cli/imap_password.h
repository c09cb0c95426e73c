#ifndef FERROLT_CLI_IMAP_PASSWORD_H_
#define FERROLT_CLI_IMAP_PASSWORD_H_

// The IMAP password: FERROLT_IMAP_PASSWORD, else asked once on the terminal without echo. Never
// an argument, never shown; wiped when the run ends.

#include <string>

#include "imap/imap_session.h"

namespace ferrolt {

class PasswordKeeper {
 public:
  explicit PasswordKeeper(std::string prompt) : prompt_(std::move(prompt)) {}
  ~PasswordKeeper();
  PasswordKeeper(const PasswordKeeper&) = delete;
  PasswordKeeper& operator=(const PasswordKeeper&) = delete;

  // The source a session asks; the terminal is asked on the first call only.
  PasswordSource Source();

 private:
  bool Get(std::string* password, ImapFailure* failure);
  std::string prompt_;
  std::string password_;
  bool known_ = false;
};

}  // namespace ferrolt

#endif  // FERROLT_CLI_IMAP_PASSWORD_H_
