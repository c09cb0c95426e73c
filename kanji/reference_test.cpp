// Holds the converter against references we did not write: Debian's nkf on generated mail, and
// iconv on Japanese prose from Debian's manual pages (manpages-ja). Generated text is random
// characters; real text is not, and that is what fools a detection.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <iconv.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kanji/nkf.h"
#include "tests/support/mail_generator.h"

namespace kanji {
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

// Counts a mail that does not convert to `want`, and shows the first few.
void Check(const std::string& mail, const char* options, const std::string& want,
           const std::string& what, size_t& misreads) {
  SetNkfOption(options);
  std::string ours(NkfOutputBound(mail.size()), '\0');
  ours.resize(NkfConvert(ours.data(), ours.size(), mail.data(), mail.size()));
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
      bool lookalike = code.fooled_under[0] != '\0' && ReadsBothWaysAsKana(body);
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

}  // namespace
}  // namespace kanji
#endif
