#pragma once

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

// Offsets of the fields tests like to damage: in the mailbox and within its records,
constexpr uint32_t kMailboxCountOffset = 8, kFirstRecordOffset = 84, kRecordHeaderSize = 16;
constexpr uint32_t kRecordLengthField = 8, kMessageLengthField = 12;
// in the index and within its entries (an entry's own offset is at 12, its message length at 24).
constexpr uint32_t kIndexCountOffset = 8, kFirstEntryOffset = 80, kEntrySize = 28;
constexpr uint32_t kEntryLengthField = 16, kEntryOffsetField = 20;

// Every record starts with this, then the message's number (from 1).
inline const std::string kRecordMarker("\x00\x7F\x00\x7F", 4);

inline void PutU32(std::string* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A plain message with a Subject, for tests that do not care about its text.
inline std::string SimpleMessage(const std::string& subject, const std::string& body) {
  return "From: a@example.jp\r\nSubject: " + subject + "\r\n\r\n" + body;
}

}  // namespace ferrolt::testing
