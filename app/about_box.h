#ifndef FERROLT_APP_ABOUT_BOX_H_
#define FERROLT_APP_ABOUT_BOX_H_

#include <windows.h>

namespace ferrolt {

constexpr char kWebAddress[] = "https://ferrolt.example.jp/";

// Shows the About box (template FERROLT_ABOUT_TEMPLATE + DialogSetOffset), modal, owned by
// `owner`.
void ShowAboutBox(HINSTANCE instance, HWND owner, int dialog_set_offset);

}  // namespace ferrolt

#endif  // FERROLT_APP_ABOUT_BOX_H_
