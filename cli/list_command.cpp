#include "cli/list_command.h"

#include <algorithm>

#include "cli/interrupt.h"
#include "cli/standard_streams.h"
#include "cli/terminal_text.h"
#include "convert/exact_io.h"
#include "convert/mail_date.h"
#include "convert/mail_header.h"
#include "convert/mailbox_reader.h"
#include "convert/source_mailbox.h"
#include "notices/catalogue.h"

namespace ferrolt {
namespace {

// Enough for any sane header; a field further in is not shown.
constexpr uint32_t kHeaderBytes = 64 * 1024;

// D deleted or -, then R read or U unread; "--" when there is no index to tell.
std::string Flags(const MessageRecord& message) {
  if (!message.has_flags) return "--";
  std::string flags = IsDeleted(message.flags) ? "D" : "-";
  return flags + (IsRead(message.flags) ? "R" : "U");
}

// The column `list --salvage` adds: how the message was found.
const char* FoundByColumn(FoundBy found_by) {
  switch (found_by) {
    case FoundBy::kIndex:
      return "index";
    case FoundBy::kChain:
      return "chain";
    case FoundBy::kScan:
      return "scan";
    case FoundBy::kNotSalvaged:
      break;
  }
  return nullptr;
}

std::string DateColumn(const std::string& header, bool raw) {
  std::string value = HeaderFieldValue(header, "Date");
  MailDate date;
  if (raw || !ParseMailDate(value, &date)) return value;
  return ListingDate(date);
}

class ListPrinter final : public MessageConsumer {
 public:
  ListPrinter(const RunState* state, const ListOptions& options, std::FILE* out)
      : state_(state), options_(options), out_(out) {}

  bool HandleMessage(File mailbox, const MessageRecord& message) override {
    std::string header(std::min(message.length, kHeaderBytes), '\0');
    if (!ReadExact(mailbox, header.data(), static_cast<uint32_t>(header.size()),
                   kReadSourceFailed)) {
      return false;
    }
    std::string from = HeaderFieldValue(header, "From");
    std::string subject = SubjectOf(header);
    if (!options_.raw) {
      from = DecodedHeaderText(from, options_.prefer_euc);
      subject = DecodedHeaderText(subject, options_.prefer_euc);
    }
    // Nothing read from the mailbox reaches the terminal unescaped, in either mode.
    std::string line = std::to_string(state_->conversion_run.message_count) + '\t' +
                       Flags(message) + '\t' + std::to_string(message.record_offset) + '\t' +
                       std::to_string(message.length) + '\t' +
                       EscapeForTerminal(DateColumn(header, options_.raw)) + '\t' +
                       EscapeForTerminal(from) + '\t' + EscapeForTerminal(subject);
    if (const char* found_by = FoundByColumn(message.found_by)) line.append("\t").append(found_by);
    line += '\n';
    // One write a line: after a write fails (a signal ending a wait on a full pipe), nothing
    // more is tried, so nothing waits again.
    // Listing on into a stream that lost a line would only waste the time of the read.
    return WriteShownText(out_, line);
  }

 private:
  const RunState* state_;
  ListOptions options_;
  std::FILE* out_;
};

}  // namespace

std::string SubjectOf(const std::string& header) { return HeaderFieldValue(header, "Subject"); }

bool ListMailbox(const std::string& path, std::FILE* out, SalvageReport* salvage,
                 const ListOptions& options) {
  SourceMailbox source;
  if (!OpenMailboxAndProbeIndex(path, &source, salvage != nullptr)) return false;
  SilentProgress progress;
  RunState state;
  state.progress = &progress;
  // A listing shows every message, deleted ones marked.
  state.choices = {
      .include_deleted = true, .prefer_euc = options.prefer_euc, .salvage = salvage != nullptr};
  state.stop_requested = InterruptRequested;
  state.salvage_report = salvage;
  BeginMailbox(&state, path.substr(path.find_last_of("/\\") + 1));
  ListPrinter printer(&state, options, out);
  bool ok = ReadMailbox(source.mailbox, source.index, &state, &printer);
  CloseSourceMailbox(&source);
  return ok;
}

}  // namespace ferrolt
