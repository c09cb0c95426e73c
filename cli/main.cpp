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
#include "cli/imap_command.h"
#include "cli/interrupt.h"
#include "cli/list_command.h"
#include "cli/options.h"
#include "cli/standard_streams.h"
#include "cli/terminal_text.h"
#include "convert/mailbox_listing.h"
#include "convert/maildir_export.h"
#include "convert/mbox_export.h"
#include "convert/runs.h"
#include "convert/salvage_reader.h"
#include "convert/target_writer.h"
#include "notices/catalogue.h"
#include "notices/notices.h"
#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/locale_text.h"
#include "platform/terminal.h"

namespace ferrolt {
namespace {

// Warns about the names a drop would skip, saying why; false when none names a mailbox.
bool AnyMailboxAmong(const std::vector<std::string>& sources) {
  bool any = false;
  for (const std::string& source : sources) {
    if (HasMailboxExtension(source)) {
      any = true;
    } else {
      std::string name = EscapeControls(PathAsText(source), false);
      CliTextId why =
          PathExists(source) ? CliTextId::kSkippingSource : CliTextId::kSkippingMissingSource;
      WriteShownText(stderr, "ferrolt-cli: " + CliText(why, name) + '\n');
    }
  }
  return any;
}

// The mailboxes to convert: a folder's, in byte order of name whatever order the system lists
// them in, or the ones named. False after the notice when there is none.
bool CollectSources(const CliOptions& options, std::vector<std::string>* sources) {
  if (options.sources.size() == 1 && IsExistingFolder(options.sources[0])) {
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
    WriteShownText(stderr, "ferrolt-cli: " + CliText(CliTextId::kSalvageLine, line) + '\n');
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
  RunState state;
  ConsoleNotices notices;
  notices.progress = front_end.terminal();
  notices.file = &state.mailbox_path;
  SetNoticeOutput(&notices);
  state.choices = options.choices;
  state.stop_requested = InterruptRequested;
  SalvageReport salvage;
  state.salvage_report = &salvage;
  state.eml_name_taken_notice = kOutputNameTaken;
  MailboxOperation operation = OperationFor(options.command);
  front_end.target_must_be_new =
      options.command == CliCommand::kMbox || options.command == CliCommand::kMaildir;
  std::vector<std::string> sources;
  if (CollectSources(options, &sources)) {
    operation != nullptr ? RunDroppedInto(&state, &front_end, sources, operation)
                         : RunDroppedExport(&state, &front_end, sources);
  }
  SetNoticeOutput(nullptr);
  if (options.choices.salvage) PrintSalvageReport(salvage);
  if (InterruptRequested()) {
    WriteShownText(stderr, "ferrolt-cli: " + CliText(CliTextId::kInterrupted) + '\n');
    return InterruptExitCode();
  }
  return notices.summary_shown && !notices.summary_lost ? kExitDone : kExitFailed;
}

int RunList(const CliOptions& options) {
  ConsoleNotices notices;
  notices.file = &options.sources[0];
  SetNoticeOutput(&notices);
  SalvageReport salvage;
  ListOptions list;
  list.raw = options.raw;
  list.prefer_euc = options.choices.prefer_euc;
  bool ok =
      ListMailbox(options.sources[0], stdout, options.choices.salvage ? &salvage : nullptr, list);
  SetNoticeOutput(nullptr);
  if (options.choices.salvage) PrintSalvageReport(salvage);
  if (InterruptRequested()) return InterruptExitCode();
  return ok ? kExitDone : kExitFailed;
}

// The arguments as the file functions take them; false with *error set for one that cannot be.
bool ParseArguments(int argc, char** argv, CliOptions* options, std::string* error) {
  std::vector<std::string> arguments;
  std::string unfit;
  if (!ReadProgramArguments(argc, argv, &arguments, &unfit)) {
    *error = CliText(CliTextId::kArgumentNotInCodePage, unfit);
    return false;
  }
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return ParseCliOptions(static_cast<int>(arguments.size()), pointers.data(), options, error);
}

int RunCommand(int argc, char** argv) {
  UseJapaneseTexts(UserReadsJapanese());
  CliOptions options;
  std::string error;
  if (!ParseArguments(argc, argv, &options, &error)) {
    std::string shown = EscapeControls(error, false);
    WriteShownText(stderr, "ferrolt-cli: " + shown + "\n\n" + UsageText());
    return kExitUsage;
  }
  if (options.command == CliCommand::kHelp) {
    WriteShownText(stdout, UsageText());
    return kExitDone;
  }
  if (options.command == CliCommand::kList) return RunList(options);
  if (options.command == CliCommand::kImap) return RunImapCommand(options, CollectSources);
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
  // First of all: a signal that comes before the handlers would end the program mid-way.
  InstallInterruptHandler();
  ReserveStandardDescriptors();
  int exit_code = RunCommandReportingMemory(argc, argv);
  // A summary or listing that did not arrive makes a run that looked done a failure.
  if (!CheckStandardOutput() && exit_code == kExitDone) exit_code = kExitFailed;
  return exit_code;
}
