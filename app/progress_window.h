#ifndef FERROLT_APP_PROGRESS_WINDOW_H_
#define FERROLT_APP_PROGRESS_WINDOW_H_

// The window that shows a run's progress: the mailbox being read and a bar stepping per message.

#include <windows.h>

#include "convert/progress_sink.h"

namespace ferrolt {

// Open and Close belong on the window thread; the sink's calls come from the run thread and
// reach the window's controls as messages, which the window thread answers and paints.
class ProgressWindow final : public ProgressSink {
 public:
  // Creates the window from template FERROLT_PROGRESS_TEMPLATE + `dialog_set_offset`, with no
  // owner, and shows it.
  // False when the window cannot be made.
  bool Open(HINSTANCE instance, int dialog_set_offset);
  void Close();

  void SetLabel(const std::string& mailbox_name) override;
  void SetRange(uint32_t upper) override;
  void SetStep(uint32_t step) override;
  void SetPosition(uint32_t position) override;
  void StepIt() override;

 private:
  // The bar is told the position only when its filled part grows by a pixel: a mailbox of many
  // thousand messages would otherwise wait on the window thread once per message to draw the
  // same picture.
  void SendPositionWhenBarChanges();
  LRESULT SendToBar(UINT message, WPARAM wparam, LPARAM lparam);

  HWND window_ = nullptr;
  int64_t bar_pixels_ = 0;
  uint32_t upper_ = 100;  // the bar's own default range
  uint32_t step_ = 10;    // and step
  uint32_t position_ = 0;
  int64_t sent_pixels_ = -1;
};

}  // namespace ferrolt

#endif  // FERROLT_APP_PROGRESS_WINDOW_H_
