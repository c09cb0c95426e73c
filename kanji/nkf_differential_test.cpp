// Holds the converter against Debian's nkf on generated mail. The cases of one input code go
// to one nkf process, separated by marker lines, which keeps thousands of cases fast.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "kanji/nkf.h"
#include "tests/support/mail_generator.h"

namespace kanji {
namespace {

constexpr int kCases = 4000;
constexpr uint32_t kBaseSeed = 20020603;
const std::string kMarker = "\n#ferrolt-case-boundary#\n";

std::string Convert(const std::string& input, const char* options) {
  SetNkfOption(options);
  std::vector<char> output(NkfOutputBound(input.size()));
  return std::string(output.data(),
                     NkfConvert(output.data(), output.size(), input.data(), input.size()));
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Runs `nkf <flags>` once over all `inputs` and returns its output for each.
std::vector<std::string> RunNkf(const char* flags, const std::vector<std::string>& inputs) {
  std::filesystem::path dir = std::filesystem::temp_directory_path();
  std::string stem = "ferrolt-kanji-" + std::to_string(std::random_device{}());
  std::filesystem::path in = dir / (stem + ".in"), out = dir / (stem + ".out");
  std::string batch;
  for (const std::string& input : inputs) batch += input + kMarker;
  std::ofstream(in, std::ios::binary) << batch;
  std::string command = std::string("nkf ") + flags + " < " + in.string() + " > " + out.string();
  int status = std::system(command.c_str());
  std::string converted = ReadFile(out);
  std::filesystem::remove(in);
  std::filesystem::remove(out);
  std::vector<std::string> outputs;
  if (status != 0) return outputs;
  for (size_t begin = 0, end; (end = converted.find(kMarker, begin)) != std::string::npos;
       begin = end + kMarker.size()) {
    outputs.push_back(converted.substr(begin, end - begin));
  }
  return outputs;
}

std::string Hex(const std::string& text, size_t from) {
  std::string hex;
  char digits[4];
  for (size_t i = from; i < text.size() && i < from + 48; ++i) {
    std::snprintf(digits, sizeof digits, "%02x ", static_cast<uint8_t>(text[i]));
    hex += digits;
  }
  return hex;
}

std::string HexDiff(const std::string& ours, const std::string& nkf) {
  size_t at = 0;
  while (at < ours.size() && at < nkf.size() && ours[at] == nkf[at]) ++at;
  size_t from = at < 16 ? 0 : at - 16;
  return "first difference at byte " + std::to_string(at) + " (showing from " +
         std::to_string(from) + ")\n  ours: " + Hex(ours, from) + "\n  nkf:  " + Hex(nkf, from);
}

struct Case {
  uint32_t seed;
  MailCode code;
  std::string mail;
  std::string mail_without_words;  // ambiguous mail only
};

// One nkf run: the flags and, per input, which case it is and which of our option strings
// must match nkf.
struct Comparison {
  const char* nkf_flags;
  std::vector<const Case*> cases = {};
  std::vector<const std::string*> inputs = {};
  std::vector<const char*> options = {};

  void Add(const Case& c, const std::string& input, const char* our_options) {
    cases.push_back(&c);
    inputs.push_back(&input);
    options.push_back(our_options);
  }
};

// Whether `mail` read in the other code may hold an NEC-selected IBM extension, which nkf
// rewrites to the IBM form while we keep it: a Shift_JIS lead 0xED or 0xEE, or an EUC-JP lead of
// rows 89-92. A crude byte test, which merely skips a few more comparisons than needed.
bool MayHoldNecSelectedIbm(const std::string& mail, bool read_as_sjis) {
  for (char c : mail) {
    uint8_t byte = static_cast<uint8_t>(c);
    if (read_as_sjis ? (byte == 0xED || byte == 0xEE) : (byte >= 0xF9 && byte <= 0xFC)) {
      return true;
    }
  }
  return false;
}

bool NkfMissing() {
#ifdef _WIN32
  return true;
#else
  return std::system("nkf --version > /dev/null 2>&1") != 0;
#endif
}

TEST(NkfDifferentialTest, GeneratedMailConvertsLikeNkfWithTheCodeGiven) {
  if (NkfMissing()) GTEST_SKIP() << "nkf is not installed (or this is a Windows build)";
  std::vector<Case> cases;
  for (int i = 0; i < kCases; ++i) {
    uint32_t seed = kBaseSeed + static_cast<uint32_t>(i);
    MailCode code = static_cast<MailCode>(i % 3);
    MailShape shape;
    // Every tenth EUC-JP mail reads as Shift_JIS half-width kana too: the preference decides.
    shape.kana_lookalike_kanji = code == MailCode::kEucJp && i / 3 % 10 == 0;
    MailShape without_words = shape;
    without_words.encoded_words = false;
    cases.push_back(
        {seed, code, GenerateMail(seed, code, shape), GenerateMail(seed, code, without_words)});
  }
  Comparison jis{"-J -s -m"}, euc{"-E -s -m"}, sjis{"-S -s -m"};
  int ambiguous = 0;
  for (const Case& c : cases) {
    InputCode if_sjis = DetectInputCode(c.mail.data(), c.mail.size(), true);
    InputCode if_euc = DetectInputCode(c.mail.data(), c.mail.size(), false);
    if (if_sjis != if_euc) {
      // With the code forced, nkf reads every encoded word in it, whatever charset the word
      // names, while we follow the charset: hold the whole mail against nkf in its own code,
      // and the mail without its (7-bit) words against nkf in the other code too.
      ++ambiguous;
      bool euc_mail = c.code == MailCode::kEucJp;
      (euc_mail ? euc : sjis).Add(c, c.mail, euc_mail ? "sm" : "Xsm");
      if (!MayHoldNecSelectedIbm(c.mail, true)) sjis.Add(c, c.mail_without_words, "Xsm");
      if (!MayHoldNecSelectedIbm(c.mail, false)) euc.Add(c, c.mail_without_words, "sm");
      continue;
    }
    static constexpr InputCode kExpected[] = {InputCode::kIso2022Jp, InputCode::kEucJp,
                                              InputCode::kShiftJis};
    ASSERT_EQ(if_sjis, kExpected[static_cast<int>(c.code)]) << "seed " << c.seed;
    Comparison& comparison = c.code == MailCode::kIso2022Jp ? jis
                             : c.code == MailCode::kEucJp   ? euc
                                                            : sjis;
    for (const char* options : {"Xsm", "sm"}) comparison.Add(c, c.mail, options);
  }
  EXPECT_GT(ambiguous, kCases / 100) << "the generator should also make ambiguous mail";
  for (const Comparison* comparison : {&jis, &euc, &sjis}) {
    std::vector<std::string> inputs;
    for (const std::string* input : comparison->inputs) inputs.push_back(*input);
    std::vector<std::string> expected = RunNkf(comparison->nkf_flags, inputs);
    ASSERT_EQ(expected.size(), inputs.size()) << "nkf " << comparison->nkf_flags;
    int failures = 0;
    for (size_t i = 0; i < inputs.size() && failures < 5; ++i) {
      std::string ours = Convert(inputs[i], comparison->options[i]);
      if (ours == expected[i]) continue;
      ++failures;
      ADD_FAILURE() << "seed " << comparison->cases[i]->seed << ", options "
                    << comparison->options[i] << " vs nkf " << comparison->nkf_flags << ": "
                    << HexDiff(ours, expected[i]);
    }
  }
}

}  // namespace
}  // namespace kanji
