#include "app/about_box.h"

#include "resources/resource_ids.h"

namespace ferrolt {
namespace {

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dialog, FERROLT_WEB_ADDRESS, kWebAddress);
      return TRUE;
    case WM_COMMAND:
      // OK, Escape and the close box all arrive as IDOK or IDCANCEL.
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, 1);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowAboutBox(HINSTANCE instance, HWND owner, int dialog_set_offset) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(FERROLT_ABOUT_TEMPLATE + dialog_set_offset), owner,
                  AboutBoxProc, 0);
}

}  // namespace ferrolt
