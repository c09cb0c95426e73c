#ifndef FERROLT_CONVERT_PROGRESS_SINK_H_
#define FERROLT_CONVERT_PROGRESS_SINK_H_

// What a run shows while it works: the mailbox being read and a bar that steps per message.
// The Windows program's progress window, a bar on a terminal, or a recorder in tests.

#include <cstdint>
#include <string>

namespace ferrolt {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetLabel(const std::string& mailbox_name) = 0;
  // The bar runs from 0 to `upper`, the mailbox's message count (full 32 bits: a 16-bit range
  // would wrap for mailboxes of more than 65535 messages).
  virtual void SetRange(uint32_t upper) = 0;
  virtual void SetStep(uint32_t step) = 0;
  virtual void SetPosition(uint32_t position) = 0;
  virtual void StepIt() = 0;
};

// Shows nothing.
class SilentProgress final : public ProgressSink {
 public:
  void SetLabel(const std::string&) override {}
  void SetRange(uint32_t) override {}
  void SetStep(uint32_t) override {}
  void SetPosition(uint32_t) override {}
  void StepIt() override {}
};

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_PROGRESS_SINK_H_
