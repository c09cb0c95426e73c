#include "convert/batched_mailbox.h"

#include <algorithm>
#include <string_view>

#include "notices/catalogue.h"
#include "notices/notices.h"

namespace ferrolt {

char* BatchedMailbox::Room(uint64_t bound) {
  if (used_ + bound > capacity_) {
    if (used_ > 0 && !Flush()) return nullptr;
    capacity_ = 0;
    if (!batch_.Reserve(std::max(kBatchSize, bound))) {
      ShowMessage(kOutOfMemory, kCaptionProgramError);
      return nullptr;
    }
    capacity_ = std::max(kBatchSize, bound);
  }
  return batch_.data() + used_;
}

void BatchedMailbox::Add(size_t size) {
  used_ += size;
  ends_.push_back(used_);
}

bool BatchedMailbox::Flush() { return Write(false); }

void BatchedMailbox::FlushQuietly() { Write(true); }

bool BatchedMailbox::Write(bool quietly) {
  uint64_t start = mailbox_->whole_end;
  bool ok = true;
  if (quietly) {
    // One call at most a gigabyte, as AppendToMailbox writes.
    for (uint64_t at = 0; ok && at < used_;) {
      uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(used_ - at, 1u << 30)), moved = 0;
      ok = WriteToFile(mailbox_->file, batch_.data() + at, count, &moved).ok() && moved == count;
      at += count;
    }
    if (ok) mailbox_->written = start + used_;
  } else {
    ok = AppendToMailbox(mailbox_, std::string_view(batch_.data(), used_));
  }
  uint64_t reached = start + used_;
  if (!ok && !GetFileSize(mailbox_->file, &reached).ok()) reached = start;
  for (uint64_t end : ends_) {
    if (start + end <= reached) mailbox_->whole_end = start + end;
  }
  used_ = 0;
  ends_.clear();
  return ok;
}

}  // namespace ferrolt
