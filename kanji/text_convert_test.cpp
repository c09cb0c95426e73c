#include "kanji/text_convert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kanji {

using namespace std::string_literals;
namespace {

struct Converted {
  std::string text;
  size_t invalid;
};

Converted Convert(const std::string& input, EightBit code, size_t capacity = 0) {
  if (capacity == 0) capacity = 2 * input.size();
  std::vector<uint8_t> buffer(capacity);
  Output out{buffer.data(), buffer.size()};
  ShiftState state;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(input.data());
  ConvertText(out, p, p + input.size(), code, state);
  return {std::string(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(out.size)),
          out.invalid};
}

std::string Jis(const std::string& pairs) { return "\x1b$B" + pairs + "\x1b(B"; }

TEST(TextConvertTest, JisAndEucPairsMapToShiftJisAtRowAndCellEdges) {
  struct Case {
    const char* jis;
    const char* sjis;
  } cases[] = {
      {"\x21\x21", "\x81\x40"},  // first cell of row 1
      {"\x21\x5f", "\x81\x7e"},  // last cell before the trail skips 0x7F
      {"\x21\x60", "\x81\x80"}, {"\x21\x7e", "\x81\x9e"}, {"\x22\x21", "\x81\x9f"},
      {"\x22\x7e", "\x81\xfc"}, {"\x24\x22", "\x82\xa0"},  // hiragana a
      {"\x2d\x21", "\x87\x40"},                            // NEC row 13, circled one
      {"\x30\x21", "\x88\x9f"}, {"\x5e\x7e", "\x9f\xfc"},  // last row below 0xA0
      {"\x5f\x21", "\xe0\x40"},                            // first row above the kana gap
      {"\x79\x21", "\xed\x40"},                            // NEC-selected IBM row 89
      {"\x7e\x7e", "\xef\xfc"},
  };
  for (const Case& c : cases) {
    std::string jis = c.jis;
    std::string euc = {static_cast<char>(jis[0] | 0x80), static_cast<char>(jis[1] | 0x80)};
    EXPECT_EQ(Convert(Jis(jis), EightBit::kNone).text, c.sjis) << c.sjis;
    EXPECT_EQ(Convert(euc, EightBit::kEucJp).text, c.sjis) << c.sjis;
  }
}

// Long runs are converted several pairs at a time; every pair must come out as it does alone,
// wherever it falls in the run and whatever stops the run mid-way.
TEST(TextConvertTest, EveryPairInALongRunConvertsAsItDoesAlone) {
  std::string jis, euc, expected;
  for (int row = 0x21; row <= 0x7E; ++row) {
    for (int cell = 0x21; cell <= 0x7E; ++cell) {
      std::string pair = {static_cast<char>(row), static_cast<char>(cell)};
      jis += pair;
      euc += {static_cast<char>(row | 0x80), static_cast<char>(cell | 0x80)};
      expected += Convert(Jis(pair), EightBit::kNone).text;
    }
  }
  EXPECT_EQ(Convert(Jis(jis), EightBit::kNone).text, expected);
  EXPECT_EQ(Convert(euc, EightBit::kEucJp).text, expected);
  // A run cut short by each kind of stop at each position of the word it falls in.
  for (const std::string& stop : {"\x7f"s, " "s, "\x00"s, "\x80"s, "\x1b(B"s}) {
    for (size_t pairs = 0; pairs <= 5; ++pairs) {
      std::string text = jis.substr(2 * pairs, 2 * pairs + 1) + stop + jis.substr(100, 10);
      std::string alone;
      for (size_t i = 0; i + 1 < 2 * pairs + 1; i += 2) {
        alone += Convert(Jis(text.substr(i, 2)), EightBit::kNone).text;
      }
      Converted converted = Convert(Jis(text), EightBit::kNone);
      EXPECT_EQ(converted.text.substr(0, alone.size()), alone) << pairs;
    }
  }
}

TEST(TextConvertTest, AKanaTakesAMarkAcrossAnEmptyEightBitRunButNotAnEmptyKanjiShift) {
  // "ka", a shift into kanji with no pair, then the voiced mark: the mark stays on its own.
  EXPECT_EQ(Convert("\x1b(I\x36\x1b$B\x1b(I\x5e\x1b(B", EightBit::kNone).text, "\x83\x4a\x81\x4a");
  // Straight after each other in EUC-JP or Shift_JIS, they fold.
  EXPECT_EQ(Convert("\x8e\xb6\x8e\xde", EightBit::kEucJp).text, "\x83\x4b");
  EXPECT_EQ(Convert("\xb6\xde", EightBit::kShiftJis).text, "\x83\x4b");
}

TEST(TextConvertTest, ShiftJisPassesThroughButHalfWidthKanaWidens) {
  std::string sjis = "\x88\x9f\xed\x40\xfa\x40\xfc\xfc a\x81\x40";
  EXPECT_EQ(Convert(sjis, EightBit::kShiftJis).text, sjis);
  EXPECT_EQ(Convert("\xb1\xa1", EightBit::kShiftJis).text, "\x83\x41\x81\x42");
}

TEST(TextConvertTest, SoundMarksFoldIntoTheKanaBeforeThemFromEverySource) {
  // ka+voiced, ha+semi-voiced, u+voiced, a+voiced (no combined form), lone marks
  std::string half = "\xb6\xde\xca\xdf\xb3\xde\xb1\xde\xdf";
  std::string full = "\x83\x4b\x83\x70\x83\x94\x83\x41\x81\x4a\x81\x4b";
  EXPECT_EQ(Convert(half, EightBit::kShiftJis).text, full);
  std::string euc, seven;
  for (char c : half) euc += std::string("\x8e") + c, seven += static_cast<char>(c & 0x7F);
  EXPECT_EQ(Convert(euc, EightBit::kEucJp).text, full);
  EXPECT_EQ(Convert("\x1b(I" + seven + "\x1b(B", EightBit::kNone).text, full);
  EXPECT_EQ(Convert("a\x0e" + seven +
                        "\x0f"
                        "b",
                    EightBit::kNone)
                .text,
            "a" + full + "b");
  // A mark after anything but a kana, even a converted kanji, stays a mark of its own.
  EXPECT_EQ(Convert("\x82\xa9\xde", EightBit::kShiftJis).text, "\x82\xa9\x81\x4a");
  EXPECT_EQ(Convert("\xb6\xde\xde", EightBit::kShiftJis).text, "\x83\x4b\x81\x4a");
}

TEST(TextConvertTest, CharactersWithoutShiftJisFormBecomeGeta) {
  EXPECT_EQ(Convert("a\x8f\xb0\xa1z", EightBit::kEucJp).text,
            "a\x81\xac"
            "z");
  EXPECT_EQ(Convert("\x1b$(D\x30\x21\x1b(Bz", EightBit::kNone).text,
            "\x81\xac"
            "z");
  EXPECT_EQ(Convert("\xe9\xd7", EightBit::kLatin1).text, "\x81\xac\x81\x7e");
}

TEST(TextConvertTest, InvalidBytesPassThroughAndAreCounted) {
  Converted sjis = Convert("\x80\xa0\xfd\x81", EightBit::kShiftJis);
  EXPECT_EQ(sjis.text, "\x80\xa0\xfd\x81");
  EXPECT_EQ(sjis.invalid, 4u);
  Converted euc = Convert("\xa4\x41\x8e\xe0\x8f\xa1", EightBit::kEucJp);
  EXPECT_EQ(euc.text, "\xa4\x41\x8e\xe0\x8f\xa1");
  EXPECT_EQ(euc.invalid, 5u);
  Converted odd = Convert(Jis("\x30\x21\x30"), EightBit::kNone);
  EXPECT_EQ(odd.text, "\x88\x9f\x30");
  EXPECT_EQ(odd.invalid, 1u);
  Converted unknown = Convert("\x1b$Zx\xa4", EightBit::kNone);
  EXPECT_EQ(unknown.text, "\x1b$Zx\xa4");
  EXPECT_EQ(unknown.invalid, 2u);
}

TEST(TextConvertTest, ControlsLineEndsAndNulStandForThemselvesInEveryShift) {
  std::string input = Jis("\x30\x21\r\n\x30\x21 \t\x00\x30\x21"s) + "\r\x00x"s;
  Converted converted = Convert(input, EightBit::kNone);
  EXPECT_EQ(converted.text, "\x88\x9f\r\n\x88\x9f \t\x00\x88\x9f\r\x00x"s);
  EXPECT_EQ(converted.invalid, 0u);
}

TEST(TextConvertTest, ShortOutputStopsAtACharacterBoundary) {
  EXPECT_EQ(Convert("ab\xb1", EightBit::kShiftJis, 3).text, "ab");
  EXPECT_EQ(Convert(Jis("\x30\x21\x30\x21"), EightBit::kNone, 3).text, "\x88\x9f");
  EXPECT_EQ(Convert("abc", EightBit::kNone, 2).text, "ab");
}

// Found by the fuzzer: a kana filled the buffer exactly, and the shift into kanji that should
// have ended its chance of taking the mark after it did so only when the rest of the input
// would fit, so a short buffer ended in a folded kana the whole result does not have.
TEST(TextConvertTest, AShortBufferHoldsAPrefixWhenAKanaFillsItBeforeAnEmptyKanjiShift) {
  std::string text = "\x1b(I\x33\x1b$B\x1b(I\x5e\x1b(B";  // u, no kanji, voiced mark
  std::string whole = Convert(text, EightBit::kNone).text;
  EXPECT_EQ(whole, "\x83\x45\x81\x4a");
  for (size_t capacity = 1; capacity <= whole.size(); ++capacity) {
    std::string part = Convert(text, EightBit::kNone, capacity).text;
    EXPECT_EQ(part, whole.substr(0, part.size())) << capacity;
  }
  std::string sjis_mark = "\x0e\x33\x1b$@\xde";  // the same with a Shift_JIS mark
  EXPECT_EQ(Convert(sjis_mark, EightBit::kShiftJis, 2).text, "\x83\x45");
}

}  // namespace
}  // namespace kanji
