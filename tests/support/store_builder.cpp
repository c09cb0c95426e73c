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
  void Append(std::string* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) bytes->push_back(static_cast<char>(Byte()));
  }
};

void AppendU32(std::string* bytes, uint32_t value) {
  bytes->append(4, '\0');
  PutU32(bytes, bytes->size() - 4, value);
}

}  // namespace

BuiltStore BuildStore(const StoreSpec& spec) {
  Noise noise{spec.seed == 0 ? 0x9E3779B9u : spec.seed};
  BuiltStore store;
  std::string& mbx = store.mailbox;
  mbx = spec.mailbox_magic.substr(0, 4);
  noise.Append(&mbx, 4);
  AppendU32(&mbx, spec.override_mailbox_count ? spec.mailbox_count
                                              : static_cast<uint32_t>(spec.messages.size()));
  noise.Append(&mbx, 72);
  for (size_t number = 0; number < spec.messages.size(); ++number) {
    const MessageSpec& message = spec.messages[number];
    store.record_offsets.push_back(static_cast<uint32_t>(mbx.size()));
    mbx += kRecordMarker;
    AppendU32(&mbx, static_cast<uint32_t>(number + 1));
    AppendU32(&mbx, static_cast<uint32_t>(16 + message.bytes.size() + message.padding));
    AppendU32(&mbx, static_cast<uint32_t>(message.bytes.size()));
    mbx += message.bytes;
    noise.Append(&mbx, message.padding);
  }
  if (!spec.with_index) return store;
  std::vector<size_t> order = spec.index_order;
  if (order.empty()) {
    order.resize(spec.messages.size());
    std::iota(order.begin(), order.end(), 0);
  }
  std::string& idx = store.index;
  idx = spec.index_magic.substr(0, 4);
  noise.Append(&idx, 4);
  AppendU32(&idx,
            spec.override_index_count ? spec.index_count : static_cast<uint32_t>(order.size()));
  noise.Append(&idx, 68);
  for (size_t number : order) {
    // Bits above the two the reader knows are noise too.
    idx.push_back(static_cast<char>((noise.Byte() & 0xFC) | spec.messages.at(number).flags));
    noise.Append(&idx, 11);
    AppendU32(&idx, static_cast<uint32_t>(idx.size() - 12));  // the entry's own offset
    AppendU32(&idx, kEntrySize + spec.entry_padding);
    AppendU32(&idx, store.record_offsets.at(number));
    AppendU32(&idx, static_cast<uint32_t>(spec.messages.at(number).bytes.size()));
    noise.Append(&idx, spec.entry_padding);
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

void PutU32(std::string* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string SimpleMessage(const std::string& subject, const std::string& body) {
  return "From: a@example.jp\r\nSubject: " + subject + "\r\n\r\n" + body;
}

}  // namespace ferrolt::testing
