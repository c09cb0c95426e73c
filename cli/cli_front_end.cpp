#include "cli/cli_front_end.h"

#include <cstdio>
#include <utility>

#include "cli/standard_streams.h"
#include "cli/terminal_text.h"
#include "convert/output_file.h"
#include "platform/files.h"
#include "stores/target_client.h"

namespace ferrolt {

void ConsoleNotices::Show(const Notice& notice) {
  if (progress != nullptr) progress->Finish();
  std::string text = EscapeControls(notice.text, true);
  if (!notice.name.empty() && notice.name_at <= notice.text.size() &&
      notice.text.compare(notice.name_at, notice.name.size(), notice.name) == 0) {
    size_t after = notice.name_at + notice.name.size();
    text = EscapeControls(std::string_view(notice.text).substr(0, notice.name_at), true) +
           EscapeForTerminal(notice.name) +
           EscapeControls(std::string_view(notice.text).substr(after), true);
  }
  if (notice.style == kNoticeInformation) {
    summary_shown = true;
    WriteShownText(stdout, text + '\n');
    if (!CheckStandardOutput()) summary_lost = true;
    return;
  }
  if (file != nullptr && !file->empty()) {
    text = "ferrolt-cli: " + EscapeControls(PathAsText(*file), false) + ": " + text;
  }
  WriteShownText(failures, text + '\n');
}

std::string WithTrailingSeparator(const std::string& folder) {
  if (EndsInPathSeparator(folder)) return folder;
  return folder + kPathSeparator;
}

CliFrontEnd::CliFrontEnd(std::string target_folder, std::string export_prefix, bool show_progress)
    : target_folder_(std::move(target_folder)),
      export_prefix_(std::move(export_prefix)),
      show_progress_(show_progress) {}

bool CliFrontEnd::PrepareTarget(std::string* target_dir) {
  std::string folder = target_folder_;
  while (folder.size() > 1 && EndsInPathSeparator(folder)) folder.pop_back();
  size_t cut = LastComponentStart(folder);
  std::string parent = cut == 0 ? std::string(".") : folder.substr(0, cut);
  // The mbox and Maildir outputs write into a folder of their own; an import adds mailboxes to
  // a folder of the target client's, marker and all.
  bool ready =
      target_must_be_new ? CreateOutputFolder(parent, folder) : CreateTargetFolder(parent, folder);
  if (!ready) return false;
  *target_dir = WithTrailingSeparator(folder);
  return true;
}

bool CliFrontEnd::PromptExportPrefix(std::string* export_prefix) {
  *export_prefix = export_prefix_;
  return true;
}

ProgressSink* CliFrontEnd::OpenProgress() {
  if (show_progress_) return &terminal_;
  return &silent_;
}

void CliFrontEnd::CloseProgress() {
  if (show_progress_) terminal_.Finish();
}

}  // namespace ferrolt
