#include "convert/exact_io.h"

#include "convert/exact_io_fixture.h"
#include "notices/catalogue.h"
#include "notices/notices.h"

namespace ferrolt {
namespace {

// The one buffer every copy goes through; only one run works at a time.
unsigned char BlockBuffer[kBlockSize];

TransferObserver transfer_observer = nullptr;

// A failed call shows the system's error; a short transfer shows code 0.
bool ReportTransfer(const IoStatus& status, uint32_t moved, uint32_t count, int notice_id) {
  if (!status.ok()) {
    ShowErrorCode(notice_id, kCaptionProgramError, status.code);
    return false;
  }
  if (moved != count) {
    ShowErrorCode(notice_id, kCaptionProgramError, 0);
    return false;
  }
  return true;
}

bool CopyBlock(File source, File output, uint32_t count) {
  if (!ReadExact(source, BlockBuffer, count, kReadSourceFailed)) return false;
  return WriteExact(output, BlockBuffer, count, kWriteOutputFailed);
}

// False, after notice `notice_id` with code 0, when a test fails this transfer.
bool TransferAllowed(bool is_write, uint32_t count, int notice_id) {
  if (transfer_observer == nullptr || transfer_observer(is_write, count)) return true;
  ShowErrorCode(notice_id, kCaptionProgramError, 0);
  return false;
}

}  // namespace

bool ReadExact(File file, void* destination, uint32_t count, int notice_id) {
  uint32_t moved = 0;
  if (!TransferAllowed(false, count, notice_id)) return false;
  IoStatus status = ReadFromFile(file, destination, count, &moved);
  return ReportTransfer(status, moved, count, notice_id);
}

bool ReadUpTo(File file, void* destination, uint32_t count, uint32_t* moved, int notice_id) {
  *moved = 0;
  if (!TransferAllowed(false, count, notice_id)) return false;
  IoStatus status = ReadFromFile(file, destination, count, moved);
  return ReportTransfer(status, 0, 0, notice_id);
}

bool WriteExact(File file, const void* source, uint32_t count, int notice_id) {
  uint32_t moved = 0;
  if (!TransferAllowed(true, count, notice_id)) return false;
  IoStatus status = WriteToFile(file, source, count, &moved);
  return ReportTransfer(status, moved, count, notice_id);
}

bool CopyBytes(File source, File output, uint32_t count) {
  while (count > kBlockSize) {
    if (!CopyBlock(source, output, kBlockSize)) return false;
    count -= kBlockSize;
  }
  return CopyBlock(source, output, count);
}

uint32_t ReadU32LE(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Only tests set one, through convert/exact_io_fixture.h.
void SetTransferObserver(TransferObserver observer) { transfer_observer = observer; }

}  // namespace ferrolt
