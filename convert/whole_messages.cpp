#include "convert/whole_messages.h"

#include <algorithm>

#include "convert/exact_io.h"
#include "notices/catalogue.h"

namespace ferrolt {

void DiscardMessageFile(const std::string& path, File* file) {
  CloseFile(file);
  RemoveFile(path);
}

// Converted text can pass 4 GB where size_t is 64 bits wide; one write moves at most 1 GB.
bool AppendToMailbox(AppendedMailbox* mailbox, std::string_view bytes) {
  constexpr size_t kMostPerWrite = size_t{1} << 30;
  do {
    size_t count = std::min(bytes.size(), kMostPerWrite);
    if (!WriteExact(mailbox->file, bytes.data(), static_cast<uint32_t>(count),
                    kWriteOutputFailed)) {
      return false;
    }
    mailbox->written += count;
    bytes.remove_prefix(count);
  } while (!bytes.empty());
  return true;
}

void EndMessage(AppendedMailbox* mailbox) { mailbox->whole_end = mailbox->written; }

void CutBackToWholeMessages(AppendedMailbox* mailbox) {
  TruncateFile(mailbox->file, mailbox->whole_end);
  mailbox->written = mailbox->whole_end;
}

}  // namespace ferrolt
