#include "convert/mbox_export.h"

#include <cstring>

#include "convert/mail_date.h"
#include "convert/mail_header.h"
#include "convert/mailbox_reader.h"
#include "convert/message_buffer.h"
#include "convert/output_file.h"
#include "convert/source_mailbox.h"
#include "convert/whole_messages.h"
#include "notices/catalogue.h"
#include "notices/notices.h"

namespace ferrolt {
namespace {

// Where the Date header cannot be read: the start of the epoch, which no real mail carries.
constexpr char kFallbackDate[] = "Thu Jan  1 00:00:00 1970";
constexpr char kFallbackSender[] = "MAILER-DAEMON";
constexpr uint64_t kFromLineRoom = 1024;  // "From ", a sender cut to 900 bytes, a date

// An address fit for the "From " line: printable ASCII without spaces.
bool IsEnvelopeAddress(const std::string& address) {
  if (address.empty() || address.size() > 900) return false;
  for (unsigned char c : address) {
    if (c <= ' ' || c >= 0x7f) return false;
  }
  return true;
}

// The address in "Name <addr>" or a bare "addr (comment)".
std::string AddressIn(const std::string& value) {
  size_t open = value.find('<');
  if (open != std::string::npos) {
    size_t close = value.find('>', open);
    if (close != std::string::npos) return value.substr(open + 1, close - open - 1);
  }
  size_t end = value.find_first_of(" (");
  return value.substr(0, end);
}

// Lines beginning with any number of '>' and then "From " get one more '>'.
bool NeedsQuoting(const char* line, const char* end) {
  while (line < end && *line == '>') ++line;
  return end - line >= 5 && std::memcmp(line, "From ", 5) == 0;
}

class EntryWriter {
 public:
  explicit EntryWriter(char* out) : start_(out), at_(out) {}

  void Put(std::string_view text) {
    std::memcpy(at_, text.data(), text.size());
    at_ += text.size();
  }

  // One line of the message (with its line end, if any): quoted, CR LF as LF.
  void PutLine(const char* line, const char* end) {
    if (NeedsQuoting(line, end)) *at_++ = '>';
    size_t length = static_cast<size_t>(end - line);
    if (length >= 2 && end[-1] == '\n' && end[-2] == '\r') {
      Put(std::string_view(line, length - 2));
      *at_++ = '\n';
    } else {
      Put(std::string_view(line, length));
    }
  }

  void EndLineIfOpen() {
    if (at_ != start_ && at_[-1] != '\n') *at_++ = '\n';
  }

  size_t size() const { return static_cast<size_t>(at_ - start_); }

 private:
  char* start_;
  char* at_;
};

bool IsStatusField(std::string_view line) {
  return IsHeaderField(line, "Status") || IsHeaderField(line, "X-Status");
}

void PutStatusLines(const MessageRecord& record, EntryWriter* writer) {
  if (!record.has_flags) return;
  writer->EndLineIfOpen();
  writer->Put((record.flags & kFlagUnread) != 0 ? "Status: O\n" : "Status: RO\n");
  if ((record.flags & kFlagDeleted) != 0) writer->Put("X-Status: D\n");
}

// The header without its Status and X-Status fields (and their folded lines), then ours.
void PutHeader(std::string_view header, const MessageRecord& record, EntryWriter* writer) {
  bool dropping = false;
  for (size_t at = 0; at < header.size();) {
    size_t end = LineEnd(header, at);
    bool continues = header[at] == ' ' || header[at] == '\t';
    if (!continues) dropping = IsStatusField(header.substr(at));
    if (!dropping) writer->PutLine(header.data() + at, header.data() + end);
    at = end;
  }
  PutStatusLines(record, writer);
}

std::string FromLine(std::string_view header) {
  MailDate date;
  bool dated = ParseMailDate(HeaderFieldValue(header, "Date"), &date);
  return "From " + EnvelopeSender(header) + " " +
         (dated ? AsctimeUtc(date.unix_seconds) : std::string(kFallbackDate)) + "\n";
}

class MboxWriter final : public MessageConsumer {
 public:
  explicit MboxWriter(AppendedMailbox* output) : output_(output) {}

  bool HandleMessage(File mailbox, const MessageRecord& message) override {
    if (!ReadWholeMessage(mailbox, message.length, &input_)) return false;
    if (!entry_.Reserve(MboxEntryBound(message.length))) {
      ShowMessage(kOutOfMemory, kCaptionProgramError);
      return false;
    }
    size_t size =
        MboxEntry(std::string_view(input_.data(), message.length), message, entry_.data());
    if (!AppendToMailbox(output_, std::string_view(entry_.data(), size))) return false;
    EndMessage(output_);
    return true;
  }

 private:
  AppendedMailbox* output_;
  MessageBuffer input_, entry_;
};

}  // namespace

std::string EnvelopeSender(std::string_view header) {
  for (const char* field : {"Return-Path", "From"}) {
    std::string address = AddressIn(HeaderFieldValue(header, field));
    if (IsEnvelopeAddress(address)) return address;
  }
  return kFallbackSender;
}

uint64_t MboxEntryBound(uint64_t length) {
  // A quoted line is at least "From " long, so quoting adds at most a fifth.
  return kFromLineRoom + length + length / 5 + 64;
}

size_t MboxEntry(std::string_view message, const MessageRecord& record, char* out) {
  EntryWriter writer(out);
  size_t header_end = HeaderEnd(message);
  writer.Put(FromLine(message.substr(0, header_end)));
  PutHeader(message.substr(0, header_end), record, &writer);
  for (size_t at = header_end; at < message.size();) {
    size_t end = LineEnd(message, at);
    writer.PutLine(message.data() + at, message.data() + end);
    at = end;
  }
  writer.EndLineIfOpen();
  writer.Put("\n");
  return writer.size();
}

bool ExportMailboxAsMbox(RunState* state, const std::string& name) {
  SourceMailbox source;
  if (!OpenMailboxAndProbeIndex(state->source_dir + name, &source, state->salvage != nullptr))
    return false;
  AppendedMailbox output;
  if (!CreateOutputFile(state->target_dir + MailboxBaseName(name) + ".mbox", &output.file)) {
    CloseSourceMailbox(&source);
    return false;
  }
  BeginMailbox(state, name);
  MboxWriter writer(&output);
  bool ok = ReadMailbox(source.mailbox, source.index, state, &writer);
  if (!ok) CutBackToWholeMessages(&output);  // a failure inside a message takes it back
  CloseSourceMailbox(&source);
  CloseFile(&output.file);
  return ok;
}

}  // namespace ferrolt
