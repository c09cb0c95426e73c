#include "cli/list_command.h"

#include <algorithm>
#include <cinttypes>

#include "cli/interrupt.h"
#include "convert/exact_io.h"
#include "convert/mailbox_reader.h"
#include "convert/source_mailbox.h"
#include "notices/catalogue.h"

namespace ferrolt {
namespace {

// Enough for any sane header; a Subject further in is not shown.
constexpr uint32_t kHeaderBytes = 64 * 1024;

bool StartsWithSubject(const std::string& text, size_t at) {
  static const char kName[] = "subject:";
  for (size_t i = 0; i < 8; ++i) {
    if (at + i >= text.size()) return false;
    char c = text[at + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kName[i]) return false;
  }
  return true;
}

std::string Flags(const MessageRecord& message) {
  if (!message.has_flags) return "--";
  std::string flags = (message.flags & kFlagDeleted) != 0 ? "D" : "-";
  return flags + ((message.flags & kFlagUnread) != 0 ? "U" : "-");
}

class ListPrinter final : public MessageConsumer {
 public:
  ListPrinter(const RunState* state, std::FILE* out) : state_(state), out_(out) {}

  bool HandleMessage(File mailbox, const MessageRecord& message) override {
    std::string header(std::min(message.length, kHeaderBytes), '\0');
    if (!ReadExact(mailbox, header.data(), static_cast<uint32_t>(header.size()),
                   kReadSourceFailed)) {
      return false;
    }
    std::fprintf(out_, "%d\t%s\t%" PRIu32 "\t%" PRIu32 "\t%s",
                 static_cast<int>(state_->conversion_run.message_count), Flags(message).c_str(),
                 message.record_offset, message.length, SubjectOf(header).c_str());
    if (message.found_by != nullptr) std::fprintf(out_, "\t%s", message.found_by);
    std::fputc('\n', out_);
    // Listing on into a stream that lost a line would only waste the time of the read.
    return std::ferror(out_) == 0;
  }

 private:
  const RunState* state_;
  std::FILE* out_;
};

}  // namespace

std::string SubjectOf(const std::string& header) {
  size_t at = 0;
  while (at < header.size() && header[at] != '\r' && header[at] != '\n') {
    if (StartsWithSubject(header, at)) break;
    size_t next = header.find('\n', at);
    at = next == std::string::npos ? header.size() : next + 1;
  }
  if (!StartsWithSubject(header, at)) return {};
  std::string value;
  for (size_t i = at + 8; i < header.size(); ++i) {
    char c = header[i];
    bool line_end = c == '\n';
    bool folded =
        line_end && i + 1 < header.size() && (header[i + 1] == ' ' || header[i + 1] == '\t');
    if (line_end && !folded) break;
    if (c == '\r' || c == '\n') continue;
    value += (c == '\t') ? ' ' : c;
  }
  size_t start = value.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : value.substr(start);
}

bool ListMailbox(const std::string& path, std::FILE* out, SalvageReport* salvage) {
  SourceMailbox source;
  if (!OpenSourceMailbox(path, &source)) return false;
  SilentProgress progress;
  RunState state;
  state.progress = &progress;
  state.conversion_run.skip_deleted = false;
  state.stop_requested = InterruptRequested;
  state.salvage = salvage;
  BeginSalvage(&state, path.substr(path.find_last_of("/\\") + 1));
  ListPrinter printer(&state, out);
  bool ok = ReadMailbox(source.mailbox, source.index, &state, &printer);
  CloseSourceMailbox(&source);
  return ok;
}

}  // namespace ferrolt
