#ifndef FERROLT_CONVERT_BLOCK_READER_H_
#define FERROLT_CONVERT_BLOCK_READER_H_

// Reading the small fields of a mailbox's records and of its index with few system calls: a walk
// over 20,000 messages field by field spent more time in calls than in copying. Each read fails
// as the exact reads of convert/exact_io.h would, with the same notice and code.

#include <cstdint>

#include "platform/files.h"

namespace ferrolt {

// Reads fields at any position of a file through one block, filled afresh only when a field lies
// outside it; the file's own position is then undefined.
class BlockReader {
 public:
  static constexpr uint32_t kCapacity = 16384;

  explicit BlockReader(File file) : file_(file) {}
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  // Copies `count` (at most kCapacity) bytes at `position` to `destination`. False, after
  // notice `message_id` (the system's code, or 0 where the file ends first), when it cannot.
  bool ReadAt(uint64_t position, void* destination, uint32_t count, int message_id);
  bool ReadU32At(uint64_t position, uint32_t* value, int message_id);

 private:
  File file_;
  unsigned char block_[kCapacity];
  uint64_t start_ = 0;   // the file position of block_[0]
  uint32_t filled_ = 0;  // bytes of block_ read from the file
};

// The 16 bytes that start a record of the mailbox, read in one call; the file is left at the
// message's first byte when they were all there.
class RecordHead {
 public:
  static constexpr uint32_t kSize = 16;

  // Reads the head at `position`. False, after notice `message_id`, when the read fails.
  bool Read(File mailbox, uint64_t position, int message_id);
  // The field at `offset` of the head; false, after notice `message_id` with code 0, when the
  // mailbox ended before it.
  bool U32At(uint32_t offset, uint32_t* value, int message_id) const;

 private:
  unsigned char bytes_[kSize] = {};
  uint32_t got_ = 0;
};

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_BLOCK_READER_H_
