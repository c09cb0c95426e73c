#ifndef FERROLT_CONVERT_RUNS_H_
#define FERROLT_CONVERT_RUNS_H_

// The runs, over every mailbox of a folder or over a set of dropped files: into the target
// client, to .eml files, or through another operation per mailbox that writes into a target
// folder (the mbox and Maildir exports). Each run ends with exactly one notice: the summary, or
// the notice of the failure that stopped it (none when the user cancelled, or when a drop held no
// mailbox).

#include <functional>
#include <string>
#include <vector>

#include "convert/conversion_run.h"

namespace ferrolt {

// What a run asks of its front end.
class RunFrontEnd {
 public:
  virtual ~RunFrontEnd() = default;
  // Checks that the target can take mail (installed, not running, configured); shows its own
  // notice and returns false when not.
  virtual bool CheckTarget() = 0;
  // Makes the target folder ready and sets *target_dir (ending in a separator); shows its own
  // notice and returns false on failure.
  virtual bool PrepareTarget(std::string* target_dir) = 0;
  // Asks for the export prefix; false when the user cancelled (no notice).
  virtual bool PromptExportPrefix(std::string* export_prefix) = 0;
  // Opens the progress display; nullptr when it cannot be made (the run then shows that).
  virtual ProgressSink* OpenProgress() = 0;
  virtual void CloseProgress() = 0;
};

// Every "*.mbx" of state->source_dir.
void RunFolderImport(RunState* state, RunFrontEnd* front_end);
void RunFolderExport(RunState* state, RunFrontEnd* front_end);

// Each of `paths` whose name ends in ".mbx" in any case, from its own folder.
void RunDroppedImport(RunState* state, RunFrontEnd* front_end,
                      const std::vector<std::string>& paths);
void RunDroppedExport(RunState* state, RunFrontEnd* front_end,
                      const std::vector<std::string>& paths);

// What a run does with one mailbox: the name of a file in state->source_dir. False stops the
// run; its notice has been shown. A closure, so that an operation with a state of its own (the
// upload's connection) carries it.
using MailboxOperation = std::function<bool(RunState* state, const std::string& name)>;

// The import runs' order of checks with another per-mailbox operation that writes into the
// target folder (the mbox and Maildir exports).
void RunFolderInto(RunState* state, RunFrontEnd* front_end, const MailboxOperation& operation);
void RunDroppedInto(RunState* state, RunFrontEnd* front_end, const std::vector<std::string>& paths,
                    const MailboxOperation& operation);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_RUNS_H_
