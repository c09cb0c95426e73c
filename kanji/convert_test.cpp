// The converter case by case: detection, text in each code, MIME words in the header, and the
// whole conversion with its options, each case also cut by every shorter buffer. Real text and
// nkf hold it against the world in reference_test.cpp.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "kanji/header.h"
#include "kanji/nkf.h"
#include "tests/support/mail_generator.h"

namespace kanji {
namespace {

using namespace std::string_literals;

// "a" (hiragana) as an ISO-2022-JP base64 word, and in Shift_JIS; the geta mark.
const std::string kWordA = "=?ISO-2022-JP?B?GyRCJCIbKEI=?=", kSjisA = "\x82\xa0",
                  kGeta = "\x81\xac";

std::string Jis(const std::string& pairs) { return "\x1b$B" + pairs + "\x1b(B"; }

TEST(KanjiTest, DetectionReadsTheWholeMessage) {
  constexpr InputCode A = InputCode::kAscii, J = InputCode::kIso2022Jp, S = InputCode::kShiftJis,
                      E = InputCode::kEucJp;
  // Texts by what they are when Shift_JIS, and when EUC-JP, is preferred. Valid in both, it is
  // EUC-JP unless as Shift_JIS it is half-width kana alone: a byte above 0xDF as trail or lead,
  // 0x8F, です。, the range's ends ｱｲ ﾟ｡; odd kana are never EUC-JP. 詳細は添付の資料を参照して
  // ください。 in EUC-JP is valid Shift_JIS, yet not kana alone. Valid in neither: fewer invalid
  // bytes win (a run of pairs before ASCII leaves none behind), a tie as preferred. (The nkf test
  // holds detection against generated mail of each code.)
  std::vector<std::tuple<InputCode, InputCode, std::vector<std::string>>> groups = {
      {A, A, {"", "S: hi\r\n\r\n\x1b"}},
      {J, J, {"a\x1b$B\x30\x21", "a\x1b(I\x31", "a\x0e\x31\x0f"}},
      {E,
       E,
       {"x\xe0\xa1\r\n\xb6\xde", "\xb6\xde\xa1\xe0", "\x8f\xb0\xa1", "\xff\xa4\xfe",
        "\xbe\xdc\xba\xd9\xa4\xcf\xc5\xba\xc9\xd5\xa4\xce\xbb\xf1\xce\xc1\xa4\xf2\xbb\xb2\xbe\xc8"
        "\xa4\xb7\xa4\xc6\xa4\xaf\xa4\xc0\xa4\xb5\xa4\xa4\xa1\xa3"}},
      {S, E, {"\xa4\xc7\xa4\xb9\xa1\xa3", "\xb1\xb2 \xdf\xa1", "\xff"}},
      {S, S, {"\xb1\xb2\xb3", "\xff\x82\xa0", "\x82\xa0\xe0\xa1z\xe0\xa1z\xe0\xa1z"}}};
  // A deciding byte counts wherever it is: 0x82 0xA0 reads only as Shift_JIS, 0xFE 0xFE only as
  // EUC-JP. Runs of pairs are stepped over several bytes at a time: a deciding byte counts at
  // every place in one, and pairs stay aligned across a three-byte character.
  auto &euc = std::get<2>(groups[2]), &sjis = std::get<2>(groups[4]);
  const std::string ascii(5000, 'a');
  sjis.push_back(ascii + "\xa4\xa2" + ascii + "\x82\xa0");
  euc.push_back("\xa4\xa2" + ascii + "\xa4\xa2\xfe\xfe");
  std::string pairs;
  for (int i = 0; i < 40; ++i) pairs += "\xb0\xa1";
  std::get<2>(groups[3]).push_back(pairs);
  for (size_t at = 0; at <= pairs.size(); at += 2) {
    for (const char* inserted :
         {"\xfe\xfe", "\x82\xa0", "\x8f\xb0\xa1\xfe\xfe", "\xb0\xe0", "\xe0\xb0"}) {
      (inserted[0] == '\x82' ? sjis : euc)
          .push_back(pairs.substr(0, at) + inserted + pairs.substr(at));
    }
  }
  for (const auto& [if_sjis_preferred, if_euc_preferred, texts] : groups) {
    for (const std::string& text : texts) {
      SCOPED_TRACE(text);
      EXPECT_EQ(DetectInputCode(text.data(), text.size(), true), if_sjis_preferred);
      EXPECT_EQ(DetectInputCode(text.data(), text.size(), false), if_euc_preferred);
    }
  }
}

// A case: header text read in one code (header rules throughout: text without "=?" in it
// converts exactly as body text does), with the bytes invalid in that code; or a whole message
// under nkf's options.
struct Row {
  std::string input;
  std::variant<EightBit, const char*> read;
  std::string output;
  size_t invalid = 0;
};

struct Converted {
  std::string text;
  size_t invalid;
  bool full;
};

// Converts into `capacity` bytes, which are never overrun.
Converted Convert(const Row& row, size_t capacity) {
  std::string buffer(capacity + 8, '#');
  Output out{reinterpret_cast<uint8_t*>(buffer.data()), capacity};
  if (const EightBit* code = std::get_if<EightBit>(&row.read)) {
    ShiftState state;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(row.input.data());
    ConvertHeader(out, p, p + row.input.size(), *code, state);
  } else {
    SetNkfOption(std::get<const char*>(row.read));
    out.size = NkfConvert(buffer.data(), capacity, row.input.data(), row.input.size());
  }
  EXPECT_EQ(buffer.substr(capacity), "########") << capacity;
  return {buffer.substr(0, out.size), out.invalid, out.full};
}

constexpr EightBit N = EightBit::kNone, S = EightBit::kShiftJis, E = EightBit::kEucJp,
                   L = EightBit::kLatin1;

// Cases the nkf test does not make.
TEST(KanjiTest, ConvertsToShiftJisAndCutsShortOutputAtACharacter) {
  const std::string a16(16, 'a'), kana(512, '\xb1'), ambiguous = "S: x\n\n\xb1\xb2\n";
  std::string words, wide;
  for (int i = 0; i < 20; ++i) words += "=?SHIFT_JIS?B?sbGx?=";
  for (int i = 0; i < 512; ++i) wide += "\x83\x41";
  const std::string ascii =
      "From: a\r\nSubject: =? not a word\n\tx\rY\0Z\x7f\x01\n\r\nbody "s + kWordA;
  const std::string mail = "Subject: " + kWordA + "\r\n\r\n" + kWordA + "\r\n";
  std::vector<Row> rows = {
      // Half-width kana widen and take the sound mark after them across any shift that writes
      // nothing (SO and SI, ESC sequences between, in 7-bit or 8-bit text).
      {"a\x0e\x36\x5e\x4a\x5f\x33\x5e\x31\x5e\x5f\x0fz", N,
       "a\x83\x4b\x83\x70\x83\x94\x83\x41\x81\x4a\x81\x4bz"},
      {"\x0e\x36\x0f\x0e\x5e\x0f\x1b(I\x36\x1b(B\x1b(I\x5e\x1b(B", N, "\x83\x4b\x83\x4b"},
      {"\x1b(I\x36\x1b$B\x1b(I\x5e\x1b(B\xb6\x0f\x0e\x5e", S, "\x83\x4b\x83\x4b"},
      // The last rows (IBM extensions, as NEC selected them) in JIS and EUC-JP; kanji shifts of
      // every announcement; Shift_JIS pairs pass as they are; controls and NUL stand for themselves
      // in every shift; characters Shift_JIS lacks (JIS X 0212, Latin-1) are geta.
      {"\x1b$(@\x79\x21\x7e\x7e\x24\x22\x1b(B", N, "\xed\x40\xef\xfc" + kSjisA},
      {"\xf9\xa1\xfe\xfe", E, "\xed\x40\xef\xfc"},
      {"\x1b&@\x1b$B\x24\x22\x1b(B\x1b$@\x24\x22\x1b(J\x1b$(B\x24\x22\x1b(B", N,
       kSjisA + kSjisA + kSjisA},
      {"\x88\x9f\xed\x40\xfa\x40\xfc\xfc a\x81\x40", S,
       "\x88\x9f\xed\x40\xfa\x40\xfc\xfc a\x81\x40"},
      {Jis("\x30\x21\r\n\x30\x21 \t\x00\x30\x21"s) + "\r\x00x"s, N,
       "\x88\x9f\r\n\x88\x9f \t\x00\x88\x9f\r\x00x"s},
      {"a\x8f\xb0\xa1z", E, "a" + kGeta + "z"},
      {"\x1b$(D\x30\x21\x1b(Bz", N, kGeta + "z"},
      {"\xe9\xd7", L, kGeta + "\x81\x7e"},

      // What cannot be converted becomes one geta mark, so that the output is Shift_JIS throughout:
      // no stray 8-bit byte to pair with its neighbour (an EUC-JP byte before "@"), no ESC, SO or
      // SI. Cut, unknown and stray escapes, half a pair, a 7-bit byte that is no kana. The bytes
      // around stay.
      {"\xa4\xf3 \x8e\x40\n", E, "\x82\xf1 " + kGeta + "@\n", 1},
      {"\xa4\x41\x8e\xe0\x8f\xa1", E, kGeta + "A" + kGeta + kGeta + kGeta + kGeta, 5},
      {"\x80\xa0\xfd\x81 a\x82", S, kGeta + kGeta + kGeta + kGeta + " a" + kGeta, 5},
      {"a\xa4z\x1b$Zx\xa4", N, "a" + kGeta + "z" + kGeta + "x" + kGeta, 3},
      {"\x1b$B\x30\x21\x1b$", N, "\x88\x9f" + kGeta, 1},
      {"\x1b$(", N, kGeta, 1},
      {"\x1b$(Qab\x1b(Bc\x1bHello\x1b b\x1b(\r\n", N,
       kGeta + "abc" + kGeta + "Hello" + kGeta + " b" + kGeta + "\r\n", 4},
      {Jis("\x30\x21\x30"), N, "\x88\x9f" + kGeta, 1},
      {"\x1b(I\x31\x60\x1b(B", N, "\x83\x41" + kGeta, 1},

      // Either encoding in any case, padding left out, a language tag, empty text.
      {"=?shift_jis?q?a_b=82=a0=3D?= " + kWordA + " tail", N, "a b\x82\xa0=" + kSjisA + " tail"},
      {"=?Euc-Jp?b?pKI?==?us-ascii*en?Q?\?=", N, kSjisA},
      {"=?iso-8859-1?B?6Q==?=", N, kGeta},
      // The gap between decoded words vanishes, also across folds and charsets; others stay.
      {"S: x " + kWordA + " y\r\n", N, "S: x " + kSjisA + " y\r\n"},
      {"S: " + kWordA + " \t" + kWordA + "\r\n \t" + kWordA + "\n\t" + kWordA, N,
       "S: " + kSjisA + kSjisA + kSjisA + kSjisA},
      {"S: (" + kWordA + kWordA + ")", N, "S: (" + kSjisA + kSjisA + ")"},
      {"S: " + kWordA + "\r\nT: " + kWordA, N, "S: " + kSjisA + "\r\nT: " + kSjisA},
      {kWordA + " =?us-ascii?q?_b_?= =?EUC-JP?B?pKI=?=", N, kSjisA + " b " + kSjisA},
      // A character split between words of one charset is joined, a kana and its mark too.
      {"S: =?ISO-2022-JP?B?GyRCJA==?=\r\n =?iso-2022-jp?b?IhsoQg==?=", N, "S: " + kSjisA},
      {"S: =?EUC-JP?Q?=A4?= =?EUC-JP?Q?=A2?=", N, "S: " + kSjisA},
      {"S: =?SHIFT_JIS?Q?=B6?= =?SHIFT_JIS?Q?=DE_?=", N, "S: \x83\x4b "},
      {"S: =?ISO-2022-JP?B?GyhJShsoQg==?= =?ISO-2022-JP?B?GyhJXxsoQg==?=", N, "S: \x83\x70"},
      // Plain header text is in the message's code; "=?" that starts no word is text.
      {"S: \xa4\xa2 " + kWordA, E, "S: " + kSjisA + " " + kSjisA},
      {"S: \xb1 " + kWordA, S, "S: \x83\x41 " + kSjisA},
      {"S: =?\xa4\xa2", E, "S: =?" + kSjisA},

      // Whole messages.
      {ascii, "Xsm", ascii},
      {ascii, "", ascii},
      {"", "sm", ""},
      {mail, "sm", "Subject: " + kSjisA + "\r\n\r\n" + kWordA + "\r\n"},
      {mail, "Xs", mail},
      {"S: " + kWordA, "sm", "S: " + kSjisA},
      // The header ends at the first line that begins with CR or LF; a lone CR ends no line.
      {"S: a\n\rS: " + kWordA, "sm", "S: a\n\rS: " + kWordA},
      {"S: a\rT: " + kWordA + "\n\n", "sm", "S: a\rT: " + kSjisA + "\n\n"},
      {"S: =?Shift_JIS?Q?=82=A0_=B6=DE?=\n\n", "sm", "S: \x82\xa0 \x83\x4b\n\n"},
      {"S: =?euc-jp?q?=A4=A2?=\n\n", "Xsm", "S: \x82\xa0\n\n"},
      // The option decides ambiguous text, unless one byte anywhere decides the whole message.
      {ambiguous, "Xsm", "S: x\n\n\x83\x41\x83\x43\n"},
      {ambiguous, "sm", "S: x\n\n\x89\x51\n"},
      {ambiguous + "\x82\xa0", "sm", "S: x\n\n\x83\x41\x83\x43\n\x82\xa0"},
      {ambiguous + "\xfe\xfe", "Xsm", "S: x\n\n\x89\x51\n\xef\xfc"},
      // Where we differ from nkf on purpose: JIS X 0212 becomes geta, NEC-selected IBM Shift_JIS
      // passes, blanks before "=" stay, an unpadded word decodes without a stray NUL.
      {"a\x8f\xb0\xa1\xa4\xa2", "sm", "a" + kGeta + kSjisA},
      {"\xed\x40\xee\xfc\xfa\x40", "Xsm", "\xed\x40\xee\xfc\xfa\x40"},
      {"S: a =b  =?x\n\n", "sm", "S: a =b  =?x\n\n"},
      {"S: =?ISO-2022-JP?B?GyRCJCIbKEI?=\n\n", "sm", "S: " + kSjisA + "\n\n"},
      // Bytes at the edges of the ranges: the last Shift_JIS lead before the kana, DEL after an
      // EUC-JP pair, "!" alone ending a kanji run, kana found in 32-byte steps, hex digits.
      {"\x82\xa0\x9f\xfc", "sm", "\x82\xa0\x9f\xfc"},
      {"\xa4\xa2\x7f\xa4\xa2", "sm", kSjisA + "\x7f" + kSjisA},
      {"\x1b$B\x30\x21!\x1b(B", "sm", "\x88\x9f" + kGeta},
      {a16 + "\xb1" + a16, "sm", a16 + "\x83\x41" + a16},
      {"S: =?us-ascii?q?a=09b=3A=3a?=\n\n", "sm", "S: a\tb::\n\n"},
      {"S: =?iso-8859-1?q?=A2=A3=A7=A8=AC=B0=B1=B4=B6=D7=F7?=\n\n", "sm",
       "S: "
       "\x81\x91\x81\x92\x81\x98\x81\x4e\x81\xca\x81\x8b\x81\x7d\x81\x4c\x81\xf7\x81\x7e\x81\x80\n"
       "\n"},
      // Cut short: kana, then a 7-bit byte that is no kana (0x61 in a kana shift), a word of
      // 2-byte text and a word of ASCII; after a character that does not fit, nothing may follow.
      {"S: \x0e#Sa\x0f" + kWordA + " =?shift_jis?q?=81=a0?= =?us-ascii?q?a?=\n\nab" +
           "\x1b$B\x30\x21\x1b(B\xb6\xde",
       "Xsm",
       "S: \x81\x76\x83\x82" + kGeta + kSjisA +
           "\x81\xa0"
           "a\n\nab\x88\x9f\x83\x4b"},
      // A kana fills the buffer before an empty kanji shift: it still takes the mark after it.
      {"\x1b(I\x33\x1b$B\x1b(I\x5e\x1b(B" + Jis("\x30\x21"), "Xsm", "\x83\x94\x88\x9f"},
      {"\x0e\x33\x1b$@\xde", "Xsm", "\x83\x94"},
      {"ab\xb1", "Xsm", "ab\x83\x41"},
      // The bound holds the worst case: every byte a kana that widens.
      {kana, "Xsm", wide},
      {words + "\n\n" + kana, "Xsm", wide.substr(0, 120) + "\n\n" + wide},
  };

  // Words that are malformed, of a charset we do not convert, or decode to invalid text stay as
  // they were, and only they. So does a word that decodes to a control but TAB, in every charset:
  // a CR or LF would forge header lines, a NUL cut the message. A TAB is text.
  std::vector<std::string> bad = {
      "=?UTF-8?B?YQ==?=",           "=?ISO-2022-JP?X?YQ==?=",
      "=?ISO-2022-JP?B?Y?=",        "=?ISO-2022-JP?B?YQ=?=",
      "=?ISO-2022-JP?B?YQ==YQ==?=", "=?ISO-2022-JP?B?Y!Q=?=",
      "=?ISO-2022-JP?Q?a=4?=",      "=?ISO-2022-JP?Q?a=G0?=",
      "=?ISO-2022-JP?Q?a b?=",      "=?ISO-2022-JP?B?YQ==?",
      "=?ISO-2022-JP?B?YQ==\n?=",   "=??B?YQ==?=",
      "=?ISO-2022-JP?BQ?YQ==?=",    "=?ISO-2022-JP",
      "=?ISO-2022-JP?Q?a\x7f?=",    "=?EUC-JP?Q?=A4?=",
      "=?ISO-2022-JP?Q?=A4=A2?=",   "=?US-ASCII?Q?=E9?=",
      "=?ISO-2022-JP?Q?=1B$Zx?=",   "=?ISO-2022-JP?B?",
      "=?ISO-2022-JP?B?AAAA?=",     "=?US-ASCII?Q?hi=0D=0A.=0D=0AFrom:_x?="};
  for (auto [charset, before, after, sjis] :
       {std::tuple{"ISO-2022-JP", "\x1b$B$\""s, "$\"\x1b(B"s, kSjisA + "\t" + kSjisA},
        {"ISO-2022-JP", "a"s, "b"s, "a\tb"s},
        {"SHIFT_JIS", "\x82\xa0"s, "\xb1"s, kSjisA + "\t\x83\x41"},
        {"EUC-JP", "\xa4\xa2"s, "\x8e\xb1"s, kSjisA + "\t\x83\x41"},
        {"US-ASCII", "a"s, "b"s, "a\tb"s},
        {"ISO-8859-1", "\xe9"s, "\xd7"s, kGeta + "\t\x81\x7e"}}) {
    for (char control : {'\0', '\r', '\n', '\x01', '\x1f'}) {
      bad.push_back("=?"s + charset + "?B?" + Base64(before + control + after) + "?=");
    }
    rows.push_back(
        {"S: =?"s + charset + "?B?" + Base64(before + '\t' + after) + "?=", N, "S: " + sjis});
  }
  for (const std::string& word : bad) {
    rows.push_back({"S: " + kWordA + " " + word + "  " + kWordA + " x =?\r\n", N,
                    "S: " + kSjisA + " " + word + "  " + kSjisA + " x =?\r\n"});
  }

  // A buffer of the result's size holds all of it and is not full; a shorter one holds exactly
  // the characters that fit before the first one that does not.
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input.substr(0, 80));
    Converted whole = Convert(row, row.output.size());
    EXPECT_EQ(std::tuple(whole.text, whole.invalid, whole.full),
              std::tuple(row.output, row.invalid, false));
    EXPECT_GE(NkfOutputBound(row.input.size()), row.output.size());
    for (size_t capacity = 0, fits = 0; capacity < row.output.size(); ++capacity) {
      size_t next = fits + (static_cast<uint8_t>(row.output[fits]) >= 0x80 ? 2 : 1);
      fits = capacity == next ? next : fits;
      ASSERT_EQ(Convert(row, capacity).text, row.output.substr(0, fits)) << capacity;
    }
  }
}

// Long runs are converted several pairs at a time: a run cut short by each kind of stop, at each
// place in the group of pairs it falls in, converts as its pairs do alone.
TEST(KanjiTest, ARunStoppedAnywhereConvertsAsItsPairsDoAlone) {
  const std::string run = "\x30\x21\x7e\x7e\x21\x21\x5f\x21\x79\x21\x24\x22\x2d\x21\x5e\x7e";
  auto convert = [](const std::string& text) {
    return Convert({text, N, ""}, 2 * text.size()).text;
  };
  for (const std::string& stop : {"\x7f"s, " "s, "\x00"s, "\x80"s, "\x1b(B"s}) {
    for (size_t pairs = 0; pairs <= 5; ++pairs) {
      SCOPED_TRACE(stop + std::to_string(pairs));
      std::string alone;
      for (size_t i = 0; i < pairs; ++i) alone += convert(Jis(run.substr(2 * i, 2)));
      std::string text = Jis(run.substr(0, 2 * pairs + 1) + stop + run);
      EXPECT_EQ(convert(text).substr(0, alone.size()), alone);
    }
  }
}

}  // namespace
}  // namespace kanji
