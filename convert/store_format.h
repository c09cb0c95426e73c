#ifndef FERROLT_CONVERT_STORE_FORMAT_H_
#define FERROLT_CONVERT_STORE_FORMAT_H_

// The source client's mailbox (.mbx) and index (.idx) files, field by field: the one place their
// offsets and sizes are written. Every integer is 32 bits, little-endian; offsets in a file are
// from its start, offsets in a record or an entry from the record's or entry's first byte. Bytes
// not named here mean nothing to this program. The readers, the test store builder, the sample
// store, the fuzz seeds and the benchmark store all take the layout from here.

#include <cstdint>
#include <string_view>

namespace ferrolt {

// Offsets are 32 bits wide: no record or entry starts past this.
constexpr uint64_t kLastPosition = 0xFFFFFFFFu;

// ---- The mailbox file: a header, then one record per message, each leading to the next.

constexpr uint32_t kMagicSize = 4;  // each file's first bytes name its kind
constexpr std::string_view kMailboxMagic = "JMF6";

constexpr uint32_t kMailboxCountOffset = 8;  // number of records, read as signed
constexpr uint32_t kFirstRecordOffset = 84;  // where the first record starts

// A record's header, then the message's bytes.
constexpr std::string_view kRecordMarker("\x00\x7F\x00\x7F", 4);  // at 0: every record's start
constexpr uint32_t kRecordNumberField = 4;    // the message's number from 1; nothing reads it
constexpr uint32_t kRecordLengthField = 8;    // from this record's start to the next one's
constexpr uint32_t kMessageLengthField = 12;  // the message's length
constexpr uint32_t kRecordHeaderSize = 16;    // the message's first byte

// ---- The index file: a header, then one entry per message in the index's own order.

constexpr std::string_view kIndexMagic = "JMF9";
constexpr uint32_t kIndexCountOffset = 8;   // number of entries, read as signed
constexpr uint32_t kFirstEntryOffset = 80;  // where the first entry starts

// An entry's fields.
constexpr uint32_t kEntryFlagsField = 0;           // one byte, the flags below
constexpr uint32_t kEntryOwnOffsetField = 12;      // the entry's own offset in the index
constexpr uint32_t kEntryLengthField = 16;         // from this entry's start to the next one's
constexpr uint32_t kEntryRecordOffsetField = 20;   // the message's record in the mailbox
constexpr uint32_t kEntryMessageLengthField = 24;  // the message's length, as its record says
// The fields the normal reader reads end with the record's offset: an entry length below this
// would make entries overlap, and the reader refuses it. It takes the message's length from the
// record, so it never reads the last field.
constexpr uint32_t kEntryReadSize = 24;
// A whole entry as the source client writes it. Salvage reads every field: an entry's own offset
// finds entries after damage, and its message length is checked against the record's.
constexpr uint32_t kEntrySize = 28;

// The flags byte: other bits mean nothing here.
constexpr uint8_t kFlagDeleted = 1;  // deleted in the source client
constexpr uint8_t kFlagUnread = 2;   // never read: it gets no read status

constexpr bool IsDeleted(uint8_t flags) { return (flags & kFlagDeleted) != 0; }
constexpr bool IsRead(uint8_t flags) { return (flags & kFlagUnread) == 0; }

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_STORE_FORMAT_H_
