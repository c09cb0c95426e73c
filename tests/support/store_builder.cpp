#include "tests/support/store_builder.h"

#include <fstream>
#include <iterator>
#include <numeric>
#include <stdexcept>

namespace ferrolt::testing {
namespace {

// A small deterministic generator (xorshift32): the same seed gives the same store everywhere.
struct Noise {
  uint32_t state;
  uint8_t Byte() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<uint8_t>(state >> 24);
  }
  std::string Bytes(size_t count) {
    std::string bytes;
    while (bytes.size() < count) bytes += static_cast<char>(Byte());
    return bytes;
  }
};

// `value` as four little-endian bytes (only its low 32 bits).
std::string U32(size_t value) {
  std::string bytes(4, '\0');
  PutU32(&bytes, 0, static_cast<uint32_t>(value));
  return bytes;
}

// The fields are written one after the other, in this order.
static_assert(kRecordLengthField == kRecordNumberField + 4 &&
              kMessageLengthField == kRecordLengthField + 4 &&
              kRecordHeaderSize == kMessageLengthField + 4);
static_assert(kEntryLengthField == kEntryOwnOffsetField + 4 &&
              kEntryRecordOffsetField == kEntryLengthField + 4 &&
              kEntryMessageLengthField == kEntryRecordOffsetField + 4 &&
              kEntrySize == kEntryMessageLengthField + 4);

}  // namespace

BuiltStore BuildStore(const StoreSpec& spec) {
  Noise noise{spec.seed == 0 ? 0x9E3779B9u : spec.seed};
  BuiltStore store;
  std::string& mbx = store.mailbox;
  mbx = spec.mailbox_magic.substr(0, kMagicSize) + noise.Bytes(kMailboxCountOffset - kMagicSize);
  mbx += U32(spec.override_mailbox_count ? spec.mailbox_count : spec.messages.size());
  mbx += noise.Bytes(kFirstRecordOffset - kMailboxCountOffset - 4);
  for (size_t number = 0; number < spec.messages.size(); ++number) {
    const MessageSpec& message = spec.messages[number];
    store.record_offsets.push_back(static_cast<uint32_t>(mbx.size()));
    mbx += std::string(kRecordMarker) + U32(number + 1) +
           U32(kRecordHeaderSize + message.bytes.size() + message.padding) +
           U32(message.bytes.size()) + message.bytes + noise.Bytes(message.padding);
  }
  if (!spec.with_index) return store;
  std::vector<size_t> order(spec.messages.size());
  std::iota(order.begin(), order.end(), 0);
  if (!spec.index_order.empty()) order = spec.index_order;
  std::string& idx = store.index;
  idx = spec.index_magic.substr(0, kMagicSize) + noise.Bytes(kIndexCountOffset - kMagicSize);
  idx += U32(spec.override_index_count ? spec.index_count : order.size());
  idx += noise.Bytes(kFirstEntryOffset - kIndexCountOffset - 4);
  for (size_t number : order) {
    const MessageSpec& message = spec.messages.at(number);
    const size_t entry = idx.size();
    // Bits above the two the reader knows are noise too.
    idx += static_cast<char>((noise.Byte() & 0xFC) | message.flags);
    idx += noise.Bytes(kEntryOwnOffsetField - 1);
    idx += U32(entry) + U32(kEntrySize + spec.entry_padding) +
           U32(store.record_offsets.at(number)) + U32(message.bytes.size()) +
           noise.Bytes(spec.entry_padding);
  }
  return store;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteStore(const std::string& folder, const std::string& base, const BuiltStore& store) {
  WriteFileBytes(folder + "/" + base + ".mbx", store.mailbox);
  if (!store.index.empty()) WriteFileBytes(folder + "/" + base + ".idx", store.index);
}

}  // namespace ferrolt::testing
