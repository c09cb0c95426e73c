#ifndef FERROLT_APP_FILE_DIALOGS_H_
#define FERROLT_APP_FILE_DIALOGS_H_

// The two common dialogs a run may need: where .eml files go, and where source mailboxes are.

#include <windows.h>

#include <string>

namespace ferrolt {

// PromptExportPrefix: the Save dialog, starting with the name "exp". On OK *export_prefix is the
// chosen path; on cancel the main window comes back to the front and the answer is false. A
// dialog that fails to show (not a cancel) gets the program-error notice kWindowFailed and false.
bool PromptExportPrefix(HWND main_window, std::string* export_prefix);

// PromptSourceFolder: the Open dialog for one ".mbx" file, whose folder becomes *source_dir.
// The context is the main window. On cancel the main window comes to the front; false. A failing
// dialog as above.
bool PromptSourceFolder(void* main_window, std::string* source_dir);

}  // namespace ferrolt

#endif  // FERROLT_APP_FILE_DIALOGS_H_
