#include "app/file_dialogs.h"

#include <commdlg.h>

#include <cstring>

#include "app/window_choices.h"
#include "notices/catalogue.h"

namespace ferrolt {
namespace {

// A dialog title from the string table, or the built-in English one when it is missing.
void LoadTitle(int id, const char* fallback, char (&title)[64]) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (LoadStringA(instance, static_cast<UINT>(id), title, sizeof title) <= 0) {
    std::strncpy(title, fallback, sizeof title - 1);
    title[sizeof title - 1] = '\0';
  }
}

}  // namespace

bool PromptExportPrefix(HWND main_window, std::string* export_prefix) {
  char file[256] = "exp";
  char title[64];
  LoadTitle(kExportDialogTitle, "Select Export Locate", title);
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = main_window;
  dialog.lpstrFilter = "Export eml file\0*.*\0";
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;  // characters; one byte each in the ANSI form
  dialog.lpstrTitle = title;
  dialog.Flags = OFN_PATHMUSTEXIST;
  if (!GetSaveFileNameA(&dialog)) {
    SetForegroundWindow(main_window);
    return false;
  }
  *export_prefix = file;
  return true;
}

bool PromptSourceFolder(void* main_window, std::string* source_dir) {
  HWND owner = static_cast<HWND>(main_window);
  char file[256] = "";
  char title[64];
  LoadTitle(kSourceDialogTitle, "Select Import Locate", title);
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = "Import mbx file\0*.mbx\0";
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrTitle = title;
  dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameA(&dialog)) {
    SetForegroundWindow(owner);
    return false;
  }
  *source_dir = FolderOfChosenFile(file);
  return true;
}

}  // namespace ferrolt
