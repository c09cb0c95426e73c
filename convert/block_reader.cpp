#include "convert/block_reader.h"

#include <algorithm>

#include "convert/exact_io.h"
#include "notices/catalogue.h"
#include "notices/notices.h"

namespace ferrolt {

bool BlockReader::BytesAt(uint64_t position, uint32_t count, const char** bytes, int message_id) {
  if (position < start_ || position - start_ + count > filled_) {
    uint32_t size = std::max(capacity_, count);
    filled_ = 0;
    start_ = position;
    if (!block_.Reserve(size)) return false;
    // Whether the seek worked shows in the read, which comes up short past the end.
    SeekFile(file_, position);
    if (!ReadUpTo(file_, block_.data(), size, &filled_, message_id)) return false;
    if (count > filled_) {
      ShowErrorCode(message_id, kCaptionProgramError, 0);
      return false;
    }
  }
  *bytes = block_.data() + (position - start_);
  return true;
}

bool BlockReader::ReadU32At(uint64_t position, uint32_t* value, int message_id) {
  const char* bytes = nullptr;
  if (!BytesAt(position, 4, &bytes, message_id)) return false;
  *value = ReadU32LE(reinterpret_cast<const unsigned char*>(bytes));
  return true;
}

}  // namespace ferrolt
