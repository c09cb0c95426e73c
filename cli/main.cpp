// ferrolt-cli: the converter's command-line front end, for stores copied off an old disk.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_front_end.h"
#include "cli/folder_sources.h"
#include "cli/interrupt.h"
#include "cli/list_command.h"
#include "cli/options.h"
#include "convert/runs.h"
#include "convert/salvage_reader.h"
#include "notices/catalogue.h"
#include "notices/notices.h"

namespace ferrolt {
namespace {

enum ExitCode { kExitDone = 0, kExitFailed = 1, kExitUsage = 2 };

bool AnswerHalfWidthKana(void* context) {
  return !static_cast<const CliOptions*>(context)->prefer_euc;
}

// Warns about the names a drop would skip; false when none names a mailbox.
bool AnyMailboxAmong(const std::vector<std::string>& sources) {
  bool any = false;
  for (const std::string& source : sources) {
    if (HasMailboxExtension(source)) {
      any = true;
    } else {
      std::fprintf(stderr, "ferrolt-cli: skipping %s: not a .mbx mailbox\n", source.c_str());
    }
  }
  return any;
}

// The mailboxes to convert: a folder's, in byte order of name whatever order the system lists
// them in, or the ones named. False after the notice when there is none.
bool CollectSources(const CliOptions& options, std::vector<std::string>* sources) {
  if (options.sources.size() == 1 && IsFolder(options.sources[0])) {
    return ListFolderMailboxes(options.sources[0], sources);
  }
  *sources = options.sources;
  if (AnyMailboxAmong(*sources)) return true;
  ShowMessage(kNoMailbox, kCaptionProgramError);
  return false;
}

// Once, after everything else the run printed.
void PrintSalvageReport(const SalvageReport& report) {
  for (const std::string& line : DescribeSalvage(report)) {
    std::fprintf(stderr, "ferrolt-cli: salvage: %s\n", line.c_str());
  }
}

int RunConversion(const CliOptions& options) {
  ConsoleNotices notices;
  SetNoticeOutput(&notices);
  CliFrontEnd front_end(options.target_folder, options.export_prefix,
                        StandardErrorIsSmartTerminal());
  RunState state;
  state.conversion_run.skip_deleted = !options.include_deleted;
  state.prefers_half_width_kana = AnswerHalfWidthKana;
  state.query_context = const_cast<CliOptions*>(&options);
  state.stop_requested = InterruptRequested;
  SalvageReport salvage;
  if (options.salvage) state.salvage = &salvage;
  InstallInterruptHandler();
  bool import = options.command == CliCommand::kImport;
  std::vector<std::string> sources;
  if (CollectSources(options, &sources)) {
    import ? RunDroppedImport(&state, &front_end, sources)
           : RunDroppedExport(&state, &front_end, sources);
  }
  SetNoticeOutput(nullptr);
  if (options.salvage) PrintSalvageReport(salvage);
  if (InterruptRequested()) {
    std::fprintf(stderr, "ferrolt-cli: interrupted; every file written holds whole messages\n");
    return kExitInterrupted;
  }
  return notices.summary_shown ? kExitDone : kExitFailed;
}

int RunList(const CliOptions& options) {
  ConsoleNotices notices;
  SetNoticeOutput(&notices);
  SalvageReport salvage;
  bool ok = ListMailbox(options.sources[0], stdout, options.salvage ? &salvage : nullptr);
  SetNoticeOutput(nullptr);
  if (options.salvage) PrintSalvageReport(salvage);
  return ok ? kExitDone : kExitFailed;
}

}  // namespace
}  // namespace ferrolt

int main(int argc, char** argv) {
  using namespace ferrolt;
  CliOptions options;
  std::string error;
  if (!ParseCliOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "ferrolt-cli: %s\n\n%s", error.c_str(), kUsage);
    return kExitUsage;
  }
  if (options.command == CliCommand::kHelp) {
    std::fputs(kUsage, stdout);
    return kExitDone;
  }
  if (options.command == CliCommand::kList) return RunList(options);
  return RunConversion(options);
}
