#include "convert/batched_mailbox.h"

#include <algorithm>
#include <string_view>

#include "convert/exact_io.h"

namespace ferrolt {

char* BatchedMailbox::Room(uint64_t bound) {
  if (used_ + bound > capacity_) {
    if (used_ > 0 && !Flush()) return nullptr;
    capacity_ = 0;
    if (!batch_.Reserve(std::max(kBatchSize, bound))) return nullptr;
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
  std::string_view batch(batch_.data(), used_);
  bool ok = true;
  if (quietly) {
    ok = batch.empty() || WriteInPieces(batch, [this](std::string_view piece) {
           uint32_t count = static_cast<uint32_t>(piece.size()), moved = 0;
           return WriteToFile(mailbox_->file, piece.data(), count, &moved).ok() && moved == count;
         });
    if (ok) mailbox_->written = start + used_;
  } else {
    ok = AppendToMailbox(mailbox_, batch);
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
