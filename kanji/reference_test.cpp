// Holds the converter against references we did not write: Debian's nkf on generated mail, and
// iconv on Japanese prose from Debian's manual pages (manpages-ja). Generated text is random
// characters; real text is not, and that is what fools a detection.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <iconv.h>
#include <string.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kanji/nkf.h"
#include "tests/support/mail_generator.h"

namespace ferrolt::kanji {
namespace {

using namespace std::string_literals;

// What the shell `command` writes, given each input followed by `separator`, cut at every
// separator: one run over thousands of inputs keeps them fast.
std::vector<std::string> Shell(const std::string& command, const std::vector<std::string>& inputs,
                               char separator = '\0') {
  const std::string in = testing::TempDir() + "ferrolt-kanji-" + std::to_string(getpid());
  for (std::ofstream file(in, std::ios::binary); const std::string& input : inputs) {
    file << input << separator;  // closed after the loop, before the command reads it
  }
  EXPECT_EQ(std::system(("(" + command + ") < " + in + " > " + in + ".out").c_str()), 0) << command;
  std::ifstream out(in + ".out", std::ios::binary);
  std::vector<std::string> pieces;
  for (std::string piece; std::getline(out, piece, separator);) pieces.push_back(piece);
  std::filesystem::remove(in);
  std::filesystem::remove(in + ".out");
  return pieces;
}

// `text` converted by iconv, or "" when iconv cannot convert all of it. Each pair of codes is
// opened once, and closed at exit.
std::string Iconv(const char* to, const char* from, std::string text) {
  static std::map<std::string, std::unique_ptr<void, decltype(&iconv_close)>> opened;
  auto [it, added] = opened.try_emplace(to + "<"s + from, nullptr, iconv_close);
  if (added) it->second.reset(iconv_open(to, from));
  iconv_t cd = it->second.get();
  std::string out(4 * text.size() + 16, '\0');
  char *in_at = text.data(), *out_at = out.data();
  size_t in_left = text.size(), out_left = out.size();
  bool ok = iconv(cd, nullptr, nullptr, nullptr, nullptr) != static_cast<size_t>(-1) &&
            iconv(cd, &in_at, &in_left, &out_at, &out_left) != static_cast<size_t>(-1) &&
            iconv(cd, nullptr, nullptr, &out_at, &out_left) != static_cast<size_t>(-1);
  out.resize(ok ? out.size() - out_left : 0);
  return out;
}

// `sjis` with every pair that code page 932 leaves unassigned (as iconv's CP932 reads it) as the
// geta mark: nkf passes such pairs, the converter writes only what Windows can show.
std::string OnlyCp932Pairs(std::string sjis) {
  static std::map<std::string, bool> assigned;
  for (size_t at = 0; at + 1 < sjis.size(); ++at) {
    uint8_t lead = static_cast<uint8_t>(sjis[at]);
    if (lead < 0x81 || (lead >= 0xA0 && lead <= 0xDF)) continue;
    auto [it, added] = assigned.try_emplace(sjis.substr(at, 2), false);
    if (added) it->second = !Iconv("UTF-16LE", "CP932", it->first).empty();
    if (!it->second) sjis.replace(at, 2, "\x81\xac");
    ++at;
  }
  return sjis;
}

std::string Converted(const std::string& mail, const char* options) {
  SetNkfOption(options);
  std::string ours(NkfOutputBound(mail.size()), '\0');
  ours.resize(NkfConvert(ours.data(), ours.size(), mail.data(), mail.size()));
  return ours;
}

// Counts a mail that does not convert to `want`, and shows the first few.
void Check(const std::string& mail, const char* options, const std::string& want,
           const std::string& what, size_t& misreads) {
  std::string ours = Converted(mail, options);
  if (ours != want && ++misreads <= 5) {
    EXPECT_EQ(ours, want) << what << ", " << options;
  }
}

TEST(NkfDifferentialTest, GeneratedMailConvertsLikeNkfWithTheCodeGiven) {
  constexpr InputCode kDetected[] = {InputCode::kIso2022Jp, InputCode::kEucJp,
                                     InputCode::kShiftJis};  // in MailCode order
  size_t ambiguous = 0, misreads = 0;
  for (uint32_t code = 0; code < 3; ++code) {
    std::vector<std::string> mails;
    for (uint32_t i = code; i < 4000; i += 3) {
      MailShape shape;
      // Every tenth EUC-JP mail reads as Shift_JIS half-width kana too: the preference decides.
      shape.kana_lookalike_kanji = code == 1 && i / 3 % 10 == 0;
      mails.push_back(GenerateMail(20020603 + i, static_cast<MailCode>(code), shape));
    }
    std::vector<std::string> wants = Shell("nkf -s -m -"s + "JES"[code], mails);
    ASSERT_EQ(wants.size(), mails.size());
    for (std::string& want : wants) want = OnlyCp932Pairs(want);
    for (size_t i = 0; i < mails.size(); ++i) {
      // Ambiguous mail only under the option that reads it in its own code: with the code
      // forced, nkf reads every encoded word in that code, whatever charset the word names.
      const std::string &mail = mails[i], seed = "seed " + std::to_string(20020603 + code + 3 * i);
      bool sjis = DetectInputCode(mail.data(), mail.size(), true) == kDetected[code];
      bool euc = DetectInputCode(mail.data(), mail.size(), false) == kDetected[code];
      ASSERT_TRUE(sjis || euc) << seed;
      ambiguous += sjis != euc;
      if (sjis) Check(mail, "Xsm", wants[i], seed, misreads);
      if (euc) Check(mail, "sm", wants[i], seed, misreads);
    }
  }
  EXPECT_EQ(misreads, 0u);
  EXPECT_GT(ambiguous, 40u) << "the generator should also make ambiguous mail";
}

// Valid EUC-JP that reads as Shift_JIS half-width kana alone, told apart from the converter's own
// detection: 8-bit bytes only in 0xA1..0xDF and in runs of pairs. The option decides it.
bool ReadsBothWaysAsKana(const std::string& text) {
  size_t run = 0;
  for (uint8_t byte : text + ' ') {
    if (byte < 0x80 ? run % 2 != 0 : byte < 0xA1 || byte > 0xDF) return false;
    run = byte < 0x80 ? 0 : run + 1;
  }
  return true;
}

// Text whose bytes both codes read as Windows and iconv write them, with nothing in them to tell
// which: the option decides. Valid EUC-JP that reads as Shift_JIS half-width kana alone, or
// whose characters are all kanji in the rows that read as Shift_JIS kanji too (led by 0xE0..0xEF,
// 0xFA..0xFC; one half-width kana at most) while its Shift_JIS reading is code page 932's.
bool OptionDecides(const std::string& text) {
  if (ReadsBothWaysAsKana(text)) return true;
  if (Iconv("UTF-8", "EUC-JP-MS", text).empty() || Iconv("UTF-8", "CP932", text).empty()) {
    return false;
  }
  int kana = 0;
  for (size_t at = 0; at < text.size(); ++at) {
    uint8_t lead = static_cast<uint8_t>(text[at]);
    if (lead < 0x80) continue;
    bool kanji = (lead >= 0xE0 && lead <= 0xEF) || (lead >= 0xFA && lead <= 0xFC);
    if (!kanji && (lead != 0x8E || ++kana > 1)) return false;
    ++at;
  }
  return true;
}

TEST(RealTextTest, ManualPagesConvertAsIconvReadsThem) {
  // Lines of running text with Japanese in them, from pages all over the collection in a fixed
  // order. Requests go (mostly headings, a few of them mojibake); escapes stay, they are ASCII
  // like the rest of a mail.
  std::vector<std::string> lines = Shell(
      "find /usr/share/man/ja -type f -name '*.gz' | LC_ALL=C sort | xargs -r gzip -dc "
      "2>/dev/null | LC_ALL=C grep -av '^\\.' | LC_ALL=C grep -aP '[\\x80-\\xff]'",
      {}, '\n');
  ASSERT_GE(lines.size(), 20000u)
      << "Debian's Japanese manual pages are missing: tools/install-deps installs manpages-ja";
  // Evenly spread picks: lines, and runs of 3 and 10 lines joined with CR LF as in mail.
  std::vector<std::string> texts;
  for (auto [length, count] : {std::pair{1u, 4000u}, {3u, 600u}, {10u, 200u}}) {
    for (size_t i = 0; i + length <= lines.size(); i += lines.size() / count) {
      texts.push_back(lines[i]);
      for (size_t j = 1; j < length; ++j) texts.back() += "\r\n" + lines[i + j];
    }
  }
  // nkf -Z4 writes katakana in their half-width forms, as mail from PCs did, and full-width
  // letters in ASCII as -Z0 does: a copy with half-width kana must widen to the latter.
  std::vector<std::string> full = Shell("nkf -W -w -Z0", texts),
                           half = Shell("nkf -W -w -Z4", texts);
  ASSERT_EQ(full.size() + half.size(), 2 * texts.size());
  // The codes iconv puts text in, with the option under which text that reads both ways as kana
  // is misread by design. iconv picks JIS X 0212 in EUC-JP, and JIS X 0213 planes, for a few
  // symbols that CP932 has elsewhere: the converter writes such characters as geta by design.
  struct Code {
    const char *iconv, *charset, *beyond_shift_jis, *fooled_under;
  } codes[] = {{"ISO-2022-JP-3", "ISO-2022-JP", "\x1b$(", ""},
               {"CP932", "SHIFT_JIS", nullptr, "sm"},
               {"EUC-JP", "EUC-JP", "\x8f", "Xsm"}};
  size_t checked = 0, valid_in_both = 0, lookalikes = 0, misreads = 0, katakana = 0;
  // A text, in every code iconv can put it in, converts as a message with its first line as an
  // encoded-word Subject, under both options, to iconv's CP932 of it.
  auto check = [&](const std::string& text, const std::string& written) {
    std::string reference = Iconv("CP932", "UTF-8", text);
    if (reference.empty()) return;
    ++checked;
    for (const Code& code : codes) {
      std::string body = Iconv(code.iconv, "UTF-8", written);
      const char* beyond = code.beyond_shift_jis;
      if (body.empty() || (beyond && body.find(beyond) != std::string::npos)) continue;
      bool lookalike = code.fooled_under[0] != '\0' && OptionDecides(body);
      lookalikes += lookalike;
      // The point of real text: much EUC-JP prose is valid Shift_JIS too.
      valid_in_both += code.charset == "EUC-JP"s && !Iconv("UTF-8", "CP932", body).empty();
      std::string subject = Base64(body.substr(0, body.find('\r')));
      std::string mail = "Subject: =?"s + code.charset + "?B?" + subject + "?=\r\n\r\n" + body;
      for (const char* options : {"Xsm", "sm"}) {
        if (lookalike && options == std::string(code.fooled_under)) continue;
        Check(mail, options,
              "Subject: " + reference.substr(0, reference.find('\r')) + "\r\n\r\n" + reference,
              code.charset + ": "s + written, misreads);
      }
    }
  };
  // Every third text with katakana goes in a copy with half-width kana too.
  for (size_t i = 0; i < texts.size(); ++i) {
    check(texts[i], texts[i]);
    if (half[i] != full[i] && ++katakana % 3 == 0) check(full[i], half[i]);
  }
  EXPECT_EQ(misreads, 0u);
  EXPECT_GE(checked, 5000u);
  EXPECT_GE(valid_in_both, checked / 10);
  EXPECT_GT(lookalikes, 0u);
}

// The Japanese translations in a gettext catalogue (.mo), in its order: strings without NUL
// (plural forms have one), the catalogue's own header left out.
std::vector<std::string> Translations(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string mo((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  auto word = [&](size_t at) {
    uint32_t value = 0;
    if (at + 4 <= mo.size()) memcpy(&value, mo.data() + at, 4);  // written little-endian here
    return value;
  };
  std::vector<std::string> texts;
  if (word(0) != 0x950412deu) return texts;
  for (uint32_t i = 1; i < word(8); ++i) {
    uint32_t length = word(word(16) + 8 * i), offset = word(word(16) + 8 * i + 4);
    if (uint64_t{offset} + length > mo.size()) break;
    std::string text = mo.substr(offset, length);
    if (text.find('\0') == std::string::npos) texts.push_back(text);
  }
  return texts;
}

// Headwords and readings of SKK's dictionary (EUC-JP): from every `step`-th entry the reading
// (kana, its okurigana letter cut) and the first word, its note cut; entries of code left out.
std::vector<std::string> DictionaryTexts(const std::string& path, size_t step) {
  std::vector<std::string> lines = Shell("LC_ALL=C grep -av '^;' " + path, {}, '\n'), texts;
  for (size_t i = 0; i < lines.size(); i += step) {
    std::string line = Iconv("UTF-8", "EUC-JP", lines[i]);
    size_t space = line.find(" /"), end = line.find_first_of(";/", space + 2);
    if (space == std::string::npos || end == std::string::npos || line[space + 2] == '(') continue;
    std::string reading = line.substr(0, space);
    while (!reading.empty() && reading.back() >= 'a' && reading.back() <= 'z') reading.pop_back();
    texts.push_back(reading);
    texts.push_back(line.substr(space + 2, end - space - 2));
  }
  return texts;
}

// Names written with the IBM extension kanji (code page 932 rows FA..FC) that no JIS X 0208 row
// holds, alone and with everyday name parts: iconv reads the rows.
std::vector<std::string> IbmKanjiNames() {
  std::vector<std::string> names;
  for (int pair = 0xfa5c; pair <= 0xfc4b; ++pair) {
    std::string kanji =
        Iconv("UTF-8", "CP932", {static_cast<char>(pair >> 8), static_cast<char>(pair)});
    if (kanji.empty()) continue;
    for (const char* name : {"%", "%田", "山%", "%橋 太郎", "佐々木 %子", "%野"}) {
      std::string text = name;
      names.push_back(text.replace(text.find('%'), 1, kanji));
    }
  }
  return names;
}

// Short Japanese from two more Debian packages, skkdic (dictionary headwords and readings, many
// of one to three characters, kana-only ones among them) and iso-codes (translated names of
// countries, regions, languages, scripts and currencies), and names with IBM kanji: each text as
// the body (and, in a word, the Subject) of a mail in ISO-2022-JP, Shift_JIS and EUC-JP as
// Windows and iconv write them, once labelled with its charset and once not, under both options.
// Labelled, it must read right always; unlabelled, only EUC-JP that reads as Shift_JIS
// half-width kana alone may read as kana, and only under the option that prefers them.
TEST(RealTextTest, DictionaryAndCatalogueTextReadsRightLabelledAndUnlabelled) {
  const std::string dictionary = "/usr/share/skk/SKK-JISYO.L";
  const std::string catalogues = "/usr/share/locale/ja/LC_MESSAGES/";
  if (!std::filesystem::exists(dictionary) ||
      !std::filesystem::exists(catalogues + "iso_3166-1.mo")) {
    GTEST_SKIP() << "skkdic or iso-codes is not installed (tools/install-deps installs both)";
  }
  std::vector<std::string> texts = DictionaryTexts(dictionary, 40);
  for (const char* name : {"iso_3166-1", "iso_3166-2", "iso_4217", "iso_639-3", "iso_15924"}) {
    for (const std::string& text : Translations(catalogues + name + ".mo")) texts.push_back(text);
  }
  for (const std::string& name : IbmKanjiNames()) texts.push_back(name);
  struct Code {
    const char *iconv, *labels[3];
  } codes[] = {{"ISO-2022-JP", {"ISO-2022-JP", "csISO2022JP", "iso-2022-jp"}},
               {"CP932", {"Shift_JIS", "x-sjis", "windows-31j"}},
               {"EUC-JP-MS", {"EUC-JP", "x-euc-jp", "csEUCPkdFmtJapanese"}}};
  // Misreads by code, labelled or not, option; and texts checked in each code, short ones.
  size_t misreads[3][2][2] = {}, checked[3] = {}, option_reads[3] = {}, short_texts = 0, ibm = 0;
  for (size_t i = 0; i < texts.size(); ++i) {
    std::string reference = Iconv("CP932", "UTF-8", texts[i]);
    if (reference.empty() || texts[i].find("\xef\xbd") != std::string::npos) continue;
    short_texts += Iconv("UTF-32LE", "UTF-8", texts[i]).size() <= 40;
    ibm += reference.find_first_of("\xfa\xfb\xfc") != std::string::npos;
    std::string want = "Subject: " + reference + "\r\n\r\n" + reference;
    for (size_t c = 0; c < 3; ++c) {
      std::string body = Iconv(codes[c].iconv, "UTF-8", texts[i]);
      if (body.empty()) continue;
      ++checked[c];
      const char* label = codes[c].labels[i % 3];
      std::string subject = "Subject: =?"s + label + "?B?" + Base64(body) + "?=\r\n";
      for (int labelled = 0; labelled < 2; ++labelled) {
        std::string mail =
            (labelled ? "Content-Type: text/plain; charset="s + label + "\r\n" : ""s);
        mail += subject + "\r\n" + body;
        for (int x = 0; x < 2; ++x) {
          const char* options = x ? "Xsm" : "sm";
          std::string expected = mail.substr(0, mail.find("Subject")) + want;
          // Unlabelled text that both codes read is read as the option says: EUC-JP under the
          // default, Shift_JIS under --prefer-euc, may read as the other code.
          if (!labelled && x == (c == 2) && c != 0 && OptionDecides(body)) {
            option_reads[c] += Converted(mail, options) != expected;
          } else {
            Check(mail, options, expected, codes[c].iconv + ": "s + texts[i],
                  misreads[c][labelled][x]);
          }
        }
      }
    }
  }
  // The counts, for the record: texts in each code, how many short, how many with IBM kanji,
  // and how many unlabelled ones the option read as the other code (EUC-JP under the default,
  // most of them as half-width kana; Shift_JIS under --prefer-euc).
  std::printf(
      "checked %zu ISO-2022-JP, %zu Shift_JIS, %zu EUC-JP texts (%zu of one to ten "
      "characters, %zu with IBM kanji); read as the option says: %zu Shift_JIS, %zu "
      "EUC-JP\n",
      checked[0], checked[1], checked[2], short_texts, ibm, option_reads[1], option_reads[2]);
  for (size_t c = 0; c < 3; ++c) {
    for (int labelled = 0; labelled < 2; ++labelled) {
      for (int x = 0; x < 2; ++x) {
        EXPECT_EQ(misreads[c][labelled][x], 0u)
            << codes[c].iconv << (labelled ? " labelled, " : " unlabelled, ") << (x ? "Xsm" : "sm");
      }
    }
  }
  EXPECT_GT(option_reads[2], 0u) << "short EUC-JP that reads as half-width kana too";
  EXPECT_GE(checked[1], 5000u);
  EXPECT_GE(ibm, 1000u);
}

}  // namespace
}  // namespace ferrolt::kanji
#endif
