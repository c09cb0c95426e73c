#ifndef FERROLT_TESTS_SUPPORT_STORE_BUILDER_H_
#define FERROLT_TESTS_SUPPORT_STORE_BUILDER_H_

// Builds source mailboxes (.mbx) and indexes (.idx) from a short description, for tests, the
// sample store, fuzz seeds and benchmarks. Every byte the reader must ignore is filled with
// noise from a seeded generator, so code that reads what it should not is caught.

#include <cstdint>
#include <string>
#include <vector>

namespace ferrolt::testing {

struct MessageSpec {
  std::string bytes;     // the message as stored
  uint8_t flags = 0;     // index flags: 1 deleted, 2 unread
  uint32_t padding = 0;  // noise bytes after the message, inside its record
};

struct StoreSpec {
  std::vector<MessageSpec> messages;
  bool with_index = true;
  std::vector<size_t> index_order;  // message numbers (0-based) in index order; empty: natural
  std::string mailbox_magic = "JMF6";
  std::string index_magic = "JMF9";
  bool override_mailbox_count = false;  // write `mailbox_count` instead of the real number
  uint32_t mailbox_count = 0;
  bool override_index_count = false;
  uint32_t index_count = 0;
  uint32_t entry_padding = 0;  // noise bytes after every index entry
  uint32_t seed = 1;
};

struct BuiltStore {
  std::string mailbox;                   // the .mbx bytes
  std::string index;                     // the .idx bytes (empty without an index)
  std::vector<uint32_t> record_offsets;  // per message, in message order
};

BuiltStore BuildStore(const StoreSpec& spec);

// Writes `folder`/`base`.mbx and, when built, `folder`/`base`.idx.
void WriteStore(const std::string& folder, const std::string& base, const BuiltStore& store);

// Whole-file helpers.
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);

// Offsets of the fields tests like to damage.
constexpr uint32_t kMailboxCountOffset = 8;
constexpr uint32_t kFirstRecordOffset = 84;
constexpr uint32_t kIndexCountOffset = 8;
constexpr uint32_t kFirstEntryOffset = 80;
constexpr uint32_t kRecordLengthField = 8;  // within a record
constexpr uint32_t kMessageLengthField = 12;
constexpr uint32_t kEntryLengthField = 16;  // within an entry
constexpr uint32_t kEntryOffsetField = 20;
constexpr uint32_t kEntrySize = 28;  // own offset at 12, message length at 24
constexpr uint32_t kRecordHeaderSize = 16;

// Every record starts with this, then the message's number (from 1).
inline const std::string kRecordMarker("\x00\x7F\x00\x7F", 4);

void PutU32(std::string* bytes, size_t at, uint32_t value);

// A plain message with a Subject, for tests that do not care about its text.
std::string SimpleMessage(const std::string& subject, const std::string& body);

}  // namespace ferrolt::testing

#endif  // FERROLT_TESTS_SUPPORT_STORE_BUILDER_H_
