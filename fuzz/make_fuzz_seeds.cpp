// Writes the fuzz targets' starting corpora: mailboxes and indexes made by the store builder
// (sound ones and the damage tests care about), headers for the status filter and generated
// Japanese mail for the converter. Run by fuzz/run; nothing it writes is checked in.
//
//   make_fuzz_seeds <folder>   writes <folder>/mailbox, <folder>/status_filter, <folder>/kanji

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/mailbox_input.h"
#include "tests/support/mail_generator.h"
#include "tests/support/store_builder.h"

namespace ferrolt::fuzz {
namespace {

namespace fs = std::filesystem;
using testing::BuildStore;
using testing::BuiltStore;
using testing::MessageSpec;
using testing::StoreSpec;

std::string SmallMail(uint32_t seed, kanji::MailCode code) {
  kanji::MailShape shape;
  shape.body_chars = 60;
  return kanji::GenerateMail(seed, code, shape);
}

StoreSpec JapaneseStore() {
  StoreSpec spec;
  spec.messages = {
      {SmallMail(1, kanji::MailCode::kIso2022Jp) + "Status: U\r\n", 0, 4},
      {SmallMail(2, kanji::MailCode::kShiftJis), 1, 0},
      {SmallMail(3, kanji::MailCode::kEucJp), 2, 7},
      {testing::SimpleMessage("plain", "no Japanese\r\n"), 3, 0},
  };
  return spec;
}

std::vector<StoreSpec> StoreVariants() {
  std::vector<StoreSpec> variants;
  variants.push_back(JapaneseStore());
  StoreSpec no_index = JapaneseStore();
  no_index.with_index = false;
  variants.push_back(no_index);
  StoreSpec reordered = JapaneseStore();
  reordered.index_order = {3, 1, 1, 0};  // an entry may name a message twice
  reordered.entry_padding = 9;
  variants.push_back(reordered);
  StoreSpec overcounted = JapaneseStore();
  overcounted.override_mailbox_count = overcounted.override_index_count = true;
  overcounted.mailbox_count = overcounted.index_count = 0x7FFFFFFF;
  variants.push_back(overcounted);
  StoreSpec negative = JapaneseStore();
  negative.override_index_count = true;
  negative.index_count = 0xFFFFFFFF;
  variants.push_back(negative);
  StoreSpec wrong_magic = JapaneseStore();
  wrong_magic.index_magic = "JMF8";
  variants.push_back(wrong_magic);
  variants.push_back(StoreSpec{});
  return variants;
}

void WriteSeed(const fs::path& folder, const std::string& name, const std::string& bytes) {
  testing::WriteFileBytes((folder / name).string(), bytes);
}

void WriteMailboxSeeds(const fs::path& folder) {
  int number = 0;
  for (const StoreSpec& spec : StoreVariants()) {
    BuiltStore store = BuildStore(spec);
    WriteSeed(folder, "store" + std::to_string(number++),
              JoinMailboxInput(store.mailbox, store.index));
    if (store.record_offsets.size() < 2) continue;
    // A record length that reaches past the end, and a message length that does.
    BuiltStore damaged = store;
    testing::PutU32(&damaged.mailbox, store.record_offsets[1] + kRecordLengthField, 0xFFFFFF00u);
    WriteSeed(folder, "store" + std::to_string(number++),
              JoinMailboxInput(damaged.mailbox, damaged.index));
    damaged = store;
    testing::PutU32(&damaged.mailbox, store.record_offsets[1] + kMessageLengthField,
                    static_cast<uint32_t>(store.mailbox.size()));
    WriteSeed(folder, "store" + std::to_string(number++),
              JoinMailboxInput(damaged.mailbox, damaged.index));
  }
}

void WriteStatusFilterSeeds(const fs::path& folder) {
  // The first byte chooses whether a read status is added.
  const char* const kHeaders[] = {
      "\x01Subject: a\r\nStatus: U\r\nX-Status: 1\r\n\r\nbody\r\n",
      "\x00status:RO\nSTATUS: \nFrom: b\n\nStatus: kept in the body\n",
      "\x01Subject: no line end",
      "\x01Subject: a\rStatus: R\r\n\x00hidden\r\n\r\n",
      "\x00Status:\r\n",
  };
  int number = 0;
  for (const char* header : kHeaders) {
    std::string bytes(1, header[0]);
    bytes += std::string(header + 1);
    WriteSeed(folder, "header" + std::to_string(number++), bytes);
  }
  WriteSeed(folder, "header" + std::to_string(number++),
            std::string("\x01", 1) + SmallMail(9, kanji::MailCode::kIso2022Jp));
}

void WriteConverterSeeds(const fs::path& folder) {
  const kanji::MailCode kCodes[] = {kanji::MailCode::kIso2022Jp, kanji::MailCode::kEucJp,
                                    kanji::MailCode::kShiftJis};
  int number = 0;
  for (kanji::MailCode code : kCodes) {
    for (uint32_t seed = 1; seed <= 3; ++seed) {
      WriteSeed(folder, "mail" + std::to_string(number++), SmallMail(seed * 7, code));
    }
  }
}

}  // namespace
}  // namespace ferrolt::fuzz

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds <folder>\n");
    return 2;
  }
  fs::path root = argv[1];
  for (const char* target : {"mailbox", "status_filter", "kanji"})
    fs::create_directories(root / target);
  ferrolt::fuzz::WriteMailboxSeeds(root / "mailbox");
  ferrolt::fuzz::WriteStatusFilterSeeds(root / "status_filter");
  ferrolt::fuzz::WriteConverterSeeds(root / "kanji");
  return 0;
}
