// Holds the converter against Japanese prose we did not write: the Japanese manual pages Debian
// installs (manpages-ja), taken apart into sentences, lines and paragraphs, encoded by the C
// library's iconv as ISO-2022-JP, Shift_JIS and EUC-JP, and compared with iconv's own CP932.
// Generated text is random characters; real text is not, and that is what fools a detection.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "kanji/nkf.h"
#include "tests/support/mail_generator.h"

#ifndef _WIN32
#include <iconv.h>
#endif

namespace kanji {
namespace {

#ifdef _WIN32
TEST(RealTextTest, ManualPagesConvertAsIconvReadsThem) {
  GTEST_SKIP() << "needs the C library's iconv and Debian's Japanese manual pages (POSIX only)";
}
#else

// Pages from all over the collection, in a fixed order; about a second to read.
constexpr const char* kReadPages =
    "find /usr/share/man/ja -type f -name '*.gz' | LC_ALL=C sort | xargs -r gzip -dc 2>/dev/null";
constexpr size_t kSentences = 2000, kLines = 2000, kShortParagraphs = 600, kLongParagraphs = 200;
// Every this many texts with katakana also go in a copy with half-width kana.
constexpr size_t kHalfWidthOneIn = 3;

std::string ReadCommandOutput(const char* command) {
  std::string text;
  FILE* pipe = popen(command, "r");
  if (pipe == nullptr) return text;
  char chunk[1 << 16];
  for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) != 0;) text.append(chunk, got);
  pclose(pipe);
  return text;
}

// Returns the index of the last byte of a troff escape's argument that starts at `at`: one
// character, "(xx" or "[name]".
size_t SkipEscapeArgument(std::string_view line, size_t at) {
  if (at >= line.size()) return at;
  if (line[at] == '(') return at + 2;
  if (line[at] == '[') {
    size_t close = line.find(']', at);
    return close == std::string::npos ? line.size() : close;
  }
  if ((line[at] == '+' || line[at] == '-') && at + 1 < line.size()) return at + 1;  // \s-1
  return at;
}

// The running text of one troff line: requests and comments go, escapes become their plain
// character or nothing.
std::string StripTroff(std::string_view line) {
  std::string text;
  if (line.empty() || line[0] == '.' || line[0] == '\'') return text;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\\') {
      text += line[i];
      continue;
    }
    if (++i == line.size()) break;
    char escape = line[i];
    if (escape == '"') break;
    if (escape == '-') text += '-';
    if (escape == 'e' || escape == '\\') text += '\\';
    if (escape == ' ' || escape == '~') text += ' ';
    if (escape == 'f' || escape == 's' || escape == '*' || escape == 'n' || escape == 'F') {
      i = SkipEscapeArgument(line, i + 1);
    } else if (escape == '(' || escape == '[') {
      i = SkipEscapeArgument(line, i);
    }
  }
  size_t first = text.find_first_not_of(" \t"), last = text.find_last_not_of(" \t");
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

bool HasEightBitByte(std::string_view text) {
  for (char c : text) {
    if (static_cast<uint8_t>(c) >= 0x80) return true;
  }
  return false;
}

std::vector<std::string> JapaneseLines() {
  std::vector<std::string> lines;
  std::string pages = ReadCommandOutput(kReadPages);
  for (size_t begin = 0, end; begin < pages.size(); begin = end + 1) {
    end = pages.find('\n', begin);
    if (end == std::string::npos) end = pages.size();
    std::string_view line(pages.data() + begin, end - begin);
    if (!HasEightBitByte(line)) continue;
    std::string text = StripTroff(line);
    if (HasEightBitByte(text)) lines.push_back(text);
  }
  return lines;
}

// Every `count`-th item's worth of an evenly spread pick of about `count` from `total`.
size_t Stride(size_t total, size_t count) { return total / count > 0 ? total / count : 1; }

std::vector<std::string> Sentences(const std::vector<std::string>& lines, size_t count) {
  std::vector<std::string> all;
  const std::string kFullStop = "。";
  for (const std::string& line : lines) {
    for (size_t begin = 0, stop; begin < line.size(); begin = stop + kFullStop.size()) {
      stop = line.find(kFullStop, begin);
      if (stop == std::string::npos) break;
      std::string sentence = StripTroff(line.substr(begin, stop + kFullStop.size() - begin));
      if (HasEightBitByte(sentence)) all.push_back(sentence);
    }
  }
  std::vector<std::string> picked;
  for (size_t i = 0; i < all.size(); i += Stride(all.size(), count)) picked.push_back(all[i]);
  return picked;
}

// Runs of `length` consecutive lines, joined with CR LF as in mail.
std::vector<std::string> Paragraphs(const std::vector<std::string>& lines, size_t length,
                                    size_t count) {
  std::vector<std::string> picked;
  for (size_t i = 0; i + length <= lines.size(); i += Stride(lines.size(), count)) {
    std::string paragraph = lines[i];
    for (size_t j = 1; j < length; ++j) paragraph += "\r\n" + lines[i + j];
    picked.push_back(paragraph);
  }
  return picked;
}

// Full-width katakana and punctuation with a half-width form, as mail from PCs wrote them.
const std::map<std::string, std::string>& HalfWidthForms() {
  static const std::map<std::string, std::string> kForms = {
      {"、", "､"},  {"。", "｡"},  {"「", "｢"},  {"」", "｣"},  {"ァ", "ｧ"},  {"ア", "ｱ"},
      {"ィ", "ｨ"},  {"イ", "ｲ"},  {"ゥ", "ｩ"},  {"ウ", "ｳ"},  {"ェ", "ｪ"},  {"エ", "ｴ"},
      {"ォ", "ｫ"},  {"オ", "ｵ"},  {"カ", "ｶ"},  {"ガ", "ｶﾞ"}, {"キ", "ｷ"},  {"ギ", "ｷﾞ"},
      {"ク", "ｸ"},  {"グ", "ｸﾞ"}, {"ケ", "ｹ"},  {"ゲ", "ｹﾞ"}, {"コ", "ｺ"},  {"ゴ", "ｺﾞ"},
      {"サ", "ｻ"},  {"ザ", "ｻﾞ"}, {"シ", "ｼ"},  {"ジ", "ｼﾞ"}, {"ス", "ｽ"},  {"ズ", "ｽﾞ"},
      {"セ", "ｾ"},  {"ゼ", "ｾﾞ"}, {"ソ", "ｿ"},  {"ゾ", "ｿﾞ"}, {"タ", "ﾀ"},  {"ダ", "ﾀﾞ"},
      {"チ", "ﾁ"},  {"ヂ", "ﾁﾞ"}, {"ッ", "ｯ"},  {"ツ", "ﾂ"},  {"ヅ", "ﾂﾞ"}, {"テ", "ﾃ"},
      {"デ", "ﾃﾞ"}, {"ト", "ﾄ"},  {"ド", "ﾄﾞ"}, {"ナ", "ﾅ"},  {"ニ", "ﾆ"},  {"ヌ", "ﾇ"},
      {"ネ", "ﾈ"},  {"ノ", "ﾉ"},  {"ハ", "ﾊ"},  {"バ", "ﾊﾞ"}, {"パ", "ﾊﾟ"}, {"ヒ", "ﾋ"},
      {"ビ", "ﾋﾞ"}, {"ピ", "ﾋﾟ"}, {"フ", "ﾌ"},  {"ブ", "ﾌﾞ"}, {"プ", "ﾌﾟ"}, {"ヘ", "ﾍ"},
      {"ベ", "ﾍﾞ"}, {"ペ", "ﾍﾟ"}, {"ホ", "ﾎ"},  {"ボ", "ﾎﾞ"}, {"ポ", "ﾎﾟ"}, {"マ", "ﾏ"},
      {"ミ", "ﾐ"},  {"ム", "ﾑ"},  {"メ", "ﾒ"},  {"モ", "ﾓ"},  {"ャ", "ｬ"},  {"ヤ", "ﾔ"},
      {"ュ", "ｭ"},  {"ユ", "ﾕ"},  {"ョ", "ｮ"},  {"ヨ", "ﾖ"},  {"ラ", "ﾗ"},  {"リ", "ﾘ"},
      {"ル", "ﾙ"},  {"レ", "ﾚ"},  {"ロ", "ﾛ"},  {"ワ", "ﾜ"},  {"ヲ", "ｦ"},  {"ン", "ﾝ"},
      {"ヴ", "ｳﾞ"}, {"・", "･"},  {"ー", "ｰ"},
  };
  return kForms;
}

// Katakana are U+30A0..U+30FF: E3 82 A0..BF and E3 83 80..BF in UTF-8.
bool HasKatakana(const std::string& text) {
  for (size_t at = text.find('\xe3'); at != std::string::npos; at = text.find('\xe3', at + 1)) {
    if (at + 2 >= text.size()) break;
    uint8_t second = static_cast<uint8_t>(text[at + 1]), third = static_cast<uint8_t>(text[at + 2]);
    if ((second == 0x82 && third >= 0xA0) || second == 0x83) return true;
  }
  return false;
}

// The text with every character that has a half-width form in that form; all these forms are
// three UTF-8 bytes, as are the characters they replace.
std::string HalfWidth(const std::string& text) {
  std::string half;
  for (size_t i = 0; i < text.size();) {
    size_t length = 1;
    uint8_t lead = static_cast<uint8_t>(text[i]);
    if (lead >= 0xC0) length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    std::string character = text.substr(i, length);
    auto form = HalfWidthForms().find(character);
    half += form == HalfWidthForms().end() ? character : form->second;
    i += length;
  }
  return half;
}

// One iconv conversion from UTF-8; false when iconv cannot convert all of it.
class Encoder {
 public:
  explicit Encoder(const char* code) : cd_(iconv_open(code, "UTF-8")) {}
  ~Encoder() {
    if (ok()) iconv_close(cd_);
  }
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  bool Encode(const std::string& text, std::string& encoded) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string in = text;
    encoded.assign(4 * text.size() + 16, '\0');
    char* from = in.data();
    char* to = encoded.data();
    size_t from_left = in.size(), to_left = encoded.size();
    if (iconv(cd_, &from, &from_left, &to, &to_left) == static_cast<size_t>(-1)) return false;
    if (iconv(cd_, nullptr, nullptr, &to, &to_left) == static_cast<size_t>(-1)) return false;
    encoded.resize(encoded.size() - to_left);
    return true;
  }

 private:
  iconv_t cd_;
};

// Validity in each code, written apart from the converter's own detection.
bool IsValidShiftJis(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    uint8_t byte = static_cast<uint8_t>(text[i]);
    if (byte < 0x80 || (byte >= 0xA1 && byte <= 0xDF)) continue;
    bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    uint8_t next = i + 1 < text.size() ? static_cast<uint8_t>(text[i + 1]) : 0;
    if (!lead || next < 0x40 || next == 0x7F || next > 0xFC) return false;
    ++i;
  }
  return true;
}

bool IsValidEucJp(const std::string& text) {
  auto is_euc = [&](size_t at) {
    return at < text.size() && static_cast<uint8_t>(text[at]) >= 0xA1 &&
           static_cast<uint8_t>(text[at]) <= 0xFE;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    uint8_t byte = static_cast<uint8_t>(text[i]);
    if (byte < 0x80) continue;
    size_t length = byte == 0x8F ? 3 : 2;
    if (byte != 0x8E && byte != 0x8F && !is_euc(i)) return false;
    for (size_t j = 1; j < length; ++j) {
      if (!is_euc(i + j)) return false;
    }
    if (byte == 0x8E && static_cast<uint8_t>(text[i + 1]) > 0xDF) return false;
    i += length - 1;
  }
  return true;
}

// The one text the preference decides: valid EUC-JP that reads as Shift_JIS half-width kana.
bool ReadsBothWaysAsKana(const std::string& text) {
  for (char c : text) {
    uint8_t byte = static_cast<uint8_t>(c);
    if (byte >= 0x80 && (byte < 0xA1 || byte > 0xDF)) return false;
  }
  return IsValidEucJp(text);
}

std::string Convert(const std::string& mail, const char* options) {
  SetNkfOption(options);
  std::vector<char> output(NkfOutputBound(mail.size()));
  return std::string(output.data(),
                     NkfConvert(output.data(), output.size(), mail.data(), mail.size()));
}

std::string Mail(const std::string& subject, const std::string& body) {
  return "From: Sender <sender@example.jp>\r\nSubject: " + subject +
         "\r\nDate: Mon, 3 Jun 2002 10:00:00 +0900\r\n\r\n" + body + "\r\n";
}

// The first line of a text, cut to at most 40 bytes at a character boundary: a subject.
std::string SubjectOf(const std::string& text) {
  std::string line = text.substr(0, text.find('\r'));
  size_t cut = line.size() < 40 ? line.size() : 40;
  while (cut > 0 && cut < line.size() && (static_cast<uint8_t>(line[cut]) & 0xC0) == 0x80) --cut;
  return line.substr(0, cut);
}

struct Code {
  const char* name;
  const char* iconv_name;       // for full-width text
  const char* iconv_half_name;  // for text with half-width kana
  const char* charset;          // in an encoded word
};

constexpr Code kCodes[] = {
    {"ISO-2022-JP", "ISO-2022-JP", "ISO-2022-JP-3", "ISO-2022-JP"},
    {"Shift_JIS", "CP932", "CP932", "SHIFT_JIS"},
    {"EUC-JP", "EUC-JP", "EUC-JP", "EUC-JP"},
};

struct Text {
  std::string utf8;       // what is encoded
  std::string reference;  // CP932 of it with half-width kana widened, as the converter must give
};

struct Tally {
  size_t texts = 0, encoded[3] = {}, valid_in_both[3] = {}, kana_lookalikes[3] = {};
  size_t misreads = 0, lookalike_misreads = 0, shown = 0;
};

// The bytes from `from` on, at most 48 of them, in hex.
std::string Hex(const std::string& bytes, size_t from) {
  std::string hex;
  char digits[4];
  for (size_t i = from; i < bytes.size() && i < from + 48; ++i) {
    std::snprintf(digits, sizeof digits, "%02x ", static_cast<uint8_t>(bytes[i]));
    hex += digits;
  }
  return hex;
}

// Converts one encoded text, as a message with a plain and with an encoded-word Subject, under
// both options, and counts each result that differs from the reference. A kana look-alike is
// misread by design under the option that takes it for the other code; under the other it
// must come out right like any text.
void CheckEncoded(const Text& text, const Code& code, const std::string& body,
                  const std::string& subject, const std::string& reference_subject, bool lookalike,
                  Tally& tally) {
  std::string word = "=?" + std::string(code.charset) + "?B?" + Base64(subject) + "?=";
  struct Wrapped {
    std::string mail, expected;
  } wrapped[] = {
      {Mail("manual text", body), Mail("manual text", text.reference)},
      {Mail(word, body), Mail(reference_subject, text.reference)},
  };
  bool euc = std::string(code.name) == "EUC-JP";
  for (const Wrapped& w : wrapped) {
    for (const char* options : {"Xsm", "sm"}) {
      if (Convert(w.mail, options) == w.expected) continue;
      bool by_design = lookalike && (std::string(options) == "Xsm") == euc;
      ++(by_design ? tally.lookalike_misreads : tally.misreads);
      if (by_design || tally.shown++ >= 5) continue;
      std::string ours = Convert(w.mail, options);
      size_t at = 0;
      while (at < ours.size() && at < w.expected.size() && ours[at] == w.expected[at]) ++at;
      size_t from = at < 8 ? 0 : at - 8;
      ADD_FAILURE() << code.name << ", " << options << ": " << text.utf8
                    << "\n  input: " << Hex(w.mail, 0) << "\n  ours from byte " << from << ": "
                    << Hex(ours, from) << "\n  want from byte " << from << ": "
                    << Hex(w.expected, from);
    }
  }
}

// Encodes one text (and its subject), in full width or with its kana in half width, in every
// code iconv can put it in, and checks each. Widened again, half-width kana must give the text.
void CheckText(const std::string& full_width, bool half_width, Encoder& cp932, Encoder* full[3],
               Encoder* half[3], Tally& tally) {
  std::string reference_subject, subject, full_subject = SubjectOf(full_width);
  Text text{half_width ? HalfWidth(full_width) : full_width, ""};
  std::string utf8_subject = half_width ? HalfWidth(full_subject) : full_subject;
  if (!cp932.Encode(full_width, text.reference)) return;
  if (!cp932.Encode(full_subject, reference_subject)) return;
  ++tally.texts;
  for (int i = 0; i < 3; ++i) {
    Encoder& encoder = half_width ? *half[i] : *full[i];
    std::string body;
    if (!encoder.Encode(text.utf8, body) || !encoder.Encode(utf8_subject, subject)) continue;
    // Characters beyond Shift_JIS (JIS X 0212 in EUC-JP, JIS X 0213 planes) become geta by
    // design: iconv picks them for a few symbols that CP932 has elsewhere.
    bool beyond =
        i == 2 ? body.find('\x8f') != std::string::npos : body.find("\x1b$(") != std::string::npos;
    if (beyond) continue;
    ++tally.encoded[i];
    tally.valid_in_both[i] += IsValidEucJp(body) && IsValidShiftJis(body);
    bool lookalike = ReadsBothWaysAsKana(body);
    tally.kana_lookalikes[i] += lookalike;
    CheckEncoded(text, kCodes[i], body, subject, reference_subject, lookalike, tally);
  }
}

TEST(RealTextTest, ManualPagesConvertAsIconvReadsThem) {
  std::vector<std::string> lines = JapaneseLines();
  ASSERT_GE(lines.size(), 20000u)
      << "Debian's Japanese manual pages are missing: tools/install-deps installs manpages-ja";
  Encoder cp932("CP932");
  Encoder jis("ISO-2022-JP"), jis_half("ISO-2022-JP-3"), sjis("CP932"), euc("EUC-JP"),
      euc_half("EUC-JP"), sjis_half("CP932");
  ASSERT_TRUE(cp932.ok() && jis.ok() && jis_half.ok() && euc.ok()) << "iconv lacks a code";
  Encoder* full[3] = {&jis, &sjis, &euc};
  Encoder* half[3] = {&jis_half, &sjis_half, &euc_half};

  std::vector<std::string> sentences = Sentences(lines, kSentences);
  std::vector<std::string> short_lines = Paragraphs(lines, 1, kLines);
  std::vector<std::string> short_paragraphs = Paragraphs(lines, 3, kShortParagraphs);
  std::vector<std::string> long_paragraphs = Paragraphs(lines, 10, kLongParagraphs);
  Tally tally;
  size_t katakana_texts = 0, half_width_texts = 0;
  for (const auto* kind : {&sentences, &short_lines, &short_paragraphs, &long_paragraphs}) {
    for (const std::string& text : *kind) {
      CheckText(text, false, cp932, full, half, tally);
      if (!HasKatakana(text) || ++katakana_texts % kHalfWidthOneIn != 0) continue;
      ++half_width_texts;
      CheckText(text, true, cp932, full, half, tally);
    }
  }
  std::printf(
      "real text: %zu texts from %zu lines of manual pages (%zu sentences, %zu lines, %zu of 3 "
      "lines, %zu of 10 lines, and %zu of these with half-width kana)\n"
      "  encoded: %zu ISO-2022-JP, %zu Shift_JIS, %zu EUC-JP\n"
      "  valid in both Shift_JIS and EUC-JP: %zu of the Shift_JIS, %zu of the EUC-JP\n"
      "  reading as half-width kana too (the option decides): %zu Shift_JIS, %zu EUC-JP\n"
      "  misreads: %zu (and %zu of the kana look-alikes under the option that takes them for "
      "the other code)\n",
      tally.texts, lines.size(), sentences.size(), short_lines.size(), short_paragraphs.size(),
      long_paragraphs.size(), half_width_texts, tally.encoded[0], tally.encoded[1],
      tally.encoded[2], tally.valid_in_both[1], tally.valid_in_both[2], tally.kana_lookalikes[1],
      tally.kana_lookalikes[2], tally.misreads, tally.lookalike_misreads);
  EXPECT_EQ(tally.misreads, 0u);
  EXPECT_GE(tally.texts, 5000u);
  // The point of real text: much EUC-JP prose is valid Shift_JIS too.
  EXPECT_GE(tally.valid_in_both[2], tally.encoded[2] / 5);
}

#endif

}  // namespace
}  // namespace kanji
