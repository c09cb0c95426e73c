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
  data_.reset();
  capacity_ = 0;
  if (size <= std::numeric_limits<size_t>::max()) {
    data_.reset(new (std::nothrow) char[static_cast<size_t>(size)]);
  }
  if (data_ == nullptr) {
    ShowMessage(kOutOfMemory, kCaptionProgramError);
    return false;
  }
  capacity_ = static_cast<size_t>(size);
  return true;
}

bool ReadWholeMessage(File mailbox, uint32_t length, MessageBuffer* buffer) {
  return buffer->Reserve(length + uint64_t{1}) &&
         ReadExact(mailbox, buffer->data(), length, kReadSourceFailed);
}

bool WriteAll(File output, std::string_view bytes) {
  return WriteInPieces(bytes, [output](std::string_view piece) {
    return WriteExact(output, piece.data(), static_cast<uint32_t>(piece.size()),
                      kWriteOutputFailed);
  });
}

std::string MailboxBaseName(const std::string& mailbox_file_name) {
  if (!HasMailboxExtension(mailbox_file_name)) return mailbox_file_name;
  return mailbox_file_name.substr(0, mailbox_file_name.size() - 4);
}

}  // namespace ferrolt
