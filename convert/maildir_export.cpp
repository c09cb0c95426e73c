#include "convert/maildir_export.h"

#include <ctime>

#include "convert/mail_date.h"
#include "convert/mail_header.h"
#include "convert/mailbox_reader.h"
#include "convert/message_buffer.h"
#include "convert/output_file.h"
#include "convert/source_mailbox.h"
#include "convert/whole_messages.h"
#include "notices/catalogue.h"
#include "notices/notices.h"
#include "platform/mail_files.h"

namespace ferrolt {
namespace {

std::string EscapedHost(const std::string& host) {
  std::string escaped;
  for (char c : host) {
    if (c == '/') {
      escaped += "\\057";
    } else if (c == ':') {
      escaped += "\\072";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

bool CreateMaildir(const std::string& parent, const std::string& maildir) {
  if (!CreateOutputFolder(parent, maildir)) return false;
  for (const char* part : {"tmp", "new", "cur"}) {
    if (!CreateOutputFolder(parent, maildir + kPathSeparator + part)) return false;
  }
  return true;
}

// The message's file dates from when it was sent; a file system that cannot date files loses
// only that, never the message.
void DateFile(File file, std::string_view header, int64_t undated) {
  int64_t instant = undated;
  MessageInstant(header, &instant);
  SetFileTime(file, instant);
}

// The flags live in the file's name; a source's own Status or X-Status line (X-Status: D left
// by a 1990s server) would make readers such as mutt see the message deleted.
constexpr std::string_view kDroppedFields[] = {"Status", "X-Status"};

// The message as it is stored, its status lines left out.
bool WriteMessage(File output, std::string_view message) {
  std::string_view header = message.substr(0, HeaderEnd(message));
  std::string kept = HeaderWithout(header, kDroppedFields);
  if (kept.size() == header.size()) return WriteAll(output, message);
  return WriteAll(output, kept) && WriteAll(output, message.substr(header.size()));
}

// Moves the finished file into place: kOutputNameTaken when the name is taken, else
// kCreateOutputFailed.
bool MoveIntoPlace(const std::string& from, const std::string& to) {
  return ShowCreationFailure(RenameWithoutReplacing(from, to), to, kOutputNameTaken,
                             kCreateOutputFailed);
}

class MaildirWriter final : public MessageConsumer {
 public:
  MaildirWriter(const RunState* state, std::string maildir, int64_t undated)
      : state_(state),
        undated_(undated),
        maildir_(std::move(maildir) + kPathSeparator),
        started_(static_cast<int64_t>(std::time(nullptr))),
        host_(HostName()) {}

  bool HandleMessage(File mailbox, const MessageRecord& message) override {
    if (!ReadWholeMessage(mailbox, message.length, &buffer_)) return false;
    std::string_view bytes(buffer_.data(), message.length);
    std::string unique = MaildirUniqueName(started_, state_->conversion_run.message_count, host_);
    std::string temporary = maildir_ + "tmp" + kPathSeparator + unique;
    File output;
    if (!CreateOutputFile(temporary, &output)) return false;
    // Half a message never stays, not even in tmp/.
    if (!WriteMessage(output, bytes)) {
      DiscardMessageFile(temporary, &output);
      return false;
    }
    DateFile(output, bytes.substr(0, HeaderEnd(bytes)), undated_);
    CloseFile(&output);
    std::string place = MaildirPlace(unique, message, kColonAllowedInFileNames ? ':' : ';');
    if (MoveIntoPlace(temporary, maildir_ + PlatformPath(place))) return true;
    RemoveFile(temporary);
    return false;
  }

 private:
  static std::string PlatformPath(std::string place) {
    place[3] = kPathSeparator;
    return place;
  }

  const RunState* state_;
  int64_t undated_;
  std::string maildir_;
  int64_t started_;
  std::string host_;
  MessageBuffer buffer_;
};

}  // namespace

std::string MaildirUniqueName(int64_t time, int32_t number, const std::string& host) {
  return std::to_string(time) + "." + std::to_string(number) + "." + EscapedHost(host);
}

std::string MaildirPlace(const std::string& unique, const MessageRecord& record,
                         char info_separator) {
  bool read = record.has_flags && IsRead(record.flags);
  bool deleted = record.has_flags && IsDeleted(record.flags);
  if (!read && !deleted) return "new/" + unique;
  std::string flags = std::string(read ? "S" : "") + (deleted ? "T" : "");
  return "cur/" + unique + info_separator + "2," + flags;
}

bool ExportMailboxAsMaildir(RunState* state, const std::string& name) {
  SourceMailbox source;
  if (!OpenMailboxAndProbeIndex(state->source_dir + name, &source, state->salvage != nullptr))
    return false;
  std::string parent = state->target_dir.empty() ? std::string(".") : state->target_dir;
  std::string maildir = state->target_dir + MailboxOutputName(MailboxBaseName(name));
  if (!CreateMaildir(parent, maildir)) {
    CloseSourceMailbox(&source);
    return false;
  }
  BeginMailbox(state, name);
  MaildirWriter writer(state, maildir, UndatedMailTime(source.mailbox));
  bool ok = ReadMailbox(source.mailbox, source.index, state, &writer);
  CloseSourceMailbox(&source);
  return ok;
}

}  // namespace ferrolt
