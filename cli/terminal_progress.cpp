#include "cli/terminal_progress.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/terminal_text.h"
#include "platform/files.h"
#include "platform/terminal.h"

namespace ferrolt {
namespace {

constexpr int kBarWidth = 30;
constexpr size_t kLabelWidth = 32;

}  // namespace

bool StandardErrorIsSmartTerminal() {
  if (!IsTerminal(stderr)) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

void TerminalProgress::SetLabel(const std::string& mailbox_name) {
  // Notices are UTF-8; so is the label, whatever code page the name comes in.
  label_ = ShortenForTerminal(PathAsText(mailbox_name), kLabelWidth);
  upper_ = position_ = 0;  // drawn once the mailbox's count is known
}

void TerminalProgress::SetRange(uint32_t upper) {
  upper_ = upper;
  Draw(true);
}

void TerminalProgress::SetPosition(uint32_t position) {
  position_ = position;
  Draw(true);
}

void TerminalProgress::StepIt() {
  position_ += step_;
  Draw(false);
}

// Redraws only when the bar visibly moves: a terminal is slow next to a mailbox.
void TerminalProgress::Draw(bool force) {
  uint32_t shown = position_ > upper_ ? upper_ : position_;
  int percent = upper_ == 0 ? 100 : static_cast<int>(uint64_t{shown} * 100 / upper_);
  if (!force && percent == drawn_percent_) return;
  drawn_percent_ = percent;
  int filled = percent * kBarWidth / 100;
  char bar[kBarWidth + 1];
  for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
  bar[kBarWidth] = '\0';
  std::string padding(kLabelWidth - std::min(label_.size(), kLabelWidth), ' ');
  // Through the console's character API on Windows: the label is a Japanese name as often as not.
  WriteStreamText(stream_, "\r" + label_ + padding + " [" + bar + "] " + std::to_string(shown) +
                               "/" + std::to_string(upper_) + "\x1b[K");
  std::fflush(stream_);
  drawn_ = true;
}

void TerminalProgress::Finish() {
  if (!drawn_) return;
  WriteStreamText(stream_, "\r\x1b[K");
  std::fflush(stream_);
  drawn_ = false;
  drawn_percent_ = -1;
}

}  // namespace ferrolt
