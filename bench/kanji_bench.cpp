// Converter throughput on a few megabytes of mail per input code, one message per call as the
// program converts them. "--write-corpus=DIR" also writes each corpus to DIR/<name>.mail, so
// that kanji_vs_nkf can time nkf on the very same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "kanji/nkf.h"
#include "tests/support/mail_generator.h"

namespace kanji = ferrolt::kanji;

namespace {

constexpr size_t kCorpusBytes = 8 << 20;

// English mail, for the pure ASCII case.
std::string AsciiMail(uint32_t seed) {
  std::string mail = "From: Sender <sender@example.com>\r\nSubject: Report " +
                     std::to_string(seed) + "\r\nDate: Mon, 3 Jun 2002 10:00:00 +0900\r\n\r\n";
  static const char* kLines[] = {
      "The quarterly figures are attached; please check the totals before Friday.\r\n",
      "Thanks for the quick reply. I will forward this to the rest of the team.\r\n",
      "> Could you send me the minutes of yesterday's meeting?\r\n",
      "Regards,\r\n",
  };
  for (uint32_t line = 0; line < 60; ++line) mail += kLines[(seed + line * 7) % 4];
  return mail;
}

struct Corpus {
  const char* name;
  std::vector<std::string> mails = {};
  size_t bytes = 0;
};

Corpus MakeCorpus(const char* name, int code) {
  Corpus corpus{name};
  kanji::MailShape shape;
  shape.body_chars = 1500;
  shape.kana_only_percent = 0;
  shape.switch_one_in = 30;  // prose: runs of some tens of characters in one script
  for (uint32_t seed = 1; corpus.bytes < kCorpusBytes; ++seed) {
    corpus.mails.push_back(
        code < 0 ? AsciiMail(seed) : GenerateMail(seed, static_cast<kanji::MailCode>(code), shape));
    corpus.bytes += corpus.mails.back().size();
  }
  return corpus;
}

const std::vector<Corpus>& Corpora() {
  static const std::vector<Corpus> corpora = {
      MakeCorpus("ascii", -1),
      MakeCorpus("iso2022jp", static_cast<int>(kanji::MailCode::kIso2022Jp)),
      MakeCorpus("eucjp", static_cast<int>(kanji::MailCode::kEucJp)),
      MakeCorpus("shiftjis", static_cast<int>(kanji::MailCode::kShiftJis)),
  };
  return corpora;
}

void BM_Convert(benchmark::State& state) {
  const Corpus& corpus = Corpora()[static_cast<size_t>(state.range(0))];
  state.SetLabel(corpus.name);
  std::vector<char> output;
  for (auto _ : state) {
    for (const std::string& mail : corpus.mails) {
      kanji::SetNkfOption("sm");
      output.resize(kanji::NkfOutputBound(mail.size()));
      benchmark::DoNotOptimize(
          kanji::NkfConvert(output.data(), output.size(), mail.data(), mail.size()));
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.bytes));
}
BENCHMARK(BM_Convert)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

void WriteCorpora(const std::string& dir) {
  for (const Corpus& corpus : Corpora()) {
    std::ofstream file(dir + "/" + corpus.name + ".mail", std::ios::binary);
    for (const std::string& mail : corpus.mails) file << mail;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* kFlag = "--write-corpus=";
  if (argc > 1 && strncmp(argv[1], kFlag, strlen(kFlag)) == 0) {
    WriteCorpora(argv[1] + strlen(kFlag));
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
