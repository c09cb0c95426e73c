#include "app/file_dialogs.h"

#include <commdlg.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/window_choices.h"
#include "notices/catalogue.h"
#include "notices/notices.h"

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

// What the two file dialogs differ in.
struct FileDialogSpec {
  int title_id;
  const char* fallback_title;
  const char* filter;  // pairs of NUL-terminated strings, ending in an empty one
  DWORD flags;
  BOOL(WINAPI* show)(OPENFILENAMEA*);
};

// The longest path Windows knows is 32767 characters; in a double-byte ANSI code page each can
// take two bytes. A shorter buffer makes a long choice fail as if cancelled.
constexpr DWORD kFileBufferSize = 2 * 32768;

// Shows the dialog with `file` as its starting name; on cancel the main window comes back to the
// front. True when the user chose a file, which is then in `file`. A dialog that fails (rather
// than being cancelled) shows the program-error notice.
bool ShowFileDialog(HWND owner, const FileDialogSpec& spec, std::string* file) {
  char title[64];
  LoadTitle(spec.title_id, spec.fallback_title, title);
  std::vector<char> buffer(kFileBufferSize, '\0');
  file->copy(buffer.data(), buffer.size() - 1);
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = spec.filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = kFileBufferSize;  // characters; one byte each in the ANSI form
  dialog.lpstrTitle = title;
  // The program's current folder stays where it was started, whatever folder the user visits.
  dialog.Flags = spec.flags | OFN_NOCHANGEDIR;
  if (spec.show(&dialog)) {
    *file = buffer.data();
    return true;
  }
  if (CommDlgExtendedError() != 0) ShowMessage(kWindowFailed, kCaptionProgramError);
  SetForegroundWindow(owner);
  return false;
}

}  // namespace

bool PromptExportPrefix(HWND main_window, std::string* export_prefix) {
  static const FileDialogSpec kSave = {kExportDialogTitle, "Select Export Locate",
                                       "Export eml file\0*.*\0", OFN_PATHMUSTEXIST,
                                       GetSaveFileNameA};
  std::string file = "exp";
  if (!ShowFileDialog(main_window, kSave, &file)) return false;
  *export_prefix = file;
  return true;
}

bool PromptSourceFolder(void* main_window, std::string* source_dir) {
  static const FileDialogSpec kOpen = {kSourceDialogTitle, "Select Import Locate",
                                       "Import mbx file\0*.mbx\0",
                                       OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST, GetOpenFileNameA};
  std::string file;
  if (!ShowFileDialog(static_cast<HWND>(main_window), kOpen, &file)) return false;
  *source_dir = FolderOfChosenFile(file);
  return true;
}

}  // namespace ferrolt
