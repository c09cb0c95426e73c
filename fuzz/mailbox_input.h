#ifndef FERROLT_FUZZ_MAILBOX_INPUT_H_
#define FERROLT_FUZZ_MAILBOX_INPUT_H_

// How one fuzz input holds a mailbox and its index: a 4-byte little-endian length of the
// mailbox part, the mailbox's bytes, then the index's bytes (an empty index part means none).
// The seed generator writes this layout, the mailbox target reads it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ferrolt::fuzz {

struct MailboxInput {
  std::string_view mailbox;
  std::string_view index;
};

// Any bytes split somehow: a length beyond the rest is taken modulo it, so every input counts.
inline MailboxInput SplitMailboxInput(const uint8_t* data, size_t size) {
  MailboxInput input;
  if (size < 4) {
    input.mailbox = std::string_view(reinterpret_cast<const char*>(data), size);
    return input;
  }
  uint32_t length = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                    static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
  std::string_view rest(reinterpret_cast<const char*>(data + 4), size - 4);
  size_t mailbox_size = length % (rest.size() + 1);
  input.mailbox = rest.substr(0, mailbox_size);
  input.index = rest.substr(mailbox_size);
  return input;
}

inline std::string JoinMailboxInput(const std::string& mailbox, const std::string& index) {
  std::string joined;
  uint32_t length = static_cast<uint32_t>(mailbox.size());
  for (int i = 0; i < 4; ++i) joined.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
  return joined + mailbox + index;
}

}  // namespace ferrolt::fuzz

#endif  // FERROLT_FUZZ_MAILBOX_INPUT_H_
