// Runs the converter over arbitrary bytes with both option strings the program passes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "kanji/jis.h"
#include "kanji/nkf.h"

namespace kanji = ferrolt::kanji;

namespace {

bool IsPlainAscii(const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    if (data[i] >= 0x80 || data[i] == 0x1B || data[i] == 0x0E || data[i] == 0x0F) return false;
    if (data[i] == '=' && i + 1 < size && data[i + 1] == '?') return false;
  }
  return true;
}

// Shift_JIS throughout: every 8-bit byte leads a pair with a valid trail, and no shift control
// (ESC, SO, SI) is left.
bool IsWellFormedShiftJis(const char* text, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    uint8_t byte = static_cast<uint8_t>(text[i]);
    if (byte == 0x1B || byte == 0x0E || byte == 0x0F) return false;
    if (byte < 0x80) continue;
    if (i + 1 == size || !kanji::IsSjisLead(byte) || !kanji::IsSjisTrail(text[i + 1])) return false;
    ++i;
  }
  return true;
}

// The buffer is exactly `capacity` bytes, so AddressSanitizer catches any write past it.
size_t ConvertInto(size_t capacity, const uint8_t* data, size_t size, char** output) {
  *output = static_cast<char*>(malloc(capacity == 0 ? 1 : capacity));
  size_t written = kanji::NkfConvert(*output, capacity, reinterpret_cast<const char*>(data), size);
  if (written > capacity) abort();
  return written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bool plain_ascii = IsPlainAscii(data, size);
  for (const char* options : {"Xsm", "sm"}) {
    kanji::SetNkfOption(options);
    char* output;
    size_t written = ConvertInto(kanji::NkfOutputBound(size), data, size, &output);
    if (written > 2 * size) abort();  // the bound argued beside NkfConvert
    if (plain_ascii && (written != size || memcmp(output, data, size) != 0)) abort();
    if (!IsWellFormedShiftJis(output, written)) abort();
    free(output);
    // A short buffer must hold a prefix of the whole result.
    char* whole;
    size_t whole_size = ConvertInto(kanji::NkfOutputBound(size), data, size, &whole);
    size_t short_capacity = whole_size / 2;
    size_t short_size = ConvertInto(short_capacity, data, size, &output);
    if (memcmp(output, whole, short_size) != 0) abort();
    free(output);
    free(whole);
  }
  return 0;
}
