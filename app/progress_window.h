#ifndef FERROLT_APP_PROGRESS_WINDOW_H_
#define FERROLT_APP_PROGRESS_WINDOW_H_

// The window that shows a run's progress: the mailbox being read and a bar stepping per message.

#include <windows.h>

#include "convert/progress_sink.h"

namespace ferrolt {

class ProgressWindow final : public ProgressSink {
 public:
  // Creates the window from template 106 + `dialog_set_offset`, with no owner, and shows it.
  // False when the window cannot be made.
  bool Open(HINSTANCE instance, int dialog_set_offset);
  void Close();

  void SetLabel(const std::string& mailbox_name) override;
  void SetRange(uint32_t upper) override;
  void SetStep(uint32_t step) override;
  void SetPosition(uint32_t position) override;
  void StepIt() override;

 private:
  // The run holds the thread, so no message loop paints the window: paint it now.
  void Repaint();
  // Paints again only when the bar's filled part grows by a pixel: a mailbox of many thousand
  // messages would otherwise spend its time painting the same picture.
  void RepaintWhenBarChanges();
  LRESULT SendToBar(UINT message, WPARAM wparam, LPARAM lparam);

  HWND window_ = nullptr;
  uint32_t upper_ = 100;  // the bar's own default range
  uint32_t step_ = 10;    // and step
  uint32_t position_ = 0;
  int64_t painted_pixels_ = -1;
};

}  // namespace ferrolt

#endif  // FERROLT_APP_PROGRESS_WINDOW_H_
