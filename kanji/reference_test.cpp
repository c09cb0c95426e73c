// Holds the converter against references we did not write: Debian's nkf on generated mail, and
// the C library's iconv on Japanese prose from Debian's manual pages (manpages-ja). Generated
// text is random characters; real text is not, and that is what fools a detection.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "kanji/nkf.h"
#include "tests/support/mail_generator.h"

namespace kanji {
namespace {

std::string Convert(const std::string& input, const char* options) {
  SetNkfOption(options);
  std::vector<char> output(NkfOutputBound(input.size()));
  return std::string(output.data(),
                     NkfConvert(output.data(), output.size(), input.data(), input.size()));
}

constexpr auto kEightBit = [](char c) { return (c & 0x80) != 0; };

std::string ReadCommandOutput(const std::string& command) {
  std::string text;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return text;
  char chunk[1 << 16];
  for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) != 0;) text.append(chunk, got);
  pclose(pipe);
  return text;
}

struct Case {
  std::string mail;
  const char* options;  // ours, which must give what nkf gives
  uint32_t seed;
};

// Runs `nkf <flags>` once over all cases, separated by marker lines, which keeps thousands of
// them fast, and returns its output for each.
std::vector<std::string> RunNkf(const char* flags, const std::vector<Case>& cases) {
  const std::string kMarker = "\n#ferrolt-case-boundary#\n";
  std::filesystem::path in = std::filesystem::temp_directory_path() /
                             ("ferrolt-kanji-" + std::to_string(std::random_device{}()));
  std::ofstream file(in, std::ios::binary);
  for (const Case& c : cases) file << c.mail << kMarker;
  file.close();
  std::string converted = ReadCommandOutput("nkf " + std::string(flags) + " < " + in.string());
  std::filesystem::remove(in);
  std::vector<std::string> outputs;
  for (size_t begin = 0, end; (end = converted.find(kMarker, begin)) != std::string::npos;
       begin = end + kMarker.size()) {
    outputs.push_back(converted.substr(begin, end - begin));
  }
  return outputs;
}

TEST(NkfDifferentialTest, GeneratedMailConvertsLikeNkfWithTheCodeGiven) {
  if (std::system("nkf --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "nkf is not installed";
  constexpr int kCases = 4000;
  // One nkf run per input code, in MailCode order.
  const char* const kFlags[] = {"-J -s -m", "-E -s -m", "-S -s -m"};
  constexpr InputCode kDetected[] = {InputCode::kIso2022Jp, InputCode::kEucJp,
                                     InputCode::kShiftJis};
  std::vector<Case> runs[3];
  int ambiguous = 0;
  for (int i = 0; i < kCases; ++i) {
    uint32_t seed = 20020603 + static_cast<uint32_t>(i);
    MailCode code = static_cast<MailCode>(i % 3);
    MailShape shape;
    // Every tenth EUC-JP mail reads as Shift_JIS half-width kana too: the preference decides.
    shape.kana_lookalike_kanji = code == MailCode::kEucJp && i / 3 % 10 == 0;
    std::string mail = GenerateMail(seed, code, shape);
    InputCode if_sjis = DetectInputCode(mail.data(), mail.size(), true);
    if (if_sjis == DetectInputCode(mail.data(), mail.size(), false)) {
      ASSERT_EQ(if_sjis, kDetected[i % 3]) << "seed " << seed;
      runs[i % 3].push_back({mail, "Xsm", seed});
      runs[i % 3].push_back({mail, "sm", seed});
      continue;
    }
    // Ambiguous mail: with the code forced, nkf reads every encoded word in it, whatever charset
    // the word names, while we follow the charset; so only under the option that picks the
    // mail's own code. Read the other way it is half-width kana, as the Shift_JIS mails have.
    ++ambiguous;
    runs[i % 3].push_back({mail, code == MailCode::kEucJp ? "sm" : "Xsm", seed});
  }
  EXPECT_GT(ambiguous, kCases / 100) << "the generator should also make ambiguous mail";
  for (int run = 0; run < 3; ++run) {
    std::vector<std::string> expected = RunNkf(kFlags[run], runs[run]);
    ASSERT_EQ(expected.size(), runs[run].size()) << "nkf " << kFlags[run];
    for (size_t i = 0, failures = 0; i < expected.size() && failures < 5; ++i) {
      const Case& c = runs[run][i];
      std::string ours = Convert(c.mail, c.options);
      failures += ours != expected[i];
      EXPECT_EQ(ours, expected[i])
          << "seed " << c.seed << ", " << c.options << " vs nkf " << kFlags[run];
    }
  }
}

// One iconv conversion, opened once.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  ~Iconv() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }

  // `text` converted; false when iconv cannot convert all of it.
  bool operator()(const std::string& text, std::string& out) {
    std::string in = text;
    out.assign(4 * text.size() + 16, '\0');
    char *in_at = in.data(), *out_at = out.data();
    size_t in_left = in.size(), out_left = out.size();
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    bool ok = iconv(cd_, &in_at, &in_left, &out_at, &out_left) != static_cast<size_t>(-1) &&
              iconv(cd_, nullptr, nullptr, &out_at, &out_left) != static_cast<size_t>(-1);
    out.resize(out.size() - out_left);
    return ok;
  }

 private:
  iconv_t cd_;
};

// Valid EUC-JP that reads as Shift_JIS half-width kana alone, written apart from the converter's
// own detection: 8-bit bytes only in 0xA1..0xDF and in runs of pairs. The option decides it.
bool ReadsBothWaysAsKana(const std::string& text) {
  size_t run = 0;
  for (char c : text + ' ') {
    uint8_t byte = static_cast<uint8_t>(c);
    if ((byte < 0x80 && run % 2 != 0) || (byte >= 0x80 && (byte < 0xA1 || byte > 0xDF))) {
      return false;
    }
    run = byte >= 0x80 ? run + 1 : 0;
  }
  return std::any_of(text.begin(), text.end(), kEightBit);
}

// The text with every character that has a half-width form in that form, as mail from PCs wrote
// them: half-width kana U+FF61..U+FF9D stand for these, in this order; voiced katakana become two.
std::string HalfWidth(std::string text) {
  const std::string kFull =
      "。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘ"
      "ホマミムメモヤユヨラリルレロワン";
  auto utf8 = [](char32_t c) {
    return std::string{static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 63)),
                       static_cast<char>(0x80 | (c & 63))};
  };
  auto replace = [&](const std::string& full, const std::string& half) {
    for (size_t at; (at = text.find(full)) != std::string::npos;) text.replace(at, 3, half);
  };
  replace("ヴ", "ｳﾞ");
  for (char32_t i = 0; i < kFull.size() / 3; ++i) {
    char32_t c = 0x3000 | (kFull[3 * i + 1] & 63) << 6 | (kFull[3 * i + 2] & 63);  // all U+30xx
    std::string half = utf8(0xFF61 + i);
    replace(utf8(c), half);
    if ((c >= U'カ' && c <= U'ト' && c != U'ッ') || (c >= U'ハ' && c <= U'ホ')) {
      replace(utf8(c + 1), half + "ﾞ");
    }
    if (c >= U'ハ' && c <= U'ホ') replace(utf8(c + 2), half + "ﾟ");
  }
  return text;
}

std::string Mail(const std::string& subject, const std::string& body) {
  return "From: Sender <sender@example.jp>\r\nSubject: " + subject +
         "\r\nDate: Mon, 3 Jun 2002 10:00:00 +0900\r\n\r\n" + body + "\r\n";
}

TEST(RealTextTest, ManualPagesConvertAsIconvReadsThem) {
  // Lines of running text with Japanese in them, from pages all over the collection in a fixed
  // order. Requests go (mostly headings, a few of them mojibake); escapes stay, they are ASCII
  // like the rest of a mail.
  std::string pages = ReadCommandOutput(
      "find /usr/share/man/ja -type f -name '*.gz' | LC_ALL=C sort | xargs -r gzip -dc "
      "2>/dev/null");
  std::vector<std::string> lines;
  for (size_t begin = 0, end; begin < pages.size(); begin = end + 1) {
    end = std::min(pages.find('\n', begin), pages.size());
    std::string line = pages.substr(begin, end - begin);
    if (line[0] != '.' && std::any_of(line.begin(), line.end(), kEightBit)) lines.push_back(line);
  }
  ASSERT_GE(lines.size(), 20000u)
      << "Debian's Japanese manual pages are missing: tools/install-deps installs manpages-ja";
  // iconv's codes for full-width and for half-width text, and the charset of an encoded word.
  Iconv cp932("CP932", "UTF-8"), from_cp932("UTF-8", "CP932"), jis("ISO-2022-JP", "UTF-8"),
      jis_half("ISO-2022-JP-3", "UTF-8"), sjis("CP932", "UTF-8"), euc("EUC-JP", "UTF-8");
  struct Code {
    Iconv &full, &half;
    const char* charset;
  } codes[] = {{jis, jis_half, "ISO-2022-JP"}, {sjis, sjis, "SHIFT_JIS"}, {euc, euc, "EUC-JP"}};
  size_t texts = 0, euc_texts = 0, valid_in_both = 0, lookalikes = 0, misreads = 0;
  // Encodes one text, in full width or with its kana in half width, in every code iconv can put
  // it in, and converts each as a message with a plain and with an encoded-word Subject (its
  // first line), under both options: the result must be iconv's CP932 of the
  // full-width text. A kana look-alike is misread by design under the option that takes it for
  // the other code; under the other it must come out right like any text.
  auto check = [&](const std::string& full_width, bool half_width) {
    std::string full_subject = full_width.substr(0, full_width.find('\r'));
    std::string text = half_width ? HalfWidth(full_width) : full_width;
    std::string subject_text = half_width ? HalfWidth(full_subject) : full_subject;
    std::string reference, reference_subject, body, subject, utf8;
    if (!cp932(full_width, reference) || !cp932(full_subject, reference_subject)) {
      return;
    }
    ++texts;
    for (int i = 0; i < 3; ++i) {
      Iconv& encode = half_width ? codes[i].half : codes[i].full;
      if (!encode(text, body) || !encode(subject_text, subject)) {
        continue;
      }
      // Characters beyond Shift_JIS (JIS X 0212 in EUC-JP, JIS X 0213 planes) become geta by
      // design: iconv picks them for a few symbols that CP932 has elsewhere.
      if (body.find(i == 2 ? "\x8f" : "\x1b$(") != std::string::npos) continue;
      euc_texts += i == 2;
      // The point of real text: much EUC-JP prose is valid Shift_JIS too.
      valid_in_both += i == 2 && from_cp932(body, utf8);
      bool lookalike = ReadsBothWaysAsKana(body);
      lookalikes += lookalike;
      std::string word = "=?" + std::string(codes[i].charset) + "?B?" + Base64(subject) + "?=";
      for (auto [mail, want] :
           {std::pair{Mail("manual text", body), Mail("manual text", reference)},
            {Mail(word, body), Mail(reference_subject, reference)}}) {
        for (const char* options : {"Xsm", "sm"}) {
          std::string ours = Convert(mail, options);
          if (ours == want || (lookalike && (options[0] == 'X') == (i == 2))) continue;
          if (++misreads > 5) continue;
          EXPECT_EQ(ours, want) << codes[i].charset << ", " << options << ": " << text;
        }
      }
    }
  };
  // Evenly spread picks: lines, and runs of 3 and 10 lines joined with CR LF as in mail. Every
  // third text with katakana goes in a copy with half-width kana too.
  size_t katakana_texts = 0;
  for (auto [length, count] : {std::pair{1u, 4000u}, {3u, 600u}, {10u, 200u}}) {
    for (size_t i = 0; i + length <= lines.size(); i += lines.size() / count) {
      std::string text = lines[i];
      for (size_t j = 1; j < length; ++j) text += "\r\n" + lines[i + j];
      check(text, false);
      if (HalfWidth(text) != text && ++katakana_texts % 3 == 0) check(text, true);
    }
  }
  EXPECT_EQ(misreads, 0u);
  EXPECT_GE(texts, 5000u);
  EXPECT_GE(valid_in_both, euc_texts / 10);
  EXPECT_GT(lookalikes, 0u);
}

}  // namespace
}  // namespace kanji
#endif
