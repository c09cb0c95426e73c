#include "convert/index_probe.h"

#include <cstring>

#include "convert/exact_io.h"
#include "convert/store_format.h"
#include "notices/catalogue.h"

namespace ferrolt {

std::string IndexPathFor(const std::string& mailbox_path) {
  size_t keep = mailbox_path.size() >= 3 ? mailbox_path.size() - 3 : 0;
  return mailbox_path.substr(0, keep) + "idx";
}

bool ProbeIndex(const std::string& mailbox_path, File* index, bool short_is_missing) {
  std::string index_path = IndexPathFor(mailbox_path);
  IoStatus status = OpenFileForReading(index_path, index);
  std::string other_spelling;
  if (status.kind == IoKind::kNotFound && FindSiblingIgnoringCase(index_path, &other_spelling)) {
    status = OpenFileForReading(other_spelling, index);
  }
  if (!status.ok()) return false;
  uint64_t size = 0;
  if (short_is_missing && (!GetFileSize(*index, &size).ok() || size < kMagicSize)) {
    CloseFile(index);
    return false;
  }
  char magic[kMagicSize];
  if (ReadExact(*index, magic, kMagicSize, kReadIndexFailed) &&
      std::memcmp(magic, kIndexMagic.data(), kMagicSize) == 0) {
    return true;
  }
  CloseFile(index);
  return false;
}

}  // namespace ferrolt
