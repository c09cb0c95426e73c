#ifndef FERROLT_APP_WINDOW_FRONT_END_H_
#define FERROLT_APP_WINDOW_FRONT_END_H_

// The run's view of the main window: the target client, the Save dialog and the progress window.
// Made and called on the run thread; whatever makes or shows a window is handed to the window
// thread.

#include <windows.h>

#include <atomic>
#include <string>

#include "app/progress_window.h"
#include "convert/runs.h"

namespace ferrolt {

class WindowRunFrontEnd final : public RunFrontEnd {
 public:
  // `close_requested` is the window's request to stop, which a close during the Save dialog
  // turns into a cancel.
  WindowRunFrontEnd(HWND main_window, HINSTANCE instance, int dialog_set_offset,
                    const std::atomic<bool>* close_requested);

  bool CheckTarget() override;
  bool PrepareTarget(std::string* target_dir) override;
  bool PromptExportPrefix(std::string* export_prefix) override;
  ProgressSink* OpenProgress() override;
  void CloseProgress() override;

 private:
  HWND main_window_;
  HINSTANCE instance_;
  int dialog_set_offset_;
  const std::atomic<bool>* close_requested_;
  std::string home_dir_;
  ProgressWindow progress_;
};

}  // namespace ferrolt

#endif  // FERROLT_APP_WINDOW_FRONT_END_H_
