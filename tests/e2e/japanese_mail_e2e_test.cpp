// ferrolt-cli import on Japanese mail as people sent it: the code read right under each choice,
// and header words that decode to line ends or NUL kept out of the target mailbox's structure.

#include <gtest/gtest.h>

#include <string>

#include "tests/hardening/cli_runner.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

const std::string kSeparator = "\r\n.\r\n";

// Imports a one-message mailbox (unread, so that "Status: R" is added) and returns the target
// mailbox.
std::string ImportOne(const std::string& message, bool prefer_euc) {
  TempFolder work;
  std::filesystem::create_directory(work.Join("store"));
  StoreSpec spec;
  spec.messages = {{message, 0, 0}};
  WriteStore(work.Join("store"), "Inbox", BuildStore(spec));
  std::vector<std::string> arguments = {"import", "--to", "out", "store"};
  if (prefer_euc) arguments.insert(arguments.begin() + 1, "--prefer-euc");
  CliResult result = RunCli(work.path(), arguments);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  return ReadFileBytes(work.Join("out/Inbox.mbx"));
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// Plain EUC-JP prose is valid Shift_JIS as well; only text that could be half-width kana alone
// is left to the choice, which must reach the converter from the command line.
TEST(JapaneseMailEndToEndTest, EucJpMailIsReadAsEucJpAndTheChoiceDecidesOnlyKanaLookAlikes) {
  // 詳細は添付の資料を参照してください。
  const std::string euc =
      "\xbe\xdc\xba\xd9\xa4\xcf\xc5\xba\xc9\xd5\xa4\xce\xbb\xf1\xce\xc1\xa4\xf2\xbb\xb2\xbe\xc8"
      "\xa4\xb7\xa4\xc6\xa4\xaf\xa4\xc0\xa4\xb5\xa4\xa4\xa1\xa3";
  const std::string sjis =
      "\x8f\xda\x8d\xd7\x82\xcd\x93\x59\x95\x74\x82\xcc\x8e\x91\x97\xbf\x82\xf0\x8e\x51\x8f\xc6"
      "\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2\x81\x42";
  const std::string head = "Subject: report\r\n\r\n";
  for (bool prefer_euc : {false, true}) {
    EXPECT_EQ(ImportOne(head + euc + "\r\n", prefer_euc),
              "Subject: report\r\nStatus: R\r\n\r\n" + sjis + "\r\n" + kSeparator)
        << prefer_euc;
  }
  // です。 in EUC-JP reads as Shift_JIS ､ﾇ､ｹ｡｣ too: widened, or read as EUC-JP when asked.
  const std::string desu = "\xa4\xc7\xa4\xb9\xa1\xa3";
  EXPECT_EQ(ImportOne(head + desu, false),
            "Subject: report\r\nStatus: R\r\n\r\n\x81\x41\x83\x6b\x81\x41\x83\x50\x81\x42\x81\x76" +
                kSeparator);
  EXPECT_EQ(ImportOne(head + desu, true),
            "Subject: report\r\nStatus: R\r\n\r\n\x82\xc5\x82\xb7\x81\x42" + kSeparator);
}

// One message in, one out: the words stay as they were, so no forged line, no second message,
// no NUL, and the status filter still sees the whole header.
TEST(JapaneseMailEndToEndTest, HeaderWordsOfControlCharactersCannotForgeLinesOrMessages) {
  const std::string forged =
      "=?US-ASCII?Q?hi=0D=0A=0D=0A.=0D=0AFrom:_boss@example.com=0D=0ASubject:_urgent?=";
  const std::string nul = "=?ISO-2022-JP?B?AAAA?=";
  const std::string cr_in_kanji = "=?ISO-2022-JP?B?GyRCJCINJCIbKEI=?=";  // あ CR あ
  const std::string message = "Subject: " + forged + "\r\nX-Note: " + nul + " " + cr_in_kanji +
                              "\r\nStatus: U\r\n\r\nbody\r\n";
  for (bool prefer_euc : {false, true}) {
    std::string target = ImportOne(message, prefer_euc);
    EXPECT_EQ(target, "Subject: " + forged + "\r\nX-Note: " + nul + " " + cr_in_kanji +
                          "\r\nStatus: R\r\n\r\nbody\r\n" + kSeparator);
    EXPECT_EQ(Count(target, kSeparator), 1u);
    EXPECT_EQ(Count(target, "Status:"), 1u);
  }
}

}  // namespace
}  // namespace ferrolt
