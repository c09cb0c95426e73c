#include "app/window_front_end.h"

#include "app/file_dialogs.h"
#include "app/run_thread.h"
#include "stores/target_client.h"

namespace ferrolt {

WindowRunFrontEnd::WindowRunFrontEnd(HWND main_window, HINSTANCE instance, int dialog_set_offset,
                                     const std::atomic<bool>* close_requested)
    : main_window_(main_window),
      instance_(instance),
      dialog_set_offset_(dialog_set_offset),
      close_requested_(close_requested) {}

bool WindowRunFrontEnd::CheckTarget() { return CheckTargetClient(&home_dir_); }

bool WindowRunFrontEnd::PrepareTarget(std::string* target_dir) {
  return PrepareTargetFolder(home_dir_, target_dir);
}

bool WindowRunFrontEnd::PromptExportPrefix(std::string* export_prefix) {
  bool chosen = false;
  CallOnWindowThread([&] { chosen = ferrolt::PromptExportPrefix(main_window_, export_prefix); });
  // A close asked for while the dialog was up counts as a cancel: nothing gets written.
  return chosen && !close_requested_->load();
}

ProgressSink* WindowRunFrontEnd::OpenProgress() {
  bool opened = false;
  CallOnWindowThread([&] { opened = progress_.Open(instance_, dialog_set_offset_); });
  return opened ? &progress_ : nullptr;
}

void WindowRunFrontEnd::CloseProgress() {
  CallOnWindowThread([&] { progress_.Close(); });
}

}  // namespace ferrolt
