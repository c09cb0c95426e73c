// ferrolt-cli run as a user runs it, on generated stores: outputs compared byte for byte, exit
// codes, what goes to stdout and stderr in each language, and what only a real process meets
// (closed descriptors, a full stdout, a umask, FIFOs). Every run checks the source was left as
// it was.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/cli_runner.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

// "あい" in ISO-2022-JP, in the subject as an encoded word and in the body; a read, an unread and
// a deleted message.
StoreSpec JapaneseMailbox(bool with_index = true) {
  StoreSpec spec;
  spec.with_index = with_index;
  spec.messages = {
      {"Subject: =?ISO-2022-JP?B?GyRCJCIkJBsoQg==?=\r\nStatus: U\r\n\r\n\x1b$B$\"$$\x1b(B\r\n", 0,
       4},
      {"Subject: unread\r\n\r\nplain\r\n", 2, 0},
      {"Subject: gone\r\n\r\nx\r\n", 1, 9},
  };
  return spec;
}

// Exactly `expected`, or only its start when that ends in "*".
void ExpectText(const std::string& text, const std::string& expected) {
  bool start = !expected.empty() && expected.back() == '*';
  EXPECT_EQ(start ? text.substr(0, expected.size() - 1) : text,
            start ? expected.substr(0, expected.size() - 1) : expected);
}

const fs::perms kOwnerFile = fs::perms::owner_read | fs::perms::owner_write;

using CliEndToEndTest = CliTest;

// Mail is private, whatever the umask allows. A FIFO as an index is as good as none (read record
// by record, the deleted message too): never waited on.
TEST_F(CliEndToEndTest, ImportWritesPrivateConvertedMailboxesAndTheMarkerOnce) {
  AddMailbox("A", JapaneseMailbox());
  AddMailbox("B", JapaneseMailbox(false));
  ASSERT_EQ(mkfifo(Path("store/B.idx").c_str(), 0600), 0);
  mode_t umask_before = umask(0);
  CliResult result = Run("import --include-deleted --to Corvane store");
  umask(umask_before);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out + result.err,
            "2 個のメールボックスから、計 6 通のメールを変換しました。\n（内、削除メール 1 通）\n");
  auto output = SnapshotFolder(Path("Corvane"));
  // Read messages gain a read status, which only an index tells; a stored Status line goes.
  auto converted = [](const std::string& read) {
    return "Subject: \x82\xa0\x82\xa2\r\n" + read + "\r\n\x82\xa0\x82\xa2\r\n\r\n.\r\n" +
           "Subject: unread\r\n\r\nplain\r\n\r\n.\r\nSubject: gone\r\n" + read +
           "\r\nx\r\n\r\n.\r\n";
  };
  EXPECT_TRUE(output == (std::map<std::string, std::string>{{"A.mbx", converted("Status: R\r\n")},
                                                            {"B.mbx", converted("")}}));
  EXPECT_EQ(ReadFileBytes(Path("Corvane.mbx")), "");
  for (auto [path, mode] : {std::pair{"Corvane", fs::perms::owner_all},
                            {"Corvane.mbx", kOwnerFile},
                            {"Corvane/A.mbx", kOwnerFile}}) {
    EXPECT_EQ(fs::status(Path(path)).permissions(), mode) << path;
  }
  // The folder exists now: used as it is, but the mailbox of the same name stops the run.
  CliResult again = Run("import --to Corvane store");
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_EQ(again.out, "");
  EXPECT_NE(again.err.find("\nCorvane/A.mbx\n"), std::string::npos) << again.err;
  EXPECT_TRUE(SnapshotFolder(Path("Corvane")) == output);
}

// Runs in order in one folder; LC_ALL decides before LC_MESSAGES, and that before LANG. A FIFO or
// a device as a mailbox gets notice 51 without being waited on.
TEST_F(CliEndToEndTest, ExitCodesAndTextsInEachLanguage) {
  AddMailbox("Inbox", JapaneseMailbox());
  fs::create_directory(Path("empty"));
  WriteFileBytes(Path("empty/Inbox.idx"), "JMF9");
  StoreSpec broken = JapaneseMailbox();
  broken.mailbox_magic = "JMF?";
  fs::create_directory(Path("bad"));
  WriteStore(Path("bad"), "Z", BuildStore(broken));
  ASSERT_EQ(mkfifo(Path("bad/Fifo.mbx").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", Path("bad/Zero.mbx"));
  fs::create_directory(Path("taken"));
  WriteFileBytes(Path("taken/Inbox.mbox"), "mine");
  const std::string kTaken =
      "MS-IM のフォルダーと同じ名前のフォルダーがすでに Corvane! に存在します。\ntaken\n";
  const std::string kNothing = "変換するメールボックスが１つもありません。\n";
  const std::string kJapanese = "LC_ALL=ja_JP.UTF-8";
  const struct {
    std::string locale, arguments;
    int exit_code;
    std::string out, err;
  } kRuns[] = {
      {"LC_ALL=", "--help", 0, "Usage:\n*", ""},
      {"LC_ALL= LANG=ja_JP.eucJP", "--help", 0, "使い方:\n*", ""},
      {"LC_MESSAGES=ja_JP LANG=C", "mbox store", 2, "",
       "ferrolt-cli: mbox には --to DIR が必要です\n\n使い方:*"},
      {kJapanese, "list store/missing.mbx", 1, "", "CreateFile(Source) のエラーです。Code=<2>\n*"},
      {kJapanese, "import --to T empty", 1, "", kNothing},
      {kJapanese, "import --to T store/Inbox.idx", 1, "",
       "ferrolt-cli: store/Inbox.idx は .mbx メールボックスではないので飛ばします\n" + kNothing},
      {kJapanese, "import --to B store/Inbox.mbx bad/Z.mbx", 1, "",
       "Microsoft Internet Mail メールボックス形式のファイルではありません。\n"},
      {kJapanese, "eml --prefix x bad/Fifo.mbx", 1, "", "CreateFile(Source) のエラーです。Code=<*"},
      {kJapanese, "eml --prefix x bad/Zero.mbx", 1, "", "CreateFile(Source) のエラーです。Code=<*"},
      {kJapanese, "mbox --to taken store", 1, "", kTaken},
      {kJapanese, "maildir --to taken store", 1, "", kTaken},
      {"LC_ALL=C LANG=ja_JP.UTF-8", "eml --prefix m store/x\x1b[2J.txt store/Inbox.mbx", 0,
       "Mailboxes: 1, mails converted: 2.\n",
       "ferrolt-cli: skipping store/x\\x1b[2J.txt: not a .mbx mailbox\n"},
      {"LANG=en_US.UTF-8", "eml --prefix m store", 1, "",
       "Something of the same name already exists and is left as it is:\nm00001.eml\n"},
  };
  for (const auto& run : kRuns) {
    SCOPED_TRACE(run.locale + " " + run.arguments);
    CliLaunch launch;
    launch.locale = Words(run.locale);
    CliResult result = Run(run.arguments, launch);
    EXPECT_EQ(result.exit_code, run.exit_code);
    ExpectText(result.out, run.out);
    ExpectText(result.err, run.err);
  }
  EXPECT_FALSE(fs::exists(Path("T"))) << "nothing to convert creates nothing";
  EXPECT_FALSE(fs::exists(Path("x00001.eml"))) << "no mailbox in a FIFO or a device";
  EXPECT_FALSE(ReadFileBytes(Path("B/Inbox.mbx")).empty()) << "kept before the broken mailbox";
  EXPECT_TRUE(SnapshotFolder(Path("taken")) ==
              (std::map<std::string, std::string>{{"Inbox.mbox", "mine"}}));
}

TEST_F(CliEndToEndTest, OutputLostOnStdoutIsAFailure) {
  AddMailbox("Inbox", JapaneseMailbox());
  CliLaunch full;
  full.stdout_fd = open("/dev/full", O_WRONLY | O_CLOEXEC);
  for (const char* arguments : {"list store/Inbox.mbx", "eml --prefix m store", "--help"}) {
    CliResult result = Run(arguments, full);
    EXPECT_EQ(result.exit_code, 1) << arguments;
    EXPECT_EQ(result.err, "ferrolt-cli: cannot write to standard output: No space left on device\n")
        << arguments;
  }
  close(full.stdout_fd);
  EXPECT_TRUE(fs::exists(Path("m00002.eml"))) << "the files are written all the same";
}

// Started without stdin, stdout or stderr, no file the program opens may take their place: a
// notice would land in the target mailbox.
TEST_F(CliEndToEndTest, ClosedStandardDescriptorsNeverReceiveAFile) {
  StoreSpec spec;
  spec.with_index = false;
  spec.messages = {{"Subject: a\r\n\r\nfirst\r\n", 0, 0}, {"Subject: b\r\n\r\nsecond\r\n", 0, 0}};
  BuiltStore broken = BuildStore(spec);
  PutU32(&broken.mailbox, broken.record_offsets[1] + kMessageLengthField, 1 << 20);
  WriteStore(Path("store"), "A", broken);
  CliLaunch launch;
  for (int closed : {0b110, 0b111}) {  // stdout and stderr; and stdin
    launch.closed = closed;
    std::string n = std::to_string(closed);
    Run("import --to T" + n + " store/A.mbx", launch);
    EXPECT_EQ(ReadFileBytes(Path("T" + n + "/A.mbx")), "Subject: a\r\n\r\nfirst\r\n\r\n.\r\n");
    Run("eml --prefix m" + n + " store/A.mbx", launch);
    EXPECT_EQ(ReadFileBytes(Path("m" + n + "00001.eml")), spec.messages[0].bytes);
  }
  // Without stdout alone, the summary goes nowhere, not to the mailbox opened in its place.
  AddMailbox("Sound", spec);
  launch.closed = 0b010;
  CliResult sound = Run("import --to S store/Sound.mbx", launch);
  EXPECT_EQ(sound.exit_code, 0);
  EXPECT_EQ(sound.err, "");
}

// A mailbox whose second record header was zeroed: every command's salvage run hands on every
// other message, reports the damage once on stderr and ends as done.
TEST_F(CliEndToEndTest, SalvageReportsADamagedRecordInEveryCommand) {
  StoreSpec spec;
  for (const char* name : {"one", "two", "three", "four"}) {
    spec.messages.push_back({SimpleMessage(name, "body\r\n")});
  }
  BuiltStore store = BuildStore(spec);
  uint32_t damaged = store.record_offsets[1];
  store.mailbox.replace(damaged, kRecordHeaderSize, std::string(kRecordHeaderSize, '\0'));
  WriteStore(Path("store"), "Inbox", store);
  const std::string report =
      "ferrolt-cli: salvage: Inbox.mbx: messages recovered: 3 (index 3, chain 0, scan 0)\n"
      "ferrolt-cli: salvage: Inbox.mbx: index entries not used: 1\n"
      "ferrolt-cli: salvage: Inbox.mbx: skipped " +
      std::to_string(store.record_offsets[2] - damaged) + " bytes at offset " +
      std::to_string(damaged) + "\n";
  for (const char* arguments : {"eml --salvage --prefix m store", "list --salvage store/Inbox.mbx",
                                "import --salvage --to T store", "mbox --salvage --to mbox store",
                                "maildir --salvage --to maildir store"}) {
    CliResult result = Run(arguments);
    EXPECT_EQ(result.exit_code, 0) << arguments;
    EXPECT_EQ(result.err, report) << arguments;
    if (arguments[0] == 'l') {
      EXPECT_NE(result.out.find("\tthree\tindex\n"), std::string::npos) << result.out;
      EXPECT_EQ(result.out.find("\ttwo"), std::string::npos) << result.out;
    }
  }
  EXPECT_EQ(ReadFileBytes(Path("m00003.eml")), spec.messages[3].bytes);
  EXPECT_FALSE(fs::exists(Path("m00004.eml")));
}

// です。 in EUC-JP reads as the Shift_JIS half-width kana ､ﾇ､ｹ｡｣ too: widened, or read as EUC-JP
// when --prefer-euc, which must reach the converter from the command line, asks for it.
TEST_F(CliEndToEndTest, PreferEucDecidesTextThatCouldBeHalfWidthKana) {
  StoreSpec spec;
  spec.messages = {{"Subject: report\r\n\r\n\xa4\xc7\xa4\xb9\xa1\xa3", 0, 0}};
  AddMailbox("Inbox", spec);
  for (auto [arguments, out, converted] :
       {std::tuple{"import --to kana store", "kana/Inbox.mbx",
                   "\x81\x41\x83\x6b\x81\x41\x83\x50\x81\x42\x81\x76"},
        {"import --prefer-euc --to euc store", "euc/Inbox.mbx", "\x82\xc5\x82\xb7\x81\x42"}}) {
    ASSERT_EQ(Run(arguments).exit_code, 0) << arguments;
    EXPECT_EQ(ReadFileBytes(Path(out)),
              "Subject: report\r\nStatus: R\r\n\r\n" + std::string(converted) + "\r\n.\r\n");
  }
}

}  // namespace
}  // namespace ferrolt
