#ifndef FERROLT_CLI_TERMINAL_PROGRESS_H_
#define FERROLT_CLI_TERMINAL_PROGRESS_H_

// A one-line progress bar on stderr, redrawn in place: the mailbox name and a bar that moves
// per message. Used only when stderr is a terminal.

#include <cstdint>
#include <cstdio>
#include <string>

#include "convert/progress_sink.h"

namespace ferrolt {

class TerminalProgress final : public ProgressSink {
 public:
  explicit TerminalProgress(std::FILE* stream = stderr) : stream_(stream) {}
  // The name is shown with its control characters escaped.
  void SetLabel(const std::string& mailbox_name) override;
  void SetRange(uint32_t upper) override;
  void SetStep(uint32_t step) override { step_ = step; }
  void SetPosition(uint32_t position) override;
  void StepIt() override;
  // Clears the bar's line when a bar is drawn, so that what follows starts on a clean one.
  void Finish();

 private:
  void Draw(bool force);

  std::FILE* stream_;
  bool drawn_ = false;
  std::string label_;
  uint32_t upper_ = 0, step_ = 1, position_ = 0;
  int drawn_percent_ = -1;
};

// True when stderr is a terminal that understands redrawing a line.
bool StandardErrorIsSmartTerminal();

}  // namespace ferrolt

#endif  // FERROLT_CLI_TERMINAL_PROGRESS_H_
