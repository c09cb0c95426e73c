#include "convert/block_reader.h"

#include <cstring>

#include "convert/exact_io.h"
#include "notices/catalogue.h"
#include "notices/notices.h"

namespace ferrolt {

bool BlockReader::ReadAt(uint64_t position, void* destination, uint32_t count, int message_id) {
  bool inside = position >= start_ && position - start_ + count <= filled_;
  if (!inside) {
    filled_ = 0;
    start_ = position;
    // Whether the seek worked shows in the read, which comes up short past the end.
    SeekFile(file_, position);
    if (!ReadUpTo(file_, block_, kCapacity, &filled_, message_id)) return false;
    if (count > filled_) {
      ShowErrorCode(message_id, kCaptionProgramError, 0);
      return false;
    }
  }
  std::memcpy(destination, block_ + (position - start_), count);
  return true;
}

bool BlockReader::ReadU32At(uint64_t position, uint32_t* value, int message_id) {
  unsigned char bytes[4];
  if (!ReadAt(position, bytes, 4, message_id)) return false;
  *value = ReadU32LE(bytes);
  return true;
}

bool RecordHead::Read(File mailbox, uint64_t position, int message_id) {
  got_ = 0;
  SeekFile(mailbox, position);  // a failed seek shows in the read
  return ReadUpTo(mailbox, bytes_, kSize, &got_, message_id);
}

bool RecordHead::U32At(uint32_t offset, uint32_t* value, int message_id) const {
  if (offset + 4 > got_) {
    ShowErrorCode(message_id, kCaptionProgramError, 0);
    return false;
  }
  *value = ReadU32LE(bytes_ + offset);
  return true;
}

}  // namespace ferrolt
