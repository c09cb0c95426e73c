#include "convert/whole_messages.h"

#include <algorithm>

#include "convert/exact_io.h"
#include "notices/catalogue.h"

namespace ferrolt {

void DiscardMessageFile(const std::string& path, File* file) {
  CloseFile(file);
  RemoveFile(path);
}

bool AppendToMailbox(AppendedMailbox* mailbox, std::string_view bytes) {
  return WriteInPieces(bytes, [mailbox](std::string_view piece) {
    if (!WriteExact(mailbox->file, piece.data(), static_cast<uint32_t>(piece.size()),
                    kWriteOutputFailed)) {
      return false;
    }
    mailbox->written += piece.size();
    return true;
  });
}

void EndMessage(AppendedMailbox* mailbox) { mailbox->whole_end = mailbox->written; }

void CutBackToWholeMessages(AppendedMailbox* mailbox) {
  TruncateFile(mailbox->file, mailbox->whole_end);
  mailbox->written = mailbox->whole_end;
}

}  // namespace ferrolt
