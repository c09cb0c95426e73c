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
    // One byte above 0xDF anywhere makes a run that could be half-width kana EUC-JP text.
    std::string beyond = kanji.substr(0, at) + "\xb0\xe0" + kanji.substr(at);
    EXPECT_EQ(Detect(beyond, true), InputCode::kEucJp) << at;
    EXPECT_EQ(Detect(kanji.substr(0, at) + "\xe0\xb0" + kanji.substr(at), true), InputCode::kEucJp)
        << at;
  }
  EXPECT_EQ(Detect(kanji, true), InputCode::kShiftJis);
}

// EUC-JP text is very often valid Shift_JIS too (kana pairs read as half-width kana, upper
// kanji rows as pairs): it is EUC-JP unless all its 8-bit bytes lie in 0xA1..0xDF, so that as
// Shift_JIS it would be half-width kana alone; only then does the preference decide.
TEST(DetectTest, TextValidInBothCodesIsEucJpUnlessItCouldBeHalfWidthKanaAlone) {
  constexpr InputCode kSjis = InputCode::kShiftJis, kEuc = InputCode::kEucJp;
  struct Case {
    std::string text;
    InputCode if_sjis_preferred;
    InputCode if_euc_preferred;
  } cases[] = {
      // 詳細は添付の資料を参照してください。 as EUC-JP: valid Shift_JIS, yet not kana alone.
      {"\xbe\xdc\xba\xd9\xa4\xcf\xc5\xba\xc9\xd5\xa4\xce\xbb\xf1\xce\xc1\xa4\xf2\xbb\xb2"
       "\xbe\xc8\xa4\xb7\xa4\xc6\xa4\xaf\xa4\xc0\xa4\xb5\xa4\xa4\xa1\xa3",
       kEuc, kEuc},
      {"x\xe0\xa1\r\n\xb6\xde", kEuc, kEuc},      // a byte above 0xDF, as the trail of a kanji
      {"\xb6\xde\xa1\xe0", kEuc, kEuc},           // ... or as a lead
      {"\x8e\xb1", kEuc, kEuc},                   // EUC-JP half-width kana
      {"\x8f\xb0\xa1", kEuc, kEuc},               // JIS X 0212
      {"\xa4\xc7\xa4\xb9\xa1\xa3", kSjis, kEuc},  // です。 or ､ﾇ､ｹ｡｣: only kana alone
      {"\xb1\xb2 \xdf\xa1", kSjis, kEuc},         // ｱｲ ﾟ｡ (the range's ends)
      {"\x83\x65\x83\x58\x83\x67", kSjis, kSjis},  // テスト in Shift_JIS: never EUC-JP
      {"\xb1\xb2\xb3", kSjis, kSjis},              // odd kana: Shift_JIS alone
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Detect(c.text, true), c.if_sjis_preferred) << c.text;
    EXPECT_EQ(Detect(c.text, false), c.if_euc_preferred) << c.text;
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
