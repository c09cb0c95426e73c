#include "convert/runs.h"

#include "convert/eml_export.h"
#include "convert/mailbox_listing.h"
#include "convert/target_writer.h"
#include "notices/catalogue.h"
#include "notices/notices.h"
#include "platform/files.h"

namespace ferrolt {
namespace {

void ShowSummary(const RunState& state) {
  const ConversionRun& run = state.conversion_run;
  if (!state.choices.include_deleted) {
    ShowResult(kSummary, kCaptionProgramMessage, run.mailbox_count, run.message_count);
  } else {
    ShowResult(kSummaryWithDeleted, kCaptionProgramMessage, run.mailbox_count, run.message_count,
               run.deleted_count);
  }
}

// Resets the counters and opens the progress display (kWindowFailed when it cannot be made).
bool StartConverting(RunState* state, RunFrontEnd* front_end) {
  ResetCounters(&state->conversion_run);
  state->progress = front_end->OpenProgress();
  if (state->progress == nullptr) {
    ShowMessage(kWindowFailed, kCaptionProgramError);
    return false;
  }
  return true;
}

void StopConverting(RunState* state, RunFrontEnd* front_end) {
  front_end->CloseProgress();
  state->progress = nullptr;
}

// Lists state->source_dir; kNoMailbox when there is nothing to convert.
bool StartListing(const RunState& state, FolderListing* listing, std::string* first_name) {
  if (StartMailboxListing(state.source_dir, listing, first_name).ok()) return true;
  ShowMessage(kNoMailbox, kCaptionProgramError);
  return false;
}

// Runs `operation` on the mailbox `name` of state->source_dir, naming it as the one worked on.
bool ConvertMailbox(RunState* state, const std::string& name, const MailboxOperation& operation) {
  state->mailbox_path = state->source_dir + name;
  bool converted = operation(state, name);
  state->mailbox_path.clear();
  return converted;
}

// Converts every listed mailbox, the first one being `name`; true when all went through.
bool ConvertListed(RunState* state, FolderListing* listing, std::string name,
                   const MailboxOperation& operation) {
  for (;;) {
    // A stop between mailboxes leaves no empty target mailbox behind.
    if (StopRequested(*state) || !ConvertMailbox(state, name, operation)) return false;
    ++state->conversion_run.mailbox_count;
    IoStatus status = NextMailboxInListing(listing, &name);
    if (status.kind == IoKind::kEndOfListing) return true;
    if (!status.ok()) {
      ShowErrorCode(kListingFailed, kCaptionProgramError, status.code);
      return false;
    }
  }
}

void ConvertFolderListing(RunState* state, RunFrontEnd* front_end, FolderListing* listing,
                          const std::string& first_name, const MailboxOperation& operation) {
  bool converted = false;
  if (StartConverting(state, front_end)) {
    converted = ConvertListed(state, listing, first_name, operation);
    StopConverting(state, front_end);
  }
  // Closed on every path: an open search keeps the folder busy on Windows.
  CloseListing(listing);
  if (converted) ShowSummary(*state);
}

// Converts each dropped mailbox from its own folder; false at the first failure.
bool ConvertDropped(RunState* state, const std::vector<std::string>& paths,
                    const MailboxOperation& operation) {
  for (const std::string& path : paths) {
    if (!HasMailboxExtension(path)) continue;
    if (StopRequested(*state)) return false;
    size_t cut = LastComponentStart(path);
    state->source_dir = path.substr(0, cut);
    if (!ConvertMailbox(state, path.substr(cut), operation)) return false;
    ++state->conversion_run.mailbox_count;
  }
  return true;
}

void ConvertDroppedFiles(RunState* state, RunFrontEnd* front_end,
                         const std::vector<std::string>& paths, const MailboxOperation& operation) {
  if (!StartConverting(state, front_end)) return;
  bool converted = ConvertDropped(state, paths, operation);
  StopConverting(state, front_end);
  if (converted && state->conversion_run.mailbox_count > 0) ShowSummary(*state);
}

}  // namespace

void RunFolderImport(RunState* state, RunFrontEnd* front_end) {
  RunFolderInto(state, front_end, ImportMailbox);
}

void RunFolderInto(RunState* state, RunFrontEnd* front_end, const MailboxOperation& operation) {
  if (!front_end->CheckTarget()) return;
  FolderListing listing;
  std::string first_name;
  if (!StartListing(*state, &listing, &first_name)) return;
  if (!front_end->PrepareTarget(&state->target_dir)) {
    CloseListing(&listing);
    return;
  }
  ConvertFolderListing(state, front_end, &listing, first_name, operation);
}

void RunFolderExport(RunState* state, RunFrontEnd* front_end) {
  if (!front_end->PromptExportPrefix(&state->export_prefix)) return;
  FolderListing listing;
  std::string first_name;
  if (!StartListing(*state, &listing, &first_name)) return;
  ConvertFolderListing(state, front_end, &listing, first_name, ExportMailbox);
}

void RunDroppedImport(RunState* state, RunFrontEnd* front_end,
                      const std::vector<std::string>& paths) {
  RunDroppedInto(state, front_end, paths, ImportMailbox);
}

void RunDroppedInto(RunState* state, RunFrontEnd* front_end, const std::vector<std::string>& paths,
                    const MailboxOperation& operation) {
  if (!front_end->CheckTarget()) return;
  if (!front_end->PrepareTarget(&state->target_dir)) return;
  ConvertDroppedFiles(state, front_end, paths, operation);
}

void RunDroppedExport(RunState* state, RunFrontEnd* front_end,
                      const std::vector<std::string>& paths) {
  if (!front_end->PromptExportPrefix(&state->export_prefix)) return;
  ConvertDroppedFiles(state, front_end, paths, ExportMailbox);
}

}  // namespace ferrolt
