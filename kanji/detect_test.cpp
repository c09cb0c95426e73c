#include <gtest/gtest.h>

#include <string>

#include "kanji/nkf.h"

namespace {

InputCode Detect(const std::string& text, bool prefer_shift_jis) {
  return DetectInputCode(text.data(), text.size(), prefer_shift_jis);
}

TEST(DetectTest, SevenBitTextIsAsciiUnlessItShifts) {
  EXPECT_EQ(Detect("", false), InputCode::kAscii);
  EXPECT_EQ(Detect("Subject: hi\r\n\r\n\x1b", true), InputCode::kAscii);
  EXPECT_EQ(Detect("a\x1b$B\x30\x21\x1b(B", true), InputCode::kIso2022Jp);
  EXPECT_EQ(Detect("a\x0e\x31\x0f", false), InputCode::kIso2022Jp);
}

TEST(DetectTest, TheCodeValidForTheWholeMessageWinsWhereverTheDecidingByteIs) {
  std::string ascii(5000, 'a');
  // 0x82 0xA0 reads only as Shift_JIS; 0xFE 0xFE reads only as EUC-JP.
  std::string sjis = ascii + "\xa4\xa2" + ascii + "\x82\xa0";
  std::string euc = "\xa4\xa2" + ascii + "\xa4\xa2\xfe\xfe";
  for (bool prefer_shift_jis : {false, true}) {
    EXPECT_EQ(Detect(sjis, prefer_shift_jis), InputCode::kShiftJis);
    EXPECT_EQ(Detect(euc, prefer_shift_jis), InputCode::kEucJp);
  }
}

// Long runs of pairs are stepped over several bytes at a time; a deciding byte must count
// wherever it falls in such a run, and pairs must stay aligned across a three-byte character.
TEST(DetectTest, ADecidingByteCountsAtEveryPlaceInALongRunOfPairs) {
  std::string kanji;
  for (int i = 0; i < 40; ++i) kanji += "\xb0\xa1";  // valid in both codes
  for (size_t at = 0; at <= kanji.size(); at += 2) {
    std::string euc_only = kanji.substr(0, at) + "\xfe\xfe" + kanji.substr(at);
    std::string sjis_only = kanji.substr(0, at) + "\x82\xa0" + kanji.substr(at);
    std::string supplement = kanji.substr(0, at) + "\x8f\xb0\xa1\xfe\xfe" + kanji.substr(at);
    EXPECT_EQ(Detect(euc_only, true), InputCode::kEucJp) << at;
    EXPECT_EQ(Detect(sjis_only, false), InputCode::kShiftJis) << at;
    EXPECT_EQ(Detect(supplement, true), InputCode::kEucJp) << at;
  }
}

TEST(DetectTest, TextValidInBothCodesFollowsThePreference) {
  // Half-width kana pairs are EUC kanji too; so is a Shift_JIS lead above 0xE0 with a high trail.
  for (std::string both : {"\xb1\xb2", "x\xe0\xa1\r\n\xb6\xde", "\x8e\xb1"}) {
    EXPECT_EQ(Detect(both, true), InputCode::kShiftJis);
    EXPECT_EQ(Detect(both, false), InputCode::kEucJp);
  }
}

TEST(DetectTest, TextValidInNeitherTakesTheCodeWithFewerInvalidBytes) {
  // 0xFF is invalid in both; 0x82 0xA0 once more tips it to Shift_JIS, 0xA4 0xFE to EUC.
  EXPECT_EQ(Detect("\xff\x82\xa0", false), InputCode::kShiftJis);
  EXPECT_EQ(Detect("\xff\xa4\xfe", true), InputCode::kEucJp);
  EXPECT_EQ(Detect("\xff", true), InputCode::kShiftJis);
  EXPECT_EQ(Detect("\xff", false), InputCode::kEucJp);
}

}  // namespace
