#ifndef FERROLT_CONVERT_EXACT_IO_H_
#define FERROLT_CONVERT_EXACT_IO_H_

// Transfers that move exactly the number of bytes asked for, or show one notice (the catalogue
// text `notice_id` the caller chose, with the system's error code, 0 for a short transfer) and
// return false.

#include <cstdint>
#include <string_view>

#include "platform/files.h"

namespace ferrolt {

constexpr uint32_t kBlockSize = 32768;

bool ReadExact(File file, void* destination, uint32_t count, int notice_id);
bool WriteExact(File file, const void* source, uint32_t count, int notice_id);

// Reads up to `count` bytes; *moved tells how many, fewer only where the file ends. A failed
// call shows notice `notice_id` with the system's code.
bool ReadUpTo(File file, void* destination, uint32_t count, uint32_t* moved, int notice_id);

// Copies `count` bytes from the source's position to the output's through the one block
// buffer: whole blocks while more than a block remains, then the rest (possibly 0 bytes, or
// exactly one block) in a final transfer. Reads report kReadSourceFailed, writes
// kWriteOutputFailed.
bool CopyBytes(File source, File output, uint32_t count);

// Hands `bytes` to `write_piece` in pieces a 32-bit count can carry, at most 1 GB each: text
// converted in memory can pass 4 GB where size_t is 64 bits wide. An empty `bytes` is one empty
// piece. Stops at the first piece `write_piece` refuses; true when none was refused.
template <typename WritePiece>
bool WriteInPieces(std::string_view bytes, WritePiece write_piece) {
  constexpr size_t kMostPerWrite = size_t{1} << 30;
  do {
    std::string_view piece = bytes.substr(0, kMostPerWrite);
    if (!write_piece(piece)) return false;
    bytes.remove_prefix(piece.size());
  } while (!bytes.empty());
  return true;
}

// The unsigned 32-bit number stored least significant byte first.
uint32_t ReadU32LE(const unsigned char* bytes);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_EXACT_IO_H_
