#include "kanji/text_convert.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "kanji/jis.h"

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

// A shift that writes nothing leaves the kana before it free to take the mark after it, whatever
// the shift; any character between them keeps them apart.
TEST(TextConvertTest, AKanaTakesAMarkAcrossShiftsThatWriteNothing) {
  struct Case {
    std::string text;
    EightBit code;
    std::string sjis;
  } cases[] = {
      {"\x0e\x36\x0f\x0e\x5e\x0f", EightBit::kNone, "\x83\x4b"},                    // ka SI SO mark
      {"\x1b(I\x36\x1b(B\x1b(I\x5e\x1b(B", EightBit::kNone, "\x83\x4b"},            // via ASCII
      {"\x1b(I\x36\x1b$B\x1b(I\x5e\x1b(B", EightBit::kNone, "\x83\x4b"},            // via kanji
      {"\x1b(IJ\x1b(B\x1b(I_\x1b(B", EightBit::kNone, "\x83\x70"},                  // ha, pa
      {"\x1b(I\x36\x1b(Bx\x1b(I\x5e\x1b(B", EightBit::kNone, "\x83\x4ax\x81\x4a"},  // a letter
      {"\x8e\xb6\x8e\xde", EightBit::kEucJp, "\x83\x4b"},
      {"\xb6\x1b(B\xde", EightBit::kShiftJis, "\x83\x4b"},
      {"\xb6\x0f\x0e\x5e", EightBit::kShiftJis, "\x83\x4b"},
  };
  for (const Case& c : cases) EXPECT_EQ(Convert(c.text, c.code).text, c.sjis) << c.sjis;
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

// What cannot be converted becomes one geta mark, so that the output is Shift_JIS throughout:
// no stray 8-bit byte to pair with its neighbour, no ESC, SO or SI. The bytes around it stay.
TEST(TextConvertTest, WhatCannotBeConvertedBecomesGetaAndItsNeighboursStay) {
  const std::string geta = "\x81\xac";
  struct Case {
    std::string text;
    EightBit code;
    std::string sjis;
    size_t invalid;
  } cases[] = {
      // An invalid EUC-JP byte before "@" would pair with it as Shift_JIS.
      {"\xa4\xf3 \x8e\x40\n", EightBit::kEucJp, "\x82\xf1 " + geta + "@\n", 1},
      {"\xa4\x41\x8e\xe0\x8f\xa1", EightBit::kEucJp, geta + "A" + geta + geta + geta + geta, 5},
      {"\x80\xa0\xfd\x81", EightBit::kShiftJis, geta + geta + geta + geta, 4},
      {"\x81 a\x82", EightBit::kShiftJis, geta + " a" + geta, 2},  // leads without a trail
      {"a\xa4"
       "b",
       EightBit::kNone, "a" + geta + "b", 1},
      // A cut escape sequence, an unknown one, a stray ESC: one mark each, text after it stays.
      {"\x1b$B\x30\x21\x1b$", EightBit::kNone, "\x88\x9f" + geta, 1},
      {"\x1b$Zx\xa4", EightBit::kNone, geta + "x" + geta, 2},
      {"\x1b$(Qab\x1b(Bc", EightBit::kNone, geta + "abc", 1},
      {"a\x1bHello", EightBit::kNone, "a" + geta + "Hello", 1},
      {"a\x1b b", EightBit::kNone, "a" + geta + " b", 1},
      {"a\x1b(\r\n", EightBit::kNone, "a" + geta + "\r\n", 1},
      // Half a kanji pair, and a 7-bit byte that is no half-width kana.
      {Jis("\x30\x21\x30"), EightBit::kNone, "\x88\x9f" + geta, 1},
      {"\x1b(I\x31\x60\x1b(B", EightBit::kNone, "\x83\x41" + geta, 1},
      // The announcer of JIS X 0208-1990 is a shift sequence, not text.
      {"\x1b&@\x1b$B\x24\x22\x1b(B", EightBit::kNone, "\x82\xa0", 0},
  };
  for (const Case& c : cases) {
    Converted converted = Convert(c.text, c.code);
    EXPECT_EQ(converted.text, c.sjis) << c.sjis;
    EXPECT_EQ(converted.invalid, c.invalid) << c.sjis;
  }
}

// Whatever the input, the output is well-formed Shift_JIS: every 8-bit byte leads a pair with a
// valid trail, and no shift control is left.
TEST(TextConvertTest, OutputIsWellFormedShiftJisForAnyBytes) {
  std::mt19937 random(7);
  // Bytes that matter: shifts, escape parts, kana, pair bytes of each code, controls.
  const std::string pool =
      "\x1b\x0e\x0f$(&@BIJD\x8e\x8f\x81\x9f\xa1\xa4\xdf\xe0\xfe\xff\x40\x7f"
      "\x80\xde\r\n a";
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (int length = random() % 24; length > 0; --length) text += pool[random() % pool.size()];
    for (EightBit code :
         {EightBit::kNone, EightBit::kShiftJis, EightBit::kEucJp, EightBit::kLatin1}) {
      std::string out = Convert(text, code).text;
      for (size_t at = 0; at < out.size(); ++at) {
        uint8_t byte = static_cast<uint8_t>(out[at]);
        ASSERT_TRUE(byte != 0x1b && byte != 0x0e && byte != 0x0f) << at;
        if (byte < 0x80) continue;
        ASSERT_TRUE(at + 1 < out.size() && IsSjisLead(byte) && IsSjisTrail(out[at + 1])) << at;
        ++at;
      }
    }
  }
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

// Found by the fuzzer: a kana filled the buffer exactly, and whether the empty shift into kanji
// after it ended its chance of taking the mark depended on whether the rest of the input fit, so
// a short buffer ended in a kana the whole result does not have. Now no empty shift ends it.
TEST(TextConvertTest, AShortBufferHoldsAPrefixWhenAKanaFillsItBeforeAnEmptyKanjiShift) {
  std::string text = "\x1b(I\x33\x1b$B\x1b(I\x5e\x1b(B\x1b$B\x30\x21\x1b(B";  // u, mark, kanji
  std::string whole = Convert(text, EightBit::kNone).text;
  EXPECT_EQ(whole, "\x83\x94\x88\x9f");
  for (size_t capacity = 1; capacity <= whole.size(); ++capacity) {
    std::string part = Convert(text, EightBit::kNone, capacity).text;
    EXPECT_EQ(part, whole.substr(0, part.size())) << capacity;
  }
  std::string sjis_mark = "\x0e\x33\x1b$@\xde";  // the same with a Shift_JIS mark
  EXPECT_EQ(Convert(sjis_mark, EightBit::kShiftJis, 2).text, "\x83\x94");
}

}  // namespace
}  // namespace kanji
