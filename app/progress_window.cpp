#include "app/progress_window.h"

#include <commctrl.h>

#include "resources/resource_ids.h"

namespace ferrolt {

bool ProgressWindow::Open(HINSTANCE instance, int dialog_set_offset) {
  // The template names the progress-bar class; it exists only once common controls are loaded.
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  window_ = CreateDialogParamA(
      instance, MAKEINTRESOURCEA(FERROLT_PROGRESS_TEMPLATE + dialog_set_offset), nullptr, nullptr,
      0);
  if (window_ == nullptr) return false;
  ShowWindow(window_, SW_SHOW);
  Repaint();
  return true;
}

void ProgressWindow::Close() {
  if (window_ != nullptr) DestroyWindow(window_);
  window_ = nullptr;
}

void ProgressWindow::SetLabel(const std::string& mailbox_name) {
  SetDlgItemTextA(window_, FERROLT_PROGRESS_LABEL, mailbox_name.c_str());
  Repaint();
}

void ProgressWindow::SetRange(uint32_t upper) {
  // The 32-bit form: PBM_SETRANGE would cut a mailbox of more than 65535 messages.
  SendToBar(PBM_SETRANGE32, 0, static_cast<LPARAM>(upper));
}

void ProgressWindow::SetStep(uint32_t step) { SendToBar(PBM_SETSTEP, step, 0); }

void ProgressWindow::SetPosition(uint32_t position) {
  SendToBar(PBM_SETPOS, position, 0);
  Repaint();
}

void ProgressWindow::StepIt() {
  SendToBar(PBM_STEPIT, 0, 0);
  Repaint();
}

void ProgressWindow::Repaint() {
  RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

LRESULT ProgressWindow::SendToBar(UINT message, WPARAM wparam, LPARAM lparam) {
  return SendDlgItemMessageA(window_, FERROLT_PROGRESS_BAR, message, wparam, lparam);
}

}  // namespace ferrolt
