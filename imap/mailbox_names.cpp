#include "imap/mailbox_names.h"

#include <cstdint>
#include <vector>

#include "convert/message_buffer.h"
#include "platform/locale_text.h"

namespace ferrolt {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of the UTF-8 sequence starting at `at` and its code point; 0 when it is not one.
size_t DecodeUtf8(std::string_view text, size_t at, char32_t* code_point) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t lead = byte(at);
  size_t length = lead < 0x80                   ? 1
                  : lead >= 0xC2 && lead < 0xE0 ? 2
                  : lead >= 0xE0 && lead < 0xF0 ? 3
                  : lead >= 0xF0 && lead < 0xF5 ? 4
                                                : 0;
  if (length == 0 || at + length > text.size()) return 0;
  char32_t value = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(at + i) & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) {
    return 0;
  }
  *code_point = value;
  return length;
}

bool IsUtf8(std::string_view text) {
  char32_t ignored;
  for (size_t at = 0; at < text.size();) {
    size_t length = DecodeUtf8(text, at, &ignored);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

void AppendUtf16(char32_t code_point, std::vector<uint16_t>* units) {
  if (code_point < 0x10000) {
    units->push_back(static_cast<uint16_t>(code_point));
  } else {
    code_point -= 0x10000;
    units->push_back(static_cast<uint16_t>(0xD800 + (code_point >> 10)));
    units->push_back(static_cast<uint16_t>(0xDC00 + (code_point & 0x3FF)));
  }
}

// The modified base64 of UTF-16BE (',' for '/', no padding), between '&' and '-'.
std::string ShiftedRun(const std::vector<uint16_t>& units) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";
  std::vector<uint8_t> bytes;
  for (uint16_t unit : units) {
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
  }
  std::string run = "&";
  uint32_t bits = 0;
  int bit_count = 0;
  for (uint8_t byte : bytes) {
    bits = (bits << 8) | byte;
    bit_count += 8;
    while (bit_count >= 6) {
      bit_count -= 6;
      run += kDigits[(bits >> bit_count) & 0x3F];
    }
  }
  if (bit_count > 0) run += kDigits[(bits << (6 - bit_count)) & 0x3F];
  return run + "-";
}

}  // namespace

std::string EncodeModifiedUtf7(std::string_view utf8) {
  std::string encoded;
  std::vector<uint16_t> pending;
  for (size_t at = 0; at < utf8.size();) {
    char32_t code_point = kReplacement;
    size_t length = DecodeUtf8(utf8, at, &code_point);
    at += length == 0 ? 1 : length;
    if (code_point >= 0x20 && code_point <= 0x7E) {
      if (!pending.empty()) encoded += ShiftedRun(pending);
      pending.clear();
      encoded += code_point == '&' ? std::string("&-") : std::string(1, char(code_point));
    } else {
      AppendUtf16(length == 0 ? kReplacement : code_point, &pending);
    }
  }
  if (!pending.empty()) encoded += ShiftedRun(pending);
  return encoded;
}

std::string MailboxFolderName(const std::string& file_name) {
  std::string base = MailboxBaseName(file_name);
  return IsUtf8(base) ? base : Cp932ToUtf8(base);
}

std::string QuoteImapString(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string SubfolderName(const std::string& base, char separator, const std::string& name) {
  std::string leaf = name;
  for (char& c : leaf) {
    if (separator != 0 && c == separator) c = '_';
  }
  return base + (separator == 0 ? '/' : separator) + leaf;
}

}  // namespace ferrolt
