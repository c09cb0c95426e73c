// ferrolt-cli: the converter's command-line front end, for stores copied off an old disk.

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "cli/cli_front_end.h"
#include "cli/cli_texts.h"
#include "cli/exit_codes.h"
#include "cli/folder_sources.h"
#include "cli/interrupt.h"
#include "cli/list_command.h"
#include "cli/options.h"
#include "cli/standard_streams.h"
#include "cli/terminal_text.h"
#include "convert/maildir_export.h"
#include "convert/mbox_export.h"
#include "convert/runs.h"
#include "convert/salvage_reader.h"
#include "convert/target_writer.h"
#include "notices/catalogue.h"
#include "notices/notices.h"
#include "platform/files.h"
#include "platform/locale_text.h"

namespace ferrolt {
namespace {

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
      std::string name = EscapeControls(PathAsText(source), false);
      std::fprintf(stderr, "ferrolt-cli: %s\n", CliText(CliTextId::kSkippingSource, name).c_str());
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
    std::fprintf(stderr, "ferrolt-cli: salvage: %s\n", EscapeForTerminal(line).c_str());
  }
}

// The per-mailbox operation of the runs that write into a folder; nullptr for the .eml export.
MailboxOperation OperationFor(CliCommand command) {
  switch (command) {
    case CliCommand::kImport:
      return ImportMailbox;
    case CliCommand::kMbox:
      return ExportMailboxAsMbox;
    case CliCommand::kMaildir:
      return ExportMailboxAsMaildir;
    default:
      return nullptr;
  }
}

int RunConversion(const CliOptions& options) {
  CliFrontEnd front_end(options.target_folder, options.export_prefix,
                        StandardErrorIsSmartTerminal());
  ConsoleNotices notices;
  notices.progress = front_end.terminal();
  SetNoticeOutput(&notices);
  RunState state;
  state.conversion_run.skip_deleted = !options.include_deleted;
  state.prefers_half_width_kana = AnswerHalfWidthKana;
  state.query_context = const_cast<CliOptions*>(&options);
  state.stop_requested = InterruptRequested;
  SalvageReport salvage;
  if (options.salvage) state.salvage = &salvage;
  MailboxOperation operation = OperationFor(options.command);
  front_end.target_must_be_new = operation != nullptr && operation != ImportMailbox;
  std::vector<std::string> sources;
  if (CollectSources(options, &sources)) {
    operation != nullptr ? RunDroppedInto(&state, &front_end, sources, operation)
                         : RunDroppedExport(&state, &front_end, sources);
  }
  SetNoticeOutput(nullptr);
  if (options.salvage) PrintSalvageReport(salvage);
  if (InterruptRequested()) {
    std::fprintf(stderr, "ferrolt-cli: %s\n", CliText(CliTextId::kInterrupted).c_str());
    return InterruptExitCode();
  }
  return notices.summary_shown && !notices.summary_lost ? kExitDone : kExitFailed;
}

int RunList(const CliOptions& options) {
  ConsoleNotices notices;
  SetNoticeOutput(&notices);
  SalvageReport salvage;
  ListOptions list;
  list.raw = options.raw;
  list.prefer_euc = options.prefer_euc;
  bool ok = ListMailbox(options.sources[0], stdout, options.salvage ? &salvage : nullptr, list);
  SetNoticeOutput(nullptr);
  if (options.salvage) PrintSalvageReport(salvage);
  if (InterruptRequested()) return InterruptExitCode();
  return ok ? kExitDone : kExitFailed;
}

int RunCommand(int argc, char** argv) {
  UseJapaneseTexts(UserReadsJapanese());
  CliOptions options;
  std::string error;
  if (!ParseCliOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "ferrolt-cli: %s\n\n%s", EscapeControls(error, false).c_str(),
                 UsageText());
    return kExitUsage;
  }
  if (options.command == CliCommand::kHelp) {
    std::fputs(UsageText(), stdout);
    return kExitDone;
  }
  InstallInterruptHandler();
  if (options.command == CliCommand::kList) return RunList(options);
  return RunConversion(options);
}

// Memory runs out outside any mailbox (a mailbox's own shortage stops just that run): the one
// notice, then exit like any failure.
int RunCommandReportingMemory(int argc, char** argv) {
  try {
    return RunCommand(argc, argv);
  } catch (const std::bad_alloc&) {
    SetNoticeOutput(nullptr);
    ShowMessage(kOutOfMemory, kCaptionProgramError);
    return kExitFailed;
  }
}

}  // namespace
}  // namespace ferrolt

int main(int argc, char** argv) {
  using namespace ferrolt;
  ReserveStandardDescriptors();
  int exit_code = RunCommandReportingMemory(argc, argv);
  // A summary or listing that did not arrive makes a run that looked done a failure.
  if (!CheckStandardOutput() && exit_code == kExitDone) exit_code = kExitFailed;
  return exit_code;
}
