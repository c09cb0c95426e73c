#include "convert/message_buffer.h"

#include <algorithm>
#include <limits>
#include <new>

#include "convert/exact_io.h"
#include "convert/mailbox_listing.h"
#include "notices/catalogue.h"
#include "notices/notices.h"
#include "platform/files.h"

namespace ferrolt {

bool MessageBuffer::Reserve(uint64_t size) {
  if (size <= capacity_) return true;
  if (size > std::numeric_limits<size_t>::max()) return false;
  data_.reset();
  capacity_ = 0;
  data_.reset(new (std::nothrow) char[static_cast<size_t>(size)]);
  if (data_ == nullptr) return false;
  capacity_ = static_cast<size_t>(size);
  return true;
}

bool ReadWholeMessage(File mailbox, uint32_t length, MessageBuffer* buffer) {
  if (!buffer->Reserve(length + uint64_t{1})) {
    ShowMessage(kOutOfMemory, kCaptionProgramError);
    return false;
  }
  return ReadExact(mailbox, buffer->data(), length, kReadSourceFailed);
}

bool WriteAll(File output, std::string_view bytes) {
  constexpr size_t kMostPerWrite = size_t{1} << 30;
  do {
    size_t count = std::min(bytes.size(), kMostPerWrite);
    if (!WriteExact(output, bytes.data(), static_cast<uint32_t>(count), kWriteOutputFailed)) {
      return false;
    }
    bytes.remove_prefix(count);
  } while (!bytes.empty());
  return true;
}

std::string MailboxBaseName(const std::string& mailbox_file_name) {
  if (!HasMailboxExtension(mailbox_file_name)) return mailbox_file_name;
  return mailbox_file_name.substr(0, mailbox_file_name.size() - 4);
}

}  // namespace ferrolt
