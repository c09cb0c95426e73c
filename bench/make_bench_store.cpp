// Writes the benchmark's inputs, the same bytes on every machine:
//
//   make_bench_store <folder>
//     <folder>/store/Bench.mbx, .idx  20,000 messages, about 200 MB: mostly ISO-2022-JP, some
//                                     Shift_JIS and EUC-JP; some deleted, some unread
//     <folder>/messages.bin           the messages a run converts (not the deleted ones), one
//                                     after the other: what nkf and the converter alone get
//     <folder>/layout.txt             per such message: its offset in Bench.mbx and its length
//     <folder>/big/Big.mbx, .idx      a few small messages and one of 50 MB

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/mail_generator.h"
#include "tests/support/store_builder.h"

namespace kanji = ferrolt::kanji;

namespace {

namespace fs = std::filesystem;
using ferrolt::kFlagDeleted, ferrolt::kFlagUnread, ferrolt::kRecordHeaderSize;
using ferrolt::testing::BuildStore;
using ferrolt::testing::BuiltStore;
using ferrolt::testing::StoreSpec;

constexpr int kMessages = 20000;
constexpr int kBodyChars = 5800;  // about 10 KB per message in ISO-2022-JP
constexpr size_t kBigMessageBytes = 50u << 20;

kanji::MailCode CodeFor(int number) {
  if (number % 10 == 3) return kanji::MailCode::kShiftJis;
  if (number % 10 == 7) return kanji::MailCode::kEucJp;
  return kanji::MailCode::kIso2022Jp;
}

uint8_t FlagsFor(int number) {
  if (number % 20 == 5) return kFlagDeleted;  // 5 %
  return number % 5 == 2 ? kFlagUnread : 0;   // 20 %
}

StoreSpec MainStore() {
  kanji::MailShape shape;
  shape.body_chars = kBodyChars;
  // Real Japanese mail runs for dozens of characters between ASCII words, not a handful.
  shape.switch_one_in = 30;
  StoreSpec spec;
  spec.seed = 2002;
  for (int i = 0; i < kMessages; ++i) {
    spec.messages.push_back({kanji::GenerateMail(static_cast<uint32_t>(i) + 1, CodeFor(i), shape),
                             FlagsFor(i), static_cast<uint32_t>(i % 32)});
  }
  return spec;
}

void WriteConvertedInputs(const fs::path& folder, const StoreSpec& spec, const BuiltStore& store) {
  std::ofstream messages(folder / "messages.bin", std::ios::binary);
  std::ofstream layout(folder / "layout.txt");
  for (size_t i = 0; i < spec.messages.size(); ++i) {
    if (ferrolt::IsDeleted(spec.messages[i].flags)) continue;
    const std::string& bytes = spec.messages[i].bytes;
    messages.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    layout << store.record_offsets[i] + kRecordHeaderSize << ' ' << bytes.size() << '\n';
  }
}

// One ISO-2022-JP message grown to 50 MB, among a few ordinary ones.
StoreSpec BigMessageStore() {
  kanji::MailShape shape;
  shape.body_chars = 400;
  std::string big = kanji::GenerateMail(99, kanji::MailCode::kIso2022Jp, shape);
  std::string body = big.substr(big.find("\r\n\r\n") + 4);
  while (big.size() + body.size() <= kBigMessageBytes) big += body;
  big.resize(kBigMessageBytes, '\n');
  StoreSpec spec;
  spec.seed = 7;
  for (int i = 0; i < 4; ++i) {
    spec.messages.push_back({kanji::GenerateMail(200 + i, CodeFor(i), shape), 0, 0});
  }
  spec.messages.insert(spec.messages.begin() + 2, {big, 0, 0});
  return spec;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_bench_store <folder>\n");
    return 2;
  }
  fs::path folder = argv[1];
  fs::create_directories(folder / "store");
  fs::create_directories(folder / "big");
  StoreSpec spec = MainStore();
  BuiltStore store = BuildStore(spec);
  ferrolt::testing::WriteStore((folder / "store").string(), "Bench", store);
  WriteConvertedInputs(folder, spec, store);
  ferrolt::testing::WriteStore((folder / "big").string(), "Big", BuildStore(BigMessageStore()));
  std::printf("%zu messages, %zu MB\n", spec.messages.size(), store.mailbox.size() >> 20);
  return 0;
}
