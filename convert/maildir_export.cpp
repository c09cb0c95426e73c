#include "convert/maildir_export.h"

#include <ctime>
#include <utility>

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

// The Maildir's folders, held open while its messages are written: a folder swapped for a link
// during the run sends nothing outside the target folder.
struct MaildirFolders {
  Folder maildir, tmp, fresh, cur;  // fresh: new/

  MaildirFolders() = default;
  MaildirFolders(const MaildirFolders&) = delete;
  MaildirFolders& operator=(const MaildirFolders&) = delete;
  ~MaildirFolders() {
    for (Folder* folder : {&maildir, &tmp, &fresh, &cur}) CloseFolder(folder);
  }
};

bool CreateMaildir(const std::string& target_dir, const std::string& name,
                   MaildirFolders* folders) {
  Folder target;
  IoStatus opened = OpenFolder(target_dir, &target);
  if (!ShowCreationFailure(opened, target_dir, kOutputNameTaken, kCreateFolderFailed)) return false;
  bool made = ShowCreationFailure(CreateSubfolder(target, name, &folders->maildir),
                                  target.path + name, kOutputNameTaken, kCreateFolderFailed);
  CloseFolder(&target);
  const std::pair<const char*, Folder*> kParts[] = {
      {"tmp", &folders->tmp}, {"new", &folders->fresh}, {"cur", &folders->cur}};
  for (auto [part, folder] : kParts) {
    if (!made) return false;
    made = ShowCreationFailure(CreateSubfolder(folders->maildir, part, folder),
                               folders->maildir.path + part, kOutputNameTaken, kCreateFolderFailed);
  }
  return made;
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

class MaildirWriter final : public MessageConsumer {
 public:
  MaildirWriter(const RunState* state, const MaildirFolders* folders, int64_t undated)
      : state_(state),
        folders_(folders),
        undated_(undated),
        started_(static_cast<int64_t>(std::time(nullptr))),
        host_(HostName()) {}

  bool HandleMessage(File mailbox, const MessageRecord& message) override {
    if (!ReadWholeMessage(mailbox, message.length, &buffer_)) return false;
    std::string_view bytes(buffer_.data(), message.length);
    std::string unique = MaildirUniqueName(started_, state_->conversion_run.message_count, host_);
    const Folder& tmp = folders_->tmp;
    File output;
    if (!ShowCreationFailure(CreateNewFileIn(tmp, unique, &output), tmp.path + unique,
                             kOutputNameTaken, kCreateOutputFailed))
      return false;
    // Half a message never stays, not even in tmp/.
    bool written = WriteMessage(output, bytes);
    if (written) DateFile(output, bytes.substr(0, HeaderEnd(bytes)), undated_);
    CloseFile(&output);
    if (written && MoveIntoPlace(unique, message)) return true;
    RemoveFileIn(tmp, unique);
    return false;
  }

 private:
  // Moves the finished file from tmp/ to new/ or cur/, never replacing a file there.
  bool MoveIntoPlace(const std::string& unique, const MessageRecord& message) {
    std::string place = MaildirPlace(unique, message, kColonAllowedInFileNames ? ':' : ';');
    const Folder& to = place[0] == 'n' ? folders_->fresh : folders_->cur;
    std::string name = place.substr(4);  // after "new/" or "cur/"
    return ShowCreationFailure(MoveWithoutReplacing(folders_->tmp, unique, to, name),
                               to.path + name, kOutputNameTaken, kCreateOutputFailed);
  }

  const RunState* state_;
  const MaildirFolders* folders_;
  int64_t undated_;
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
  if (!OpenMailboxAndProbeIndex(state->source_dir + name, &source, state->choices.salvage))
    return false;
  MaildirFolders folders;
  if (!CreateMaildir(state->target_dir, MailboxOutputName(MailboxBaseName(name)), &folders)) {
    CloseSourceMailbox(&source);
    return false;
  }
  BeginMailbox(state, name);
  MaildirWriter writer(state, &folders, UndatedMailTime(source.mailbox));
  bool ok = ReadMailbox(source.mailbox, source.index, state, &writer);
  CloseSourceMailbox(&source);
  return ok;
}

}  // namespace ferrolt
