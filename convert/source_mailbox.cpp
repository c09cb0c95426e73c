#include "convert/source_mailbox.h"

#include "convert/index_probe.h"
#include "notices/catalogue.h"
#include "notices/notices.h"

namespace ferrolt {

bool OpenMailboxAndProbeIndex(const std::string& path, SourceMailbox* source, bool salvage) {
  IoStatus status = OpenFileForReading(path, &source->mailbox);
  if (!status.ok()) {
    ShowErrorCode(kOpenSourceFailed, kCaptionProgramError, status.code);
    return false;
  }
  ProbeIndex(path, &source->index, salvage);
  return true;
}

void CloseSourceMailbox(SourceMailbox* source) {
  CloseFile(&source->index);
  CloseFile(&source->mailbox);
}

}  // namespace ferrolt
