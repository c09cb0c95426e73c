#ifndef FERROLT_CONVERT_BLOCK_READER_H_
#define FERROLT_CONVERT_BLOCK_READER_H_

// Reading a mailbox's records and its index with few system calls: a walk over 20,000 messages
// field by field spent more time in calls than in copying. Each read fails as the exact reads
// of convert/exact_io.h would, with the same notice and code.

#include <cstdint>

#include "convert/message_buffer.h"
#include "platform/files.h"

namespace ferrolt {

// Reads bytes at any position of a file through one block of `capacity` bytes (more only for
// a single longer read), filled afresh only when the bytes lie outside it; the file's own
// position is then undefined.
class BlockReader {
 public:
  BlockReader(File file, uint32_t capacity) : file_(file), capacity_(capacity) {}
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  // Points *bytes at the `count` bytes at `position`, valid until the next call. False, after
  // notice `message_id` (the system's code, or 0 where the file ends first) or 62, when it
  // cannot.
  bool BytesAt(uint64_t position, uint32_t count, const char** bytes, int message_id);
  bool ReadU32At(uint64_t position, uint32_t* value, int message_id);

 private:
  File file_;
  uint32_t capacity_;
  MessageBuffer block_;
  uint64_t start_ = 0;   // the file position of the block's first byte
  uint32_t filled_ = 0;  // bytes of the block read from the file
};

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_BLOCK_READER_H_
