#include "tests/support/mail_generator.h"

#include <random>
#include <vector>

namespace kanji {
namespace {

enum class Kind : uint8_t { kAscii, kKanji, kKana, kLineEnd };

// One character; a kanji is its 7-bit JIS pair, a kana its 7-bit code, a line end its text.
struct Char {
  Kind kind;
  uint8_t first;
  uint8_t second;
};

struct Generator {
  std::mt19937 random;
  MailCode code;
  bool kana_only;
  int switch_one_in;
  bool kana_lookalike_kanji;

  int Below(int limit) { return static_cast<int>(random() % static_cast<uint32_t>(limit)); }

  uint8_t KanjiRow() {
    static constexpr uint8_t kRows[] = {1, 2, 3, 4, 5, 6, 7, 8, 13};
    int pick = Below(9 + 69);
    return static_cast<uint8_t>(pick < 9 ? kRows[pick] : 16 + pick - 9);
  }

  Char Japanese(bool allow_mark) {
    if (kana_lookalike_kanji) {
      uint8_t row = KanjiRow();
      while (row > 0x3F) row = KanjiRow();
      return {Kind::kKanji, static_cast<uint8_t>(0x20 + row),
              static_cast<uint8_t>(0x21 + Below(63))};
    }
    if (kana_only || Below(8) == 0) {
      int limit = allow_mark ? 0x3F : 0x3D;  // the sound marks are 0x5E and 0x5F
      return {Kind::kKana, static_cast<uint8_t>(0x21 + Below(limit)), 0};
    }
    return {Kind::kKanji, static_cast<uint8_t>(0x20 + KanjiRow()),
            static_cast<uint8_t>(0x21 + Below(94))};
  }

  Char Ascii() {
    static constexpr char kPool[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,:;!?-()[]<>@_/'\"";
    return {Kind::kAscii, static_cast<uint8_t>(kPool[Below(sizeof kPool - 1)]), 0};
  }

  std::vector<Char> Text(int length, bool line_ends) {
    std::vector<Char> text;
    bool japanese = Below(2) == 0;
    for (int i = 0; i < length; ++i) {
      if (Below(switch_one_in) == 0) japanese = !japanese;
      if (line_ends && Below(30) == 0) {
        static constexpr uint8_t kEnds[] = {'\n', '\r', 'c', '\n', '\r'};
        text.push_back({Kind::kLineEnd, kEnds[Below(5)], 0});
      } else {
        text.push_back(japanese ? Japanese(!text.empty()) : Ascii());
      }
    }
    text.push_back(Japanese(false));  // never pure ASCII
    return text;
  }
};

void AppendShiftJis(std::string& out, uint8_t row, uint8_t cell) {
  out += static_cast<char>(((row + 1) >> 1) + (row <= 0x5E ? 0x70 : 0xB0));
  if (row & 1) {
    out += static_cast<char>(cell + (cell >= 0x60 ? 0x20 : 0x1F));
  } else {
    out += static_cast<char>(cell + 0x7E);
  }
}

// A line end holds '\n' for LF, '\r' for CR LF and 'c' for a lone CR.
void AppendLineEnd(std::string& out, const Char& c) {
  out += c.first == '\n' ? "\n" : c.first == '\r' ? "\r\n" : "\r";
}

std::string Encode(const std::vector<Char>& text, MailCode code) {
  std::string out;
  const char* shift = "\x1b(B";
  auto shift_to = [&](const char* wanted) {
    if (code == MailCode::kIso2022Jp && std::string(shift) != wanted) out += shift = wanted;
  };
  for (const Char& c : text) {
    if (c.kind == Kind::kKanji) {
      shift_to("\x1b$B");
      if (code == MailCode::kIso2022Jp)
        out += {static_cast<char>(c.first), static_cast<char>(c.second)};
      if (code == MailCode::kEucJp)
        out += {static_cast<char>(c.first | 0x80), static_cast<char>(c.second | 0x80)};
      if (code == MailCode::kShiftJis) AppendShiftJis(out, c.first, c.second);
    } else if (c.kind == Kind::kKana) {
      shift_to("\x1b(I");
      if (code == MailCode::kEucJp) out += '\x8e';
      out += static_cast<char>(code == MailCode::kIso2022Jp ? c.first : c.first | 0x80);
    } else {
      shift_to("\x1b(B");
      if (c.kind == Kind::kAscii) out += static_cast<char>(c.first);
      if (c.kind == Kind::kLineEnd) AppendLineEnd(out, c);
    }
  }
  shift_to("\x1b(B");
  return out;
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
      bool present = i + digit <= bytes.size();
      out += present ? kDigits[(group >> (18 - 6 * digit)) & 63] : '=';
    }
  }
  return out;
}

namespace {

std::string EncodedWord(Generator& g, MailCode code) {
  static constexpr const char* kCharsets[] = {"ISO-2022-JP", "EUC-JP", "SHIFT_JIS"};
  static constexpr const char* kLowerCharsets[] = {"iso-2022-jp", "euc-jp", "shift_jis"};
  int index = static_cast<int>(code);
  std::vector<Char> text = g.Text(1 + g.Below(12), false);
  text.front() = g.Japanese(false);
  std::string charset = g.Below(4) == 0 ? kLowerCharsets[index] : kCharsets[index];
  return "=?" + charset + "?B?" + Base64(Encode(text, code)) + "?=";
}

std::string Subject(Generator& g, MailCode code, bool encoded_words, const std::string& line_end) {
  std::string subject = "Subject: " + Encode(g.Text(g.Below(8), false), code);
  int words = 1 + g.Below(3);
  for (int i = 0; i < words; ++i) {
    static constexpr const char* kGaps[] = {" ", " ", "\t", "  "};
    subject += i > 0 && g.Below(3) == 0 ? line_end + kGaps[g.Below(4)] : kGaps[g.Below(4)];
    std::string word = EncodedWord(g, code);
    if (encoded_words) subject += word;
  }
  if (g.Below(2) == 0) subject.append(" ").append(Encode(g.Text(g.Below(6), false), code));
  return subject.append(line_end);
}

}  // namespace

std::string GenerateMail(uint32_t seed, MailCode code, const MailShape& shape) {
  Generator g{std::mt19937(seed), code, false, shape.switch_one_in, shape.kana_lookalike_kanji};
  g.kana_only = g.Below(100) < shape.kana_only_percent;
  std::string line_end = g.Below(2) == 0 ? "\r\n" : "\n";
  std::string mail = "From: Sender <sender@example.jp>" + line_end;
  mail += Subject(g, code, shape.encoded_words, line_end);
  mail += "Date: Mon, 3 Jun 2002 10:00:00 +0900" + line_end + line_end;
  return mail + Encode(g.Text(shape.body_chars, true), code) + line_end;
}

}  // namespace kanji
