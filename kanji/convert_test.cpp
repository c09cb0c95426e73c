// The converter case by case: detection, text in each code, MIME words in the header, and the
// whole conversion with its options, each case also cut by every shorter buffer. Real text and
// nkf hold it against the world in reference_test.cpp.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "kanji/header.h"
#include "kanji/jis.h"
#include "kanji/nkf.h"
#include "tests/support/mail_generator.h"

namespace ferrolt::kanji {
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
  // 0x8F, です。, the range's ends ｱｲ ﾟ｡; odd kana are never EUC-JP. Two EUC-JP kanji, the
  // second with a trail above 0xDF, are valid Shift_JIS, yet not kana alone. Valid in neither:
  // fewer invalid bytes win (a run of pairs before ASCII leaves none behind), a tie as preferred.
  // Kanji alone of the rows both codes read as kanji (跪, IBM 﨑, one EUC-JP kana as 自) are
  // decided by the option too, unless a pair is no code page 932 pair or a kana or hiragana shows.
  // (The nkf test holds detection against generated mail of each code.)
  std::string pairs;
  for (int i = 0; i < 40; ++i) pairs += "\xb0\xa1";
  std::vector<std::tuple<InputCode, InputCode, std::vector<std::string>>> groups = {
      {A, A, {"", "S: hi\r\n\r\n\x1b"}},
      {J, J, {"a\x1b$B\x30\x21", "a\x1b(I\x31", "a\x0e\x31\x0f"}},
      {E, E, {"x\xe0\xa1\r\n\xb6\xde", "\xb6\xde\xbb\xf1\xce\xc1", "\x8f\xb0\xa1", "\xff\xa4\xfe"}},
      {S, E, {"\xa4\xc7\xa4\xb9\xa1\xa3", "\xb1\xb2 \xdf\xa1", "\xff", pairs}},
      {S, S, {"\xb1\xb2\xb3", "\xff\x82\xa0", "\x82\xa0\xe0\xa1z\xe0\xa1z\xe0\xa1z"}},
      {S, E, {"\xe6\xec", "\x8e\xa9", "\xfa\xb1\x8e\xa9 \xe0\xa1"}},
      {E, E, {"\x8e\xa9\x8e\xaa", "\xeb\xa1", "\xe6\xec\xa4\xa2", "\xe6\xfe"}}};
  // A deciding byte counts wherever it is: 0x82 0xA0 reads only as Shift_JIS, 0xFE 0xFE only as
  // EUC-JP. Runs of pairs are stepped over several bytes at a time: a deciding byte counts at
  // every place in one, and pairs stay aligned across a three-byte character.
  const std::string ascii(5000, 'a');
  std::get<2>(groups[4]).push_back(ascii + "\xa4\xa2" + ascii + "\x82\xa0");
  std::get<2>(groups[2]).push_back("\xa4\xa2" + ascii + "\xa4\xa2\xfe\xfe");
  for (size_t at = 0; at <= pairs.size(); at += 2) {
    for (const char* inserted :
         {"\xfe\xfe", "\x82\xa0", "\x8f\xb0\xa1\xfe\xfe", "\xb0\xe0", "\xe0\xb0"}) {
      std::get<2>(groups[inserted[0] == '\x82' ? 4 : 2])
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

// Converts into `capacity` bytes, which are never overrun: the text, the bytes invalid in their
// code, and whether a character did not fit.
std::tuple<std::string, size_t, bool> Convert(const Row& row, size_t capacity) {
  std::string buffer(capacity + 8, '#');
  Output out{reinterpret_cast<uint8_t*>(buffer.data()), capacity};
  if (const EightBit* code = std::get_if<EightBit>(&row.read)) {
    ShiftState state;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(row.input.data());
    ConvertHeader(&out, p, p + row.input.size(), *code, &state);
  } else {
    SetNkfOption(std::get<const char*>(row.read));
    out.size = NkfConvert(buffer.data(), capacity, row.input.data(), row.input.size());
  }
  EXPECT_EQ(buffer.substr(capacity), "########") << capacity;
  return {buffer.substr(0, out.size), out.invalid, out.full};
}

constexpr EightBit N = EightBit::kNone, S = EightBit::kShiftJis, E = EightBit::kEucJp;

// Cases the nkf test does not make.
TEST(KanjiTest, ConvertsToShiftJisAndCutsShortOutputAtACharacter) {
  const std::string a16(16, 'a'), kana(512, '\xb1'), ambiguous = "S: x\n\n\xb1\xb2\n";
  std::string words, wide;
  for (int i = 0; i < 20; ++i) words += "=?SHIFT_JIS?B?sbGx?=";
  for (int i = 0; i < 512; ++i) wide += "\x83\x41";
  const std::string mail = "Subject: " + kWordA + "\r\n\r\n" + kWordA + "\r\n";
  const std::string ascii =
      "From: a\r\nSubject: =? not a word\n\tx\rY\0Z\x7f\x01\n\r\nbody "s + kWordA;
  std::vector<Row> rows = {
      // Half-width kana widen and take the sound mark after them across any shift that writes
      // nothing (SO and SI, ESC sequences between, in 7-bit or 8-bit text).
      {"a\x0e\x36\x5e\x4a\x5f\x33\x5e\x31\x5e\x5f\x0fz", N,
       "a\x83\x4b\x83\x70\x83\x94\x83\x41\x81\x4a\x81\x4bz"},
      {"\x0e\x36\x0f\x0e\x5e\x0f\x1b(I\x36\x1b(B\x1b(I\x5e\x1b(B", N, "\x83\x4b\x83\x4b"},
      {"\x1b(I\x36\x1b$B\x1b(I\x5e\x1b(B\xb6\x0f\x0e\x5e", S, "\x83\x4b\x83\x4b"},
      // The last rows (IBM extensions, as NEC selected them) in JIS and EUC-JP; kanji shifts of
      // every announcement; Shift_JIS pairs pass as they are; controls and NUL stand for themselves
      // in every shift; characters code page 932 lacks (Latin-1 letters, JIS X 0212 but the IBM
      // kanji, pairs in rows it leaves empty, as JIS X 0213 and user-defined rows use) are geta.
      {"a\x8f\xb0\xa1z\xf9\xa1\xfe\xfe\xcf\xf4\xa9\xa1\xf5\xa1", E,
       "a" + kGeta + "z\xed\x40" + kGeta + kGeta + kGeta + kGeta},
      {"\x1b&@\x1b$B\x24\x22\x1b(B\x1b$@\x24\x22\x1b(J\x1b$(B\x24\x22\x1b$(@\x79\x21\x7e\x7e\x1b(B",
       N, kSjisA + kSjisA + kSjisA + "\xed\x40" + kGeta},
      {"\x98\x92\x85\x40\xeb\x40\xf0\x40\x98\x72", S, kGeta + kGeta + kGeta + "\xf0\x40\x98\x72"},
      // JIS X 0212 characters that code page 932 holds become its pairs: IBM kanji in EUC-JP as
      // Windows and iconv write them (8F F3F3..F4FE: 髙 﨑) and where JIS X 0212 puts them (琇,
      // №, ￤), in EUC-JP and in ISO-2022-JP.
      {"\x8f\xf4\xfb\x8f\xf4\xbd\x8f\xcc\xa5\x8f\xa2\xf1\x8f\xa2\xc3", E,
       "\xfb\xfc\xfa\xb1\xfb\x65\x87\x82\xfa\x55"},
      {"\x1b$(D\x74\x7b\x4c\x25\x1b(B", N, "\xfb\xfc\xfb\x65"},
      // A line end returns to ASCII from every shift, so a line that forgot to shift back spoils
      // only itself.
      {Jis("\x30\x21 \t\x00\x30\x21\r\n\x30\x21"s) + "\r\x00x"s, N,
       "\x88\x9f \t\x00\x88\x9f\r\n0!\r\x00x"s},
      {"\x1b$B\x30\x21\nT\x1b(I\x31\rT\x0e\x31\nT\x1b$(D\x30\x21\nT", N,
       "\x88\x9f\nT\x83\x41\rT\x83\x41\nT" + kGeta + "\nT"},
      {"\xe9\xd7", EightBit::kLatin1, kGeta + "\x81\x7e"},

      // What cannot be converted becomes one geta mark, so that the output is Shift_JIS throughout:
      // no stray 8-bit byte to pair with its neighbour (an EUC-JP byte before "@"), no ESC, SO or
      // SI. Cut, unknown and stray escapes, half a pair, a 7-bit byte that is no kana. The bytes
      // around stay.
      {"\xa4\xf3 \x8e\x40\n", E, "\x82\xf1 " + kGeta + "@\n", 1},
      {"\xa4\x41\x8e\xe0\x8f\xa1", E, kGeta + "A" + kGeta + kGeta + kGeta + kGeta, 5},
      {"\x80\xa0\xfd", S, kGeta + kGeta + kGeta, 3},
      {"\x88\x9f\xed\x40\xfa\x40\xfc\x4b\x81 a\x81\x40\x82", S,
       "\x88\x9f\xed\x40\xfa\x40\xfc\x4b" + kGeta + " a\x81\x40" + kGeta, 2},
      {"\x1b(I\x31\x60\x1b(Ba\xa4z\x1b$Zx\xa4", N,
       "\x83\x41" + kGeta + "a" + kGeta + "z" + kGeta + "x" + kGeta, 4},
      {"\x1b$(D\x30\x21\x1b(Bz\x1b$B\x30\x21\x1b$", N, kGeta + "z\x88\x9f" + kGeta, 1},
      {Jis("\x30\x21\x30") + "\x1b$(", N, "\x88\x9f" + kGeta + kGeta, 2},
      {"\x1b$(Qab\x1b(Bc\x1bHello\x1b b\x1b(\r\n", N,
       kGeta + "abc" + kGeta + "Hello" + kGeta + " b" + kGeta + "\r\n", 4},

      // Either encoding in any case, padding left out, a language tag, empty text.
      {"=?shift_jis?q?a_b=82=a0=3D?= " + kWordA + " tail", N, "a b\x82\xa0=" + kSjisA + " tail"},
      {"=?Euc-Jp?b?pKI?==?us-ascii*en?Q?\?= =?iso-8859-1?B?6Q==?=", N, kSjisA + kGeta},
      // The gap between decoded words vanishes, also across folds and charsets; others stay.
      {"S: x " + kWordA + " y (" + kWordA + kWordA + ")\r\n", N,
       "S: x " + kSjisA + " y (" + kSjisA + kSjisA + ")\r\n"},
      {"S: " + kWordA + " \t" + kWordA + "\r\n \t" + kWordA + "\n\t" + kWordA, N,
       "S: " + kSjisA + kSjisA + kSjisA + kSjisA},
      {"S: " + kWordA + "\r\nT: " + kWordA, N, "S: " + kSjisA + "\r\nT: " + kSjisA},
      {kWordA + " =?us-ascii?q?_b_?= =?EUC-JP?B?pKI=?=", N, kSjisA + " b " + kSjisA},
      // A character split between words of one charset is joined, a kana and its mark too.
      {"S: =?ISO-2022-JP?B?GyRCJA==?=\r\n =?iso-2022-jp?b?IhsoQg==?=", N, "S: " + kSjisA},
      {"S: =?EUC-JP?Q?=A4?= =?EUC-JP?Q?=A2?=", N, "S: " + kSjisA},
      {"S: =?SHIFT_JIS?Q?=B6?= =?SHIFT_JIS?Q?=DE_?=", N, "S: \x83\x4b "},
      {"S: =?ISO-2022-JP?B?GyhJShsoQg==?= =?ISO-2022-JP?B?GyhJXxsoQg==?=", N, "S: \x83\x70"},
      // Plain header text is in the message's code; "=?" that starts no word is text.
      {"S: \xa4\xa2 " + kWordA + " =?\xa4\xa2", E, "S: " + kSjisA + " " + kSjisA + " =?" + kSjisA},
      {"S: \xb1 " + kWordA, S, "S: \x83\x41 " + kSjisA},

      // Whole messages.
      {ascii, "Xsm", ascii},
      {"", "sm", ""},
      {mail, "sm", "Subject: " + kSjisA + "\r\n\r\n" + kWordA + "\r\n"},
      {mail, "Xs", mail},
      // The header ends at the first line that begins with CR or LF, or with the text; a lone CR
      // ends no line.
      {"S: a\n\rS: " + kWordA, "sm", "S: a\n\rS: " + kWordA},
      {"S: a\rT: " + kWordA, "sm", "S: a\rT: " + kSjisA},
      {"S: =?Shift_JIS?Q?=82=A0_=B6=DE?= =?euc-jp?q?=A4=A2?=\n\n", "Xsm",
       "S: \x82\xa0 \x83\x4b\x82\xa0\n\n"},
      // The option decides ambiguous text, unless one byte anywhere decides the whole message.
      {ambiguous, "Xsm", "S: x\n\n\x83\x41\x83\x43\n"},
      {ambiguous, "sm", "S: x\n\n\x89\x51\n"},
      {ambiguous + "\x82\xa0\x9f\xfc", "sm", "S: x\n\n\x83\x41\x83\x43\n\x82\xa0\x9f\xfc"},
      {ambiguous + "\xf0\xfe", "Xsm", "S: x\n\n\x89\x51\n\xe8\xfc"},
      // Where we differ from nkf on purpose: JIS X 0212 becomes geta, NEC-selected IBM Shift_JIS
      // passes, blanks before "=" stay, an unpadded word decodes without a stray NUL. DEL after an
      // EUC-JP pair stands for itself.
      {"a\x8f\xb0\xa1\xa4\xa2\x7f\xa4\xa2", "sm", "a" + kGeta + kSjisA + "\x7f" + kSjisA},
      {"\xed\x40\xee\xfc\xfa\x40", "Xsm", "\xed\x40\xee\xfc\xfa\x40"},
      {"S: a =b  =?ISO-2022-JP?B?GyRCJCIbKEI?= =?x\n\n", "sm", "S: a =b  " + kSjisA + " =?x\n\n"},
      // Bytes at the edges of the ranges (and 0x9F, the last Shift_JIS lead before the kana,
      // above):
      // kana found in 32-byte steps, hex digits, "!" alone ending a kanji run.
      {a16 + "\xb1" + a16, "sm", a16 + "\x83\x41" + a16},
      {"S: =?us-ascii?q?a=09b=3A=3a?= =?iso-8859-1?q?=A2=A3=A7=A8=AC=B0=B1=B4=B6=D7=F7?=\n\n"
       "\x1b$B\x30\x21!\x1b(B",
       "sm",
       "S: a\tb::\x81\x91\x81\x92\x81\x98\x81\x4e\x81\xca\x81\x8b\x81\x7d\x81\x4c\x81\xf7\x81\x7e"
       "\x81\x80\n\n\x88\x9f" +
           kGeta},
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
      // Each section is read apart: the header, and each part of the body in the code its
      // Content-Type names where its text is valid in it (under either option); a header in the
      // code of the text it heads where valid; otherwise the code its own bytes show. Text that
      // nothing decides takes the code the body showed; a header shows the body nothing.
      {"Content-type: text/plain;\r\n\tcharset=\"x-euc-JP\"\r\n\r\n\xb5\xb6", "Xsm",
       "Content-type: text/plain;\r\n\tcharset=\"x-euc-JP\"\r\n\r\n\x8b\x55"},
      {"Subject: \xb5\xb6\r\nContent-Type: text/plain; charset=csEUCPkdFmtJapanese\r\n\r\n\xa4\xa2",
       "Xsm",
       "Subject: \x8b\x55\r\nContent-Type: text/plain; charset=csEUCPkdFmtJapanese\r\n\r\n" +
           kSjisA},
      {"Content-Type: text/plain; charset=euc-jp\r\nSubject: \x83\x41\r\n\r\n\xa4\xa2", "Xsm",
       "Content-Type: text/plain; charset=euc-jp\r\nSubject: \x83\x41\r\n\r\n" + kSjisA},
      {"Content-Type: text/plain; charset=sjis\r\n\r\n\xa4\xa2\xf0\xfe", "Xsm",
       "Content-Type: text/plain; charset=sjis\r\n\r\n\x82\xa0\xe8\xfc"},
      {"Subject: \x83\x41\r\n\r\n\xa4\xa2\xa4\xa4", "sm",
       "Subject: \x83\x41\r\n\r\n\x82\xa0\x82\xa2"},
      {"Subject: \xa4\xa2\r\n\r\n\xa4\xa2\xfe\xa1", "Xsm",
       "Subject: \x82\xa0\r\n\r\n\x82\xa0" + kGeta},
      {"Content-Type: Multipart/Mixed; boundary=\"=b\"\r\n\r\n\xb1\xb2\r\n--=b\r\n"
       "Content-Type: text/plain; charset=EUC-JP\r\n\r\n\xb5\xb6\r\n--=b\r\n"
       "Content-Type: text/plain; charset=Shift_JIS\r\n\r\n\xb1\xb2\r\n--=b--\r\n\xb1\xb2",
       "sm",
       "Content-Type: Multipart/Mixed; boundary=\"=b\"\r\n\r\n\x89\x51\r\n--=b\r\n"
       "Content-Type: text/plain; charset=EUC-JP\r\n\r\n\x8b\x55\r\n--=b\r\n"
       "Content-Type: text/plain; charset=Shift_JIS\r\n\r\n\x83\x41\x83\x43\r\n--=b--\r\n\x89\x51"},
      // A line end returns to ASCII in the header too.
      {"Subject: \x1b$B$\"\r\nTo: a\r\n\r\nb", "sm", "Subject: " + kSjisA + "\r\nTo: a\r\n\r\nb"},
      // Other names of the codes; Shift_JIS or EUC-JP bytes in a word labelled ISO-2022-JP.
      {"S: =?x-sjis?Q?=82=A0?= =?MS_Kanji?Q?=82=A0?= =?CP932?B?gqA=?= =?euc_jp?Q?=A4=A2?=", N,
       "S: " + kSjisA + kSjisA + kSjisA + kSjisA},
      {"S: =?csISO2022JP?B?gqA=?= =?Shift-JIS?Q?=82=A0?= =?ISO-2022-JP?Q?=A4=A2?=", N,
       "S: " + kSjisA + kSjisA + kSjisA},
      // x keeps half-width katakana as they are, in every code and in words.
      {"\xb1\xde \x1b(I\x31\x5e\x1b(B \x0e\x31\x0f", "Xsmx", "\xb1\xde \xb1\xde \xb1"},
      {"S: =?EUC-JP?Q?=8E=B1=8E=DE?=\n\n\x8e\xb1\x8e\xde\xa4\xa2", "smx",
       "S: \xb1\xde\n\n\xb1\xde\x82\xa0"},
      // The bound holds the worst case: every byte a kana that widens.
      {kana, "Xsm", wide},
      {words + "\n\n" + kana, "Xsm", wide.substr(0, 120) + "\n\n" + wide},
  };

  // Words that are malformed, of a charset we do not convert, or decode to invalid text stay as
  // they were, and only they. So does a word that decodes to a control but TAB, in every charset:
  // a CR or LF would forge header lines, a NUL cut the message. A TAB is text.
  std::vector<std::string> bad = {"=?UTF-8?B?YQ==?=", "=??B?YQ==?=", "=?EUC-JP?Q?=A4?=",
                                  "=?US-ASCII?Q?=E9?=", "=?US-ASCII?Q?hi=0D=0A.=0D=0AFrom:_x?="};
  for (const char* jis :
       {"?X?YQ==?=", "?B?Y?=", "?B?YQ=?=", "?B?YQ==YQ==?=", "?B?Y!Q=?=", "?Q?a=4?=", "?Q?a=G0?=",
        "?Q?a b?=", "?B?YQ==?", "?B?YQ==\n?=", "?BQ?YQ==?=", "",
        "?Q?a\x7f?=", "?Q?=A4=FF?=", "?Q?=1B$Zx?=", "?B?", "?B?AAAA?="}) {
    bad.push_back("=?ISO-2022-JP"s + jis);
  }
  for (auto [charset, before, after, sjis] :
       {std::tuple{"ISO-2022-JP", "\x1b$B$\""s, "$\"\x1b(B"s, kSjisA + "\t" + kSjisA},
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

  // Long runs are converted several pairs at a time: a run cut short by each kind of stop, at each
  // place in the group of pairs it falls in, converts as its pairs and the rest do alone.
  const std::string run = "\x30\x21\x7e\x7e\x21\x21\x5f\x21\x79\x21\x24\x22\x2d\x21\x5e\x7e";
  auto alone = [](const std::string& text) { return Convert({text, N, ""}, 2 * text.size()); };
  for (const std::string& stop : {"\x7f"s, " "s, "\x00"s, "\x80"s, "\x1b(B"s}) {
    for (size_t pairs = 0; pairs <= 5; ++pairs) {
      auto [rest, invalid, full] = alone(Jis(run.substr(2 * pairs, 1) + stop + run));
      for (size_t i = pairs; i-- > 0;) rest = std::get<0>(alone(Jis(run.substr(2 * i, 2)))) + rest;
      rows.push_back({Jis(run.substr(0, 2 * pairs + 1) + stop + run), N, rest, invalid});
    }
  }

  // A buffer of the result's size holds all of it and is not full; a shorter one holds exactly
  // the characters that fit before the first one that does not.
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input.substr(0, 80));
    EXPECT_EQ(Convert(row, row.output.size()), std::tuple(row.output, row.invalid, false));
    EXPECT_GE(NkfOutputBound(row.input.size()), row.output.size());
    for (size_t capacity = 0, fits = 0; capacity < row.output.size(); ++capacity) {
      uint8_t next = static_cast<uint8_t>(row.output[fits]);
      if (capacity == fits + (next >= 0x80 && !IsHalfKana(next) ? 2 : 1)) fits = capacity;
      ASSERT_EQ(std::get<0>(Convert(row, capacity)), row.output.substr(0, fits)) << capacity;
    }
  }
}

}  // namespace
}  // namespace ferrolt::kanji
