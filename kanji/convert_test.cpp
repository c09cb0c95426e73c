// The converter case by case: detection, text in each code, MIME words in the header, and the
// whole conversion with its options and short buffers. Real text and nkf hold it against the
// world in reference_test.cpp.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "kanji/header.h"
#include "kanji/jis.h"
#include "kanji/nkf.h"
#include "tests/support/mail_generator.h"

namespace kanji {
namespace {

using namespace std::string_literals;

// "a" (hiragana) as an ISO-2022-JP base64 word, and in Shift_JIS; the geta mark.
const std::string kWordA = "=?ISO-2022-JP?B?GyRCJCIbKEI=?=", kSjisA = "\x82\xa0",
                  kGeta = "\x81\xac";

std::string Jis(const std::string& pairs) { return "\x1b$B" + pairs + "\x1b(B"; }

struct Converted {
  std::string text;
  size_t invalid;
};

// Header rules throughout: text without "=?" in it converts exactly as body text does.
Converted Convert(const std::string& input, EightBit code = EightBit::kNone) {
  std::vector<uint8_t> buffer(2 * input.size() + 8);
  Output out{buffer.data(), buffer.size()};
  ShiftState state;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(input.data());
  ConvertHeader(out, p, p + input.size(), code, state);
  return {std::string(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(out.size)),
          out.invalid};
}

std::string Nkf(const std::string& input, const char* options) {
  SetNkfOption(options);
  std::vector<char> output(NkfOutputBound(input.size()));
  return std::string(output.data(),
                     NkfConvert(output.data(), output.size(), input.data(), input.size()));
}

TEST(KanjiTest, DetectionReadsTheWholeMessage) {
  constexpr InputCode A = InputCode::kAscii, J = InputCode::kIso2022Jp, S = InputCode::kShiftJis,
                      E = InputCode::kEucJp;
  struct Row {
    std::string text;
    InputCode if_sjis_preferred, if_euc_preferred;
  };
  // Valid in both, it is EUC-JP unless as Shift_JIS it is half-width kana alone: a byte above
  // 0xDF as trail or lead, 0x8F, です。, the range's ends ｱｲ ﾟ｡; odd kana are never EUC-JP.
  // Valid in neither: fewer invalid bytes win, a tie as preferred. (The nkf test holds
  // detection against generated mail of each code.)
  std::vector<Row> rows = {{"", A, A},
                           {"S: hi\r\n\r\n\x1b", A, A},
                           {"a\x1b$B\x30\x21", J, J},
                           {"a\x0e\x31\x0f", J, J},
                           {"x\xe0\xa1\r\n\xb6\xde", E, E},
                           {"\xb6\xde\xa1\xe0", E, E},
                           {"\x8f\xb0\xa1", E, E},
                           {"\xa4\xc7\xa4\xb9\xa1\xa3", S, E},
                           {"\xb1\xb2 \xdf\xa1", S, E},
                           {"\xb1\xb2\xb3", S, S},
                           {"\xff\x82\xa0", S, S},
                           {"\xff\xa4\xfe", E, E},
                           {"\xff", S, E}};
  // 詳細は添付の資料を参照してください。 in EUC-JP is valid Shift_JIS, yet not kana alone.
  rows.push_back(
      {"\xbe\xdc\xba\xd9\xa4\xcf\xc5\xba\xc9\xd5\xa4\xce\xbb\xf1\xce\xc1\xa4\xf2\xbb\xb2"
       "\xbe\xc8\xa4\xb7\xa4\xc6\xa4\xaf\xa4\xc0\xa4\xb5\xa4\xa4\xa1\xa3",
       E, E});
  // A deciding byte counts wherever it is: 0x82 0xA0 reads only as Shift_JIS, 0xFE 0xFE only as
  // EUC-JP. Runs of pairs are stepped over several bytes at a time: a deciding byte counts at
  // every place in one, and pairs stay aligned across a three-byte character.
  const std::string ascii(5000, 'a');
  rows.push_back({ascii + "\xa4\xa2" + ascii + "\x82\xa0", S, S});
  rows.push_back({"\xa4\xa2" + ascii + "\xa4\xa2\xfe\xfe", E, E});
  std::string pairs;
  for (int i = 0; i < 40; ++i) pairs += "\xb0\xa1";
  rows.push_back({pairs, S, E});
  for (size_t at = 0; at <= pairs.size(); at += 2) {
    for (const char* inserted :
         {"\xfe\xfe", "\x82\xa0", "\x8f\xb0\xa1\xfe\xfe", "\xb0\xe0", "\xe0\xb0"}) {
      InputCode code = inserted[0] == '\x82' ? S : E;
      rows.push_back({pairs.substr(0, at) + inserted + pairs.substr(at), code, code});
    }
  }
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(DetectInputCode(row.text.data(), row.text.size(), true), row.if_sjis_preferred);
    EXPECT_EQ(DetectInputCode(row.text.data(), row.text.size(), false), row.if_euc_preferred);
  }
}

struct Row {
  std::string input;
  EightBit code;
  std::string sjis;
  size_t invalid = 0;  // bytes invalid in their code
};

void ExpectConverted(const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    Converted converted = Convert(row.input, row.code);
    EXPECT_EQ(converted.text, row.sjis);
    EXPECT_EQ(converted.invalid, row.invalid);
  }
}

constexpr EightBit N = EightBit::kNone, S = EightBit::kShiftJis, E = EightBit::kEucJp;

// Cases the nkf test does not make. Half-width kana widen and take the sound mark after them
// across any shift that writes nothing (SO and SI, ESC sequences between, in 7-bit or 8-bit
// text).
TEST(KanjiTest, TextAndHeadersConvertToShiftJis) {
  const std::string full = "\x83\x4b\x83\x70\x83\x94\x83\x41\x81\x4a\x81\x4b";  // ガパヴア゛゜
  ExpectConverted({
      {"a\x0e\x36\x5e\x4a\x5f\x33\x5e\x31\x5e\x5f\x0f"
       "b",
       N, "a" + full + "b"},
      {"\x0e\x36\x0f\x0e\x5e\x0f", N, "\x83\x4b"},
      {"\x1b(I\x36\x1b(B\x1b(I\x5e\x1b(B", N, "\x83\x4b"},
      {"\x1b(I\x36\x1b$B\x1b(I\x5e\x1b(B", N, "\x83\x4b"},
      {"\xb6\x0f\x0e\x5e", S, "\x83\x4b"},

      // The last rows (IBM extensions, as NEC selected them) in JIS and EUC-JP; kanji shifts of
      // every announcement; Shift_JIS pairs pass as they are; controls and NUL stand for themselves
      // in every shift; characters Shift_JIS lacks (JIS X 0212, Latin-1) are geta.
      {"\x1b$(@\x79\x21\x7e\x7e\x1b(B", N, "\xed\x40\xef\xfc"},
      {"\xf9\xa1\xfe\xfe", E, "\xed\x40\xef\xfc"},
      {"\x1b&@\x1b$B\x24\x22\x1b(B", N, kSjisA},
      {"\x1b$@\x24\x22\x1b(J", N, kSjisA},
      {"\x1b$(B\x24\x22\x1b(B", N, kSjisA},
      {"\x1b$(@\x24\x22\x1b(B", N, kSjisA},
      {"\x88\x9f\xed\x40\xfa\x40\xfc\xfc a\x81\x40", S,
       "\x88\x9f\xed\x40\xfa\x40\xfc\xfc a\x81\x40"},
      {Jis("\x30\x21\r\n\x30\x21 \t\x00\x30\x21"s) + "\r\x00x"s, N,
       "\x88\x9f\r\n\x88\x9f \t\x00\x88\x9f\r\x00x"s},
      {"a\x8f\xb0\xa1z", E, "a" + kGeta + "z"},
      {"\x1b$(D\x30\x21\x1b(Bz", N, kGeta + "z"},
      {"\xe9\xd7", EightBit::kLatin1, kGeta + "\x81\x7e"},

      // What cannot be converted becomes one geta mark, so that the output is Shift_JIS throughout:
      // no stray 8-bit byte to pair with its neighbour (an EUC-JP byte before "@"), no ESC, SO or
      // SI. Cut, unknown and stray escapes, half a pair, a 7-bit byte that is no kana. The bytes
      // around stay.
      {"\xa4\xf3 \x8e\x40\n", E, "\x82\xf1 " + kGeta + "@\n", 1},
      {"\xa4\x41\x8e\xe0\x8f\xa1", E, kGeta + "A" + kGeta + kGeta + kGeta + kGeta, 5},
      {"\x80\xa0\xfd\x81", S, kGeta + kGeta + kGeta + kGeta, 4},
      {"\x81 a\x82", S, kGeta + " a" + kGeta, 2},
      {"a\xa4z", N, "a" + kGeta + "z", 1},
      {"\x1b$B\x30\x21\x1b$", N, "\x88\x9f" + kGeta, 1},
      {"\x1b$(", N, kGeta, 1},
      {"\x1b$Zx\xa4", N, kGeta + "x" + kGeta, 2},
      {"\x1b$(Qab\x1b(Bc", N, kGeta + "abc", 1},
      {"a\x1bHello", N, "a" + kGeta + "Hello", 1},
      {"a\x1b b", N, "a" + kGeta + " b", 1},
      {"a\x1b(\r\n", N, "a" + kGeta + "\r\n", 1},
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
  });
}

// Words that are malformed, of a charset we do not convert, or decode to invalid text stay as
// they were, and only they. So does a word that decodes to a control but TAB, in every charset:
// a CR or LF would forge header lines, a NUL cut the message. A TAB is text.
TEST(KanjiTest, WordsThatDoNotDecodeToValidTextStayAsTheyWere) {
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
  std::vector<Row> rows;
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
  ExpectConverted(rows);
}

// Long runs are converted several pairs at a time: a run cut short by each kind of stop, at each
// place in the group of pairs it falls in, converts as its pairs do alone.
TEST(KanjiTest, ARunStoppedAnywhereConvertsAsItsPairsDoAlone) {
  const std::string run = "\x30\x21\x7e\x7e\x21\x21\x5f\x21\x79\x21\x24\x22\x2d\x21\x5e\x7e";
  for (const std::string& stop : {"\x7f"s, " "s, "\x00"s, "\x80"s, "\x1b(B"s}) {
    for (size_t pairs = 0; pairs <= 5; ++pairs) {
      SCOPED_TRACE(stop + std::to_string(pairs));
      std::string alone;
      for (size_t i = 0; i < pairs; ++i) alone += Convert(Jis(run.substr(2 * i, 2))).text;
      std::string text = Jis(run.substr(0, 2 * pairs + 1) + stop + run);
      EXPECT_EQ(Convert(text).text.substr(0, alone.size()), alone);
    }
  }
}

TEST(KanjiTest, MessagesConvertWithTheirOptions) {
  const std::string ascii =
      "From: a\r\nSubject: =? not a word\n\tx\rY\0Z\x7f\x01\n\r\nbody "s + kWordA;
  const std::string mail = "Subject: " + kWordA + "\r\n\r\n" + kWordA + "\r\n";
  const std::string ambiguous = "S: x\n\n\xb1\xb2\n";  // half-width "a i", or one EUC-JP kanji
  const std::string a16(16, 'a');
  struct Row {
    std::string input;
    const char* options;
    std::string output;
  } rows[] = {
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
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input + " " + row.options);
    EXPECT_EQ(Nkf(row.input, row.options), row.output);
  }
}

// A short buffer holds exactly the characters that fit before the first one that does not, is
// never overrun, and the bound holds the worst case: every byte a kana that widens.
TEST(KanjiTest, AShortOutputEndsAtTheLastCharacterThatFits) {
  std::string words, kana(512, '\xb1'), wide;
  for (int i = 0; i < 20; ++i) words += "=?SHIFT_JIS?B?sbGx?=";
  for (int i = 0; i < 512; ++i) wide += "\x83\x41";
  struct Row {
    std::string input, whole;
  } rows[] = {
      // Kana, then a 7-bit byte that is no kana (0x61 in a kana shift), a word of 2-byte text and
      // a word of ASCII: after a character that does not fit, nothing may follow.
      {"S: \x0e#Sa\x0f" + kWordA + " =?shift_jis?q?=81=a0?= =?us-ascii?q?a?=\n\nab" +
           "\x1b$B\x30\x21\x1b(B\xb6\xde",
       "S: \x81\x76\x83\x82" + kGeta + kSjisA +
           "\x81\xa0"
           "a\n\nab\x88\x9f\x83\x4b"},
      // A kana fills the buffer before an empty kanji shift: it still takes the mark after it.
      {"\x1b(I\x33\x1b$B\x1b(I\x5e\x1b(B" + Jis("\x30\x21"), "\x83\x94\x88\x9f"},
      {"\x0e\x33\x1b$@\xde", "\x83\x94"},
      {"ab\xb1", "ab\x83\x41"},
      {kana, wide},
      {words + "\n\n" + kana, wide.substr(0, 120) + "\n\n" + wide},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input.substr(0, 40));
    ASSERT_EQ(Nkf(row.input, "Xsm"), row.whole);
    size_t fits = 0;
    for (size_t capacity = 0; capacity <= row.whole.size(); ++capacity) {
      size_t next = fits + (static_cast<uint8_t>(row.whole[fits]) >= 0x80 ? 2 : 1);
      fits = capacity == next ? next : fits;
      SetNkfOption("Xsm");
      std::vector<char> output(capacity + 8, '#');
      size_t written = NkfConvert(output.data(), capacity, row.input.data(), row.input.size());
      ASSERT_EQ(std::string(output.data(), written), row.whole.substr(0, fits)) << capacity;
      ASSERT_EQ(std::string(output.data() + capacity, 8), "########") << capacity;
    }
  }
}

}  // namespace
}  // namespace kanji
