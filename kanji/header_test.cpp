#include "kanji/header.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/mail_generator.h"

namespace kanji {
namespace {

using namespace std::string_literals;

std::string Convert(const std::string& header, EightBit code = EightBit::kNone) {
  std::vector<uint8_t> buffer(2 * header.size());
  Output out{buffer.data(), buffer.size()};
  ShiftState state;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(header.data());
  ConvertHeader(out, p, p + header.size(), code, state);
  return std::string(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(out.size));
}

size_t HeaderEnd(const std::string& text) {
  return FindHeaderEnd(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// "a" (hiragana) as ISO-2022-JP, base64, one word.
const std::string kWordA = "=?ISO-2022-JP?B?GyRCJCIbKEI=?=";
const std::string kSjisA = "\x82\xa0";

TEST(HeaderTest, EndsAtTheFirstLineThatBeginsWithCrOrLf) {
  EXPECT_EQ(HeaderEnd("A: b\r\nC: d\r\n\r\nbody\n\n"), 12u);
  EXPECT_EQ(HeaderEnd("A: b\nC: d\n\nbody"), 10u);
  EXPECT_EQ(HeaderEnd("A: b\n\rC\n"), 5u);
  EXPECT_EQ(HeaderEnd("\r\nbody"), 0u);
  EXPECT_EQ(HeaderEnd("A: b\rC: d"), 9u);  // a lone CR ends no line: all header
  EXPECT_EQ(HeaderEnd(""), 0u);
}

TEST(HeaderTest, GapsBetweenDecodedWordsVanishOthersStay) {
  EXPECT_EQ(Convert("S: x " + kWordA + " y\r\n"), "S: x " + kSjisA + " y\r\n");
  EXPECT_EQ(Convert("S: " + kWordA + " \t" + kWordA + "\r\n \t" + kWordA + "\n\t" + kWordA),
            "S: " + kSjisA + kSjisA + kSjisA + kSjisA);
  EXPECT_EQ(Convert("S: (" + kWordA + kWordA + ")"), "S: (" + kSjisA + kSjisA + ")");
  // A line end without blanks after it is no fold, and a blank line ends any gap.
  EXPECT_EQ(Convert("S: " + kWordA + "\r\nT: " + kWordA), "S: " + kSjisA + "\r\nT: " + kSjisA);
  // Words of different charsets are converted apart, yet their gap still vanishes.
  EXPECT_EQ(Convert(kWordA + " =?us-ascii?q?_b_?= =?EUC-JP?B?pKI=?="), kSjisA + " b " + kSjisA);
}

TEST(HeaderTest, ACharacterSplitBetweenWordsOfOneCharsetIsJoined) {
  // ESC $ B 0x24 | 0x22 ESC ( B, and 0xA4 | 0xA2: each half alone is invalid text.
  EXPECT_EQ(Convert("S: =?ISO-2022-JP?B?GyRCJA==?=\r\n =?iso-2022-jp?b?IhsoQg==?="),
            "S: " + kSjisA);
  EXPECT_EQ(Convert("S: =?EUC-JP?Q?=A4?= =?EUC-JP?Q?=A2?="), "S: " + kSjisA);
  EXPECT_EQ(Convert("S: =?SHIFT_JIS?Q?=B6?= =?SHIFT_JIS?Q?=DE_?="), "S: \x83\x4b ");
  // A kana and its sound mark, each in a word of its own with its own shifts: one kana, pa.
  EXPECT_EQ(Convert("Subject: =?ISO-2022-JP?B?GyhJShsoQg==?= =?ISO-2022-JP?B?GyhJXxsoQg==?="),
            "Subject: \x83\x70");
}

TEST(HeaderTest, WordsThatDoNotDecodeToValidTextStayAsTheyWere) {
  for (std::string left : {
           "=?EUC-JP?Q?=A4?="s,          // half a character
           "=?ISO-2022-JP?Q?=A4=A2?="s,  // 8-bit bytes in a 7-bit charset
           "=?US-ASCII?Q?=E9?="s,        // likewise
           "=?ISO-2022-JP?Q?=1B$Zx?="s,  // an unknown shift sequence
           "=?UTF-8?B?44GC?="s,          // a charset we do not convert
           "=?ISO-2022-JP?B?"s,          // cut short
       }) {
    std::string header = "S: " + left + "  " + kWordA + " x =?";
    EXPECT_EQ(Convert(header), "S: " + left + "  " + kSjisA + " x =?") << left;
  }
  // A body-like "=?" that starts no word is plain text in any code.
  EXPECT_EQ(Convert("S: =?\xa4\xa2", EightBit::kEucJp), "S: =?" + kSjisA);
}

std::string QuotedPrintable(const std::string& bytes) {
  std::string out;
  char escape[4];
  for (char c : bytes) {
    std::snprintf(escape, sizeof escape, "=%02X", static_cast<uint8_t>(c));
    out += escape;
  }
  return out;
}

// A decoded CR or LF would write header lines of the sender's choosing into the target mailbox,
// a NUL would cut the message: a word holding any control but TAB stays as it was, in every
// charset and either encoding, and only that word.
TEST(HeaderTest, WordsThatDecodeToControlCharactersStayAsTheyWere) {
  struct Charset {
    const char* name;
    std::string before, after;  // text around the control, in the charset
    std::string sjis;           // the same text with a TAB between, converted
  } charsets[] = {
      {"ISO-2022-JP", "\x1b$B$\"", "$\"\x1b(B", kSjisA + "\t" + kSjisA},  // in a kanji shift
      {"ISO-2022-JP", "a", "b", "a\tb"},
      {"SHIFT_JIS", "\x82\xa0", "\xb1", kSjisA + "\t\x83\x41"},
      {"EUC-JP", "\xa4\xa2", "\x8e\xb1", kSjisA + "\t\x83\x41"},
      {"US-ASCII", "a", "b", "a\tb"},
      {"ISO-8859-1", "\xe9", "\xd7", "\x81\xac\t\x81\x7e"},
  };
  for (const Charset& charset : charsets) {
    for (char control : {'\0', '\r', '\n', '\x01', '\x1f'}) {
      std::string text = charset.before + control + charset.after;
      for (const std::string& word :
           {"=?" + std::string(charset.name) + "?B?" + Base64(text) + "?=",
            "=?" + std::string(charset.name) + "?q?" + QuotedPrintable(text) + "?="}) {
        EXPECT_EQ(Convert("S: " + kWordA + " " + word + " " + kWordA + "\r\n"),
                  "S: " + kSjisA + " " + word + " " + kSjisA + "\r\n")
            << word;
      }
    }
    // A TAB is text like any other.
    std::string tab = charset.before + '\t' + charset.after;
    std::string word = "=?" + std::string(charset.name) + "?B?" + Base64(tab) + "?=";
    EXPECT_EQ(Convert("S: " + word), "S: " + charset.sjis) << word;
  }
  std::string forged =
      "=?US-ASCII?Q?hi=0D=0A=0D=0A.=0D=0AFrom:_boss@example.com=0D=0ASubject:_urgent?=";
  EXPECT_EQ(Convert("Subject: " + forged + "\r\n"), "Subject: " + forged + "\r\n");
  EXPECT_EQ(Convert("S: =?ISO-2022-JP?B?AAAA?=\r\n"), "S: =?ISO-2022-JP?B?AAAA?=\r\n");
}

TEST(HeaderTest, PlainHeaderTextIsConvertedInTheMessageCode) {
  EXPECT_EQ(Convert("S: \xa4\xa2 " + kWordA, EightBit::kEucJp), "S: " + kSjisA + " " + kSjisA);
  EXPECT_EQ(Convert("S: \xb1 " + kWordA, EightBit::kShiftJis), "S: \x83\x41 " + kSjisA);
}

}  // namespace
}  // namespace kanji
