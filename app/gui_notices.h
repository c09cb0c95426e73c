#ifndef FERROLT_APP_GUI_NOTICES_H_
#define FERROLT_APP_GUI_NOTICES_H_

// Notices as the Windows user sees them: texts from the program's string table, shown in
// task-modal message boxes in the system's ANSI code page.

#include <windows.h>

#include <string>

namespace ferrolt {

// Installs the string-table catalogue and the message-box output for the whole program.
void InstallGuiNotices(HINSTANCE instance);

// Text conversions between the catalogue's UTF-8 and the system's ANSI code page.
std::string Utf8ToAnsi(const std::string& utf8);
std::string AnsiToUtf8(const std::string& ansi);

}  // namespace ferrolt

#endif  // FERROLT_APP_GUI_NOTICES_H_
