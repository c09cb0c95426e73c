#ifndef FERROLT_CLI_CLI_FRONT_END_H_
#define FERROLT_CLI_CLI_FRONT_END_H_

// The command line's answers to a run: the target is a folder given with --to, the export
// prefix comes from --prefix, notices go to stderr (the summary to stdout).

#include <cstdio>
#include <string>

#include "cli/terminal_progress.h"
#include "convert/runs.h"
#include "platform/notice_output.h"

namespace ferrolt {

// Failures go to stderr, on a line of their own even while a progress bar is drawn there, with
// control characters escaped; the summary goes to stdout. A failure met while working on a file
// names it first: "ferrolt-cli: PATH: text".
class ConsoleNotices final : public NoticeOutput {
 public:
  void Show(const Notice& notice) override;

  TerminalProgress* progress = nullptr;  // the bar on stderr, if one is shown
  std::FILE* failures = stderr;
  const std::string* file = nullptr;  // the file worked on, when set and not empty
  bool summary_shown = false;
  bool summary_lost = false;  // the summary could not be written to stdout
};

class CliFrontEnd final : public RunFrontEnd {
 public:
  CliFrontEnd(std::string target_folder, std::string export_prefix, bool show_progress);

  bool CheckTarget() override { return true; }
  // Creates the target folder's last component, with an empty marker "<folder>.mbx" beside it,
  // when it does not exist; an existing folder is used as it is.
  bool PrepareTarget(std::string* target_dir) override;
  bool PromptExportPrefix(std::string* export_prefix) override;
  // For the mbox and Maildir exports: the target folder must be new (kOutputNameTaken when it
  // exists) and gets no marker beside it.
  bool target_must_be_new = false;
  ProgressSink* OpenProgress() override;
  void CloseProgress() override;
  // The terminal's bar, or nullptr when no bar is shown.
  TerminalProgress* terminal() { return show_progress_ ? &terminal_ : nullptr; }

 private:
  std::string target_folder_;
  std::string export_prefix_;
  bool show_progress_;
  TerminalProgress terminal_;
  SilentProgress silent_;
};

// `folder` with one separator at its end.
std::string WithTrailingSeparator(const std::string& folder);

}  // namespace ferrolt

#endif  // FERROLT_CLI_CLI_FRONT_END_H_
