#include "kanji/nkf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

std::string Convert(const std::string& input, const char* options) {
  SetNkfOption(options);
  std::vector<char> output(NkfOutputBound(input.size()));
  size_t written = NkfConvert(output.data(), output.size(), input.data(), input.size());
  EXPECT_LE(written, output.size());
  return std::string(output.data(), written);
}

const std::string kWordA = "=?ISO-2022-JP?B?GyRCJCIbKEI=?=";

TEST(NkfTest, PureAsciiComesOutByteForByte) {
  std::string ascii = "From: a\r\nSubject: =? not a word\n\tx\rY\0Z\x7f\x01\n\r\nbody "s + kWordA;
  for (const char* options : {"Xsm", "sm", "s", ""}) {
    EXPECT_EQ(Convert(ascii, options), ascii) << options;
  }
  EXPECT_EQ(Convert("", "sm"), "");
}

TEST(NkfTest, EncodedWordsAreDecodedOnlyInTheHeaderAndOnlyWithM) {
  std::string mail = "Subject: " + kWordA + "\r\n\r\n" + kWordA + "\r\n";
  EXPECT_EQ(Convert(mail, "sm"), "Subject: \x82\xa0\r\n\r\n" + kWordA + "\r\n");
  EXPECT_EQ(Convert(mail, "Xs"), mail);
  EXPECT_EQ(Convert("S: " + kWordA, "sm"), "S: \x82\xa0");  // no body at all
}

TEST(NkfTest, QuotedShiftJisAndEucJpWordsDecode) {
  EXPECT_EQ(Convert("S: =?Shift_JIS?Q?=82=A0_=B6=DE?=\n\n", "sm"), "S: \x82\xa0 \x83\x4b\n\n");
  EXPECT_EQ(Convert("S: =?euc-jp?q?=A4=A2?=\n\n", "Xsm"), "S: \x82\xa0\n\n");
}

TEST(NkfTest, AmbiguousTextFollowsTheOptionWholeMessageDecides) {
  std::string ambiguous = "S: x\n\n\xb1\xb2\n";  // sjis "a i" half-width, or one EUC kanji
  EXPECT_EQ(Convert(ambiguous, "Xsm"), "S: x\n\n\x83\x41\x83\x43\n");
  EXPECT_EQ(Convert(ambiguous, "sm"), "S: x\n\n\x89\x51\n");
  // A Shift_JIS-only byte at the very end decides for the whole message under both options.
  EXPECT_EQ(Convert(ambiguous + "\x82\xa0", "sm"), "S: x\n\n\x83\x41\x83\x43\n\x82\xa0");
  EXPECT_EQ(Convert(ambiguous + "\xfe\xfe", "Xsm"), "S: x\n\n\x89\x51\n\xef\xfc");
}

TEST(NkfTest, DeliberateDifferencesFromTheReferenceConverter) {
  // JIS X 0212 becomes geta rather than vanishing; NEC-selected IBM Shift_JIS passes unchanged.
  EXPECT_EQ(Convert("a\x8f\xb0\xa1\xa4\xa2", "sm"), "a\x81\xac\x82\xa0");
  EXPECT_EQ(Convert("\xed\x40\xee\xfc\xfa\x40", "Xsm"), "\xed\x40\xee\xfc\xfa\x40");
  // White space before "=" stays; an unpadded word decodes without a stray NUL.
  EXPECT_EQ(Convert("S: a =b  =?x\n\n", "sm"), "S: a =b  =?x\n\n");
  EXPECT_EQ(Convert("S: =?ISO-2022-JP?B?GyRCJCIbKEI?=\n\n", "sm"), "S: \x82\xa0\n\n");
}

// Bytes at the edges of the ranges that detection and conversion tell apart.
TEST(NkfTest, BytesAtTheEdgesOfEachRange) {
  const std::string kAscii16(16, 'a');
  const struct {
    std::string input, output;
  } kCases[] = {
      {"\x82\xa0\x9f\xfc", "\x82\xa0\x9f\xfc"},  // 0x9F: the last Shift_JIS lead before the kana
      {"\xa4\xa2\x7f\xa4\xa2", "\x82\xa0\x7f\x82\xa0"},  // DEL right after an EUC-JP pair
      {"\x1b$B\x30\x21!\x1b(B", "\x88\x9f\x81\xac"},     // '!' alone ends a kanji run
      {kAscii16 + "\xb1" + kAscii16, kAscii16 + "\x83\x41" + kAscii16},  // found in 32-byte steps
      {"S: =?us-ascii?q?a=09b=3A=3a?=\n\n", "S: a\tb::\n\n"},            // low and high hex digits
      {"S: =?iso-8859-1?q?=A2=A3=A7=A8=AC=B0=B1=B4=B6=D7=F7?=\n\n",
       "S: \x81\x91\x81\x92\x81\x98\x81\x4e\x81\xca\x81\x8b\x81\x7d\x81\x4c\x81\xf7\x81\x7e"
       "\x81\x80\n\n"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Convert(c.input, "sm"), c.output) << c.input;
}

TEST(NkfTest, WorstCaseInputFillsExactlyTwiceItsLength) {
  // Every byte a half-width kana that widens, and every word decodes to such kana.
  std::string kana(4096, '\xb1');
  std::string words;
  for (int i = 0; i < 100; ++i) words += "=?SHIFT_JIS?B?sbGx?=";
  for (const std::string& input : {kana, words + "\n\n" + kana}) {
    SetNkfOption("Xsm");
    size_t bound = NkfOutputBound(input.size());
    std::vector<char> output(bound);
    size_t written = NkfConvert(output.data(), bound, input.data(), input.size());
    EXPECT_LE(written, 2 * input.size());
    EXPECT_GE(written, 2 * kana.size());
  }
}

TEST(NkfTest, ShortOutputNeverOverrunsAndEndsAtTheLastCharacterThatFits) {
  // Kana then 7-bit text that passes as is (0x61 in a kana shift), a word of 2-byte text and a
  // word of ASCII: after a character that does not fit, nothing may follow, however short.
  std::string mail = "S: \x0e#Sa\x0f" + kWordA + " =?shift_jis?q?=81=a0?= =?us-ascii?q?a?=\n\nab" +
                     "\x1b$B\x30\x21\x1b(B\xb6\xde";
  std::string whole = Convert(mail, "Xsm");
  // The whole output is ASCII and Shift_JIS pairs: a byte >= 0x80 leads two.
  std::vector<size_t> boundaries = {0};
  while (boundaries.back() < whole.size()) {
    boundaries.push_back(boundaries.back() +
                         (static_cast<uint8_t>(whole[boundaries.back()]) >= 0x80 ? 2 : 1));
  }
  for (size_t capacity = 0; capacity <= whole.size(); ++capacity) {
    std::vector<char> output(capacity + 8, '#');
    size_t written = NkfConvert(output.data(), capacity, mail.data(), mail.size());
    EXPECT_EQ(std::string(output.data() + capacity, 8), "########") << capacity;
    size_t expected = *(std::upper_bound(boundaries.begin(), boundaries.end(), capacity) - 1);
    ASSERT_EQ(written, expected) << capacity;
    EXPECT_EQ(std::string(output.data(), written), whole.substr(0, written)) << capacity;
  }
}

}  // namespace
