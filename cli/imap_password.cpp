#include "cli/imap_password.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace ferrolt {
namespace {

constexpr size_t kLongestPassword = 4096;

// One line from the terminal with echo off (restored on every path); false when there is no
// terminal, or a signal or the end of input came first.
bool AskTerminal(const std::string& prompt, std::string* answer) {
  int tty = open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (tty < 0) return false;
  termios saved;
  bool have_terminal = tcgetattr(tty, &saved) == 0;
  if (have_terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    have_terminal = tcsetattr(tty, TCSAFLUSH, &quiet) == 0;
  }
  bool complete = false;
  if (have_terminal && write(tty, prompt.data(), prompt.size()) >= 0) {
    char c;
    while (answer->size() < kLongestPassword && read(tty, &c, 1) == 1) {
      if (c == '\n' || c == '\r') {
        complete = true;
        break;
      }
      *answer += c;
    }
    tcsetattr(tty, TCSAFLUSH, &saved);
  }
  close(tty);
  return complete;
}

}  // namespace

PasswordKeeper::~PasswordKeeper() { OPENSSL_cleanse(password_.data(), password_.size()); }

PasswordSource PasswordKeeper::Source() {
  return [this](std::string* password, ImapFailure* failure) { return Get(password, failure); };
}

bool PasswordKeeper::Get(std::string* password, ImapFailure* failure) {
  if (!known_) {
    const char* from_environment = std::getenv("FERROLT_IMAP_PASSWORD");
    if (from_environment != nullptr) {
      password_ = from_environment;
      known_ = true;
    } else {
      known_ = AskTerminal(prompt_, &password_);
    }
  }
  if (!known_) {
    OPENSSL_cleanse(password_.data(), password_.size());
    password_.clear();
    failure->kind = ImapFailureKind::kNoPassword;
    return false;
  }
  *password = password_;
  return true;
}

}  // namespace ferrolt
