#include "app/progress_window.h"

#include <commctrl.h>

#include "resources/resource_ids.h"

namespace ferrolt {

bool ProgressWindow::Open(HINSTANCE instance, int dialog_set_offset) {
  // The template names the progress-bar class; it exists only once common controls are loaded.
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  window_ =
      CreateDialogParamA(instance, MAKEINTRESOURCEA(FERROLT_PROGRESS_TEMPLATE + dialog_set_offset),
                         nullptr, nullptr, 0);
  if (window_ == nullptr) return false;
  RECT bar;
  GetClientRect(GetDlgItem(window_, FERROLT_PROGRESS_BAR), &bar);
  bar_pixels_ = bar.right - bar.left;
  upper_ = 100;
  step_ = 10;
  position_ = 0;
  sent_pixels_ = -1;
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  return true;
}

void ProgressWindow::Close() {
  if (window_ != nullptr) DestroyWindow(window_);
  window_ = nullptr;
}

void ProgressWindow::SetLabel(const std::string& mailbox_name) {
  SetDlgItemTextA(window_, FERROLT_PROGRESS_LABEL, mailbox_name.c_str());
}

void ProgressWindow::SetRange(uint32_t upper) {
  // The 32-bit form: PBM_SETRANGE would cut a mailbox of more than 65535 messages.
  SendToBar(PBM_SETRANGE32, 0, static_cast<LPARAM>(upper));
  upper_ = upper;
  sent_pixels_ = -1;
  SendPositionWhenBarChanges();
}

void ProgressWindow::SetStep(uint32_t step) {
  SendToBar(PBM_SETSTEP, step, 0);
  step_ = step;
}

void ProgressWindow::SetPosition(uint32_t position) {
  position_ = position;
  sent_pixels_ = -1;
  SendPositionWhenBarChanges();
}

void ProgressWindow::StepIt() {
  // The bar wraps to the start past its end, as PBM_STEPIT does.
  position_ = position_ + step_ > upper_ ? position_ + step_ - upper_ : position_ + step_;
  SendPositionWhenBarChanges();
}

void ProgressWindow::SendPositionWhenBarChanges() {
  int64_t pixels = upper_ == 0 ? 0 : static_cast<int64_t>(position_) * bar_pixels_ / upper_;
  if (pixels == sent_pixels_) return;
  sent_pixels_ = pixels;
  SendToBar(PBM_SETPOS, position_, 0);
}

LRESULT ProgressWindow::SendToBar(UINT message, WPARAM wparam, LPARAM lparam) {
  return SendDlgItemMessageA(window_, FERROLT_PROGRESS_BAR, message, wparam, lparam);
}

}  // namespace ferrolt
