#include "tests/support/mail_generator.h"

#include <array>
#include <random>
#include <vector>

namespace ferrolt::kanji {
namespace {

// One character as {kind, first, second}: 'a' an ASCII byte; 'k' a kanji, its 7-bit JIS pair;
// 'h' a half-width kana, its 7-bit code; 'n' a line end, '\n' for LF, '\r' for CR LF and 'c' for
// a lone CR.
using Char = std::array<uint8_t, 3>;

struct Generator {
  std::mt19937 random;
  const MailShape& shape;
  bool kana_only = false;

  int Below(int limit) { return static_cast<int>(random() % static_cast<uint32_t>(limit)); }

  // Rows 1-8, 13 and 16-84.
  uint8_t KanjiRow() {
    int pick = Below(9 + 69);
    return static_cast<uint8_t>(pick < 8 ? pick + 1 : pick == 8 ? 13 : pick + 7);
  }

  Char Japanese(bool allow_mark) {
    if (shape.kana_lookalike_kanji) {
      uint8_t row = KanjiRow();
      while (row > 0x3F) row = KanjiRow();
      return {'k', static_cast<uint8_t>(0x20 + row), static_cast<uint8_t>(0x21 + Below(63))};
    }
    if (kana_only || Below(8) == 0) {
      int limit = allow_mark ? 0x3F : 0x3D;  // the sound marks are 0x5E and 0x5F
      return {'h', static_cast<uint8_t>(0x21 + Below(limit)), 0};
    }
    return {'k', static_cast<uint8_t>(0x20 + KanjiRow()), static_cast<uint8_t>(0x21 + Below(94))};
  }

  std::vector<Char> Text(int length, bool line_ends) {
    static constexpr char kPool[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,:;!?-()[]<>@_/'\"";
    static constexpr uint8_t kEnds[] = {'\n', '\r', 'c', '\n', '\r'};
    std::vector<Char> text;
    bool japanese = Below(2) == 0;
    for (int i = 0; i < length; ++i) {
      if (Below(shape.switch_one_in) == 0) japanese = !japanese;
      text.push_back(line_ends && Below(30) == 0 ? Char{'n', kEnds[Below(5)]}
                     : japanese                  ? Japanese(!text.empty())
                                : Char{'a', static_cast<uint8_t>(kPool[Below(sizeof kPool - 1)])});
    }
    text.push_back(Japanese(false));  // never pure ASCII
    return text;
  }
};

std::string Encode(const std::vector<Char>& text, MailCode code) {
  std::string out, shift = "\x1b(B";
  for (const auto& [kind, first, second] : text) {
    std::string wanted = kind == 'k' ? "\x1b$B" : kind == 'h' ? "\x1b(I" : "\x1b(B";
    if (code == MailCode::kIso2022Jp && wanted != shift) out += shift = wanted;
    if (kind == 'k' && code == MailCode::kShiftJis) {
      out += static_cast<char>(((first + 1) >> 1) + (first <= 0x5E ? 0x70 : 0xB0));
      out += static_cast<char>(second + (!(first & 1) ? 0x7E : second >= 0x60 ? 0x20 : 0x1F));
    } else if (kind == 'k') {
      uint8_t high = code == MailCode::kEucJp ? 0x80 : 0;
      out += {static_cast<char>(first | high), static_cast<char>(second | high)};
    } else if (kind == 'h') {
      if (code == MailCode::kEucJp) out += '\x8e';
      out += static_cast<char>(code == MailCode::kIso2022Jp ? first : first | 0x80);
    } else if (kind == 'a') {
      out += static_cast<char>(first);
    } else {
      out += first == '\n' ? "\n" : first == '\r' ? "\r\n" : "\r";
    }
  }
  return code == MailCode::kIso2022Jp && shift != "\x1b(B" ? out + "\x1b(B" : out;
}

}  // namespace

std::string Base64(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t group = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<uint8_t>(bytes[i + 2]);
    for (size_t digit = 0; digit < 4; ++digit) {
      out += i + digit <= bytes.size() ? kDigits[(group >> (18 - 6 * digit)) & 63] : '=';
    }
  }
  return out;
}

std::string GenerateMail(uint32_t seed, MailCode code, const MailShape& shape) {
  Generator g{std::mt19937(seed), shape};
  g.kana_only = g.Below(100) < shape.kana_only_percent;
  std::string line_end = g.Below(2) == 0 ? "\r\n" : "\n";
  std::string subject = "Subject: " + Encode(g.Text(g.Below(8), false), code);
  for (int i = 0, words = 1 + g.Below(3); i < words; ++i) {
    static constexpr const char* kGaps[] = {" ", " ", "\t", "  "};
    subject += i > 0 && g.Below(3) == 0 ? line_end + kGaps[g.Below(4)] : kGaps[g.Below(4)];
    // An encoded word of whole characters in the mail's own code, its charset in either case.
    std::vector<Char> text = g.Text(1 + g.Below(12), false);
    text.front() = g.Japanese(false);
    static constexpr const char* kCharsets[2][3] = {{"ISO-2022-JP", "EUC-JP", "SHIFT_JIS"},
                                                    {"iso-2022-jp", "euc-jp", "shift_jis"}};
    std::string charset = kCharsets[g.Below(4) == 0][static_cast<int>(code)];
    subject += "=?" + charset + "?B?" + Base64(Encode(text, code)) + "?=";
  }
  if (g.Below(2) == 0) subject.append(" ").append(Encode(g.Text(g.Below(6), false), code));
  return "From: Sender <sender@example.jp>" + line_end + subject + line_end +
         "Date: Mon, 3 Jun 2002 10:00:00 +0900" + line_end + line_end +
         Encode(g.Text(shape.body_chars, true), code) + line_end;
}

}  // namespace ferrolt::kanji
