#pragma once

// Builds source mailboxes (.mbx) and indexes (.idx) from a short description, for tests, the
// sample store, fuzz seeds and benchmarks. Every byte the reader must ignore is filled with
// noise from a seeded generator, so code that reads what it should not is caught.

#include <cstdint>
#include <string>
#include <vector>

#include "convert/store_format.h"

namespace ferrolt::testing {

struct MessageSpec {
  std::string bytes;     // the message as stored
  uint8_t flags = 0;     // index flags: kFlagDeleted, kFlagUnread
  uint32_t padding = 0;  // noise bytes after the message, inside its record
};

struct StoreSpec {
  std::vector<MessageSpec> messages;
  bool with_index = true;
  std::vector<size_t> index_order;  // message numbers (0-based) in index order; empty: natural
  std::string mailbox_magic = std::string(kMailboxMagic);
  std::string index_magic = std::string(kIndexMagic);
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

inline void PutU32(std::string* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A plain message with a Subject, for tests that do not care about its text.
inline std::string SimpleMessage(const std::string& subject, const std::string& body) {
  return "From: a@example.jp\r\nSubject: " + subject + "\r\n\r\n" + body;
}

}  // namespace ferrolt::testing
