// ferrolt-cli run as a user runs it, on generated stores: outputs compared byte for byte, exit
// codes, what goes to stdout and stderr, and the source left exactly as it was.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <map>
#include <string>

#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

struct CliResult {
  int exit_code = -1;
  std::string out, err;
};

std::string Quote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs the CLI through the shell in `work`: `before` comes first (umask 0 &&), `redirections`
// replace the default capture of stdout and stderr in files. Killed after 20 seconds. `locale`
// sets the variables that choose the language, all others of them unset: Japanese unless a test
// asks for another, as most tests read the catalogue's Japanese texts.
CliResult RunCli(const TempFolder& work, const std::string& arguments,
                 const std::string& redirections = "", const std::string& before = "",
                 const std::string& locale = "LC_ALL=ja_JP.UTF-8") {
  std::string out = work.Join("stdout"), err = work.Join("stderr");
  std::string capture = " >" + Quote(out) + " 2>" + Quote(err) + " </dev/null";
  std::string command = "cd " + Quote(work.path()) + " && " + before +
                        "env -u LC_ALL -u LC_MESSAGES -u LANG " + locale + " timeout -s KILL 20 " +
                        Quote(FERROLT_CLI_PATH) + " " + arguments +
                        (redirections.empty() ? capture : " 2>" + Quote(err) + " " + redirections);
  int status = std::system(command.c_str());
  CliResult result;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::error_code error;
  if (fs::exists(out, error)) result.out = ReadFileBytes(out);
  if (fs::exists(err, error)) result.err = ReadFileBytes(err);
  fs::remove(out);
  fs::remove(err);
  return result;
}

// Every file below `folder`, by relative path, with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    std::string name = fs::relative(entry.path(), folder).string();
    files[name] = entry.is_regular_file() ? ReadFileBytes(entry.path().string()) : "<folder>";
  }
  return files;
}

class CliEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(work_.Join("store")); }
  std::string Store() const { return work_.Join("store"); }
  void AddMailbox(const std::string& name, const StoreSpec& spec) {
    WriteStore(Store(), name, BuildStore(spec));
  }
  // Runs the CLI and checks the store was left as it was.
  CliResult Run(const std::string& arguments, const std::string& redirections = "",
                const std::string& before_cli = "",
                const std::string& locale = "LC_ALL=ja_JP.UTF-8") {
    auto before = Snapshot(Store());
    CliResult result = RunCli(work_, arguments, redirections, before_cli, locale);
    EXPECT_TRUE(Snapshot(Store()) == before) << "the source store changed";
    return result;
  }

  TempFolder work_;
};

StoreSpec JapaneseMailbox() {
  StoreSpec spec;
  // "あい" in ISO-2022-JP, in the subject as an encoded word and in the body.
  spec.messages = {
      {"Subject: =?ISO-2022-JP?B?GyRCJCIkJBsoQg==?=\r\nStatus: U\r\n\r\n\x1b$B$\"$$\x1b(B\r\n", 0,
       4},
      {"Subject: unread\r\n\r\nplain\r\n", 2, 0},
      {"Subject: gone\r\n\r\nx\r\n", 1, 9},
  };
  return spec;
}

TEST_F(CliEndToEndTest, ImportWritesConvertedMailboxesAndTheMarker) {
  AddMailbox("Inbox", JapaneseMailbox());
  CliResult result = Run("import --to Corvane store");
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "1 個のメールボックスから、計 2 通のメールを変換しました。\n");
  EXPECT_EQ(result.err, "");
  auto output = Snapshot(work_.Join("Corvane"));
  ASSERT_EQ(output.size(), 1u);
  EXPECT_EQ(output["Inbox.mbx"],
            "Subject: \x82\xa0\x82\xa2\r\nStatus: R\r\n\r\n\x82\xa0\x82\xa2\r\n\r\n.\r\n"
            "Subject: unread\r\n\r\nplain\r\n\r\n.\r\n");
  EXPECT_EQ(ReadFileBytes(work_.Join("Corvane.mbx")), "");

  // The folder exists now: used as it is, but the mailbox of the same name stops the run.
  CliResult again = Run("import --to Corvane store");
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_EQ(again.out, "");
  EXPECT_NE(again.err.find("\nCorvane/Inbox.mbx\n"), std::string::npos) << again.err;
  EXPECT_TRUE(Snapshot(work_.Join("Corvane")) == output);
}

TEST_F(CliEndToEndTest, EmlWritesEveryMessageUnchangedIncludingDeletedWhenAsked) {
  StoreSpec spec = JapaneseMailbox();
  AddMailbox("A", spec);
  StoreSpec second = JapaneseMailbox();
  second.with_index = false;
  AddMailbox("B", second);
  fs::create_directory(work_.Join("out"));
  CliResult result = Run("eml --include-deleted --prefix out/m store");
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out,
            "2 個のメールボックスから、計 6 通のメールを変換しました。\n（内、削除メール 1 通）\n");
  auto output = Snapshot(work_.Join("out"));
  ASSERT_EQ(output.size(), 6u);
  EXPECT_EQ(output["m00003.eml"], spec.messages[2].bytes);
  EXPECT_EQ(output["m00006.eml"], second.messages[2].bytes);
}

TEST_F(CliEndToEndTest, DroppedFilesSkipOtherNamesWithAWarning) {
  AddMailbox("Inbox", JapaneseMailbox());
  CliResult result = Run("eml --prefix m store/Inbox.idx store/Inbox.mbx");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err,
            "ferrolt-cli: store/Inbox.idx は .mbx メールボックスではないので飛ばします\n");
  EXPECT_TRUE(fs::exists(work_.Join("m00002.eml")));
}

TEST_F(CliEndToEndTest, NothingToConvertCreatesNothing) {
  WriteFileBytes(work_.Join("store/Inbox.idx"), "JMF9");
  for (const char* sources : {"store", "store/Inbox.idx"}) {
    CliResult result = Run(std::string("import --to Target ") + sources);
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_NE(result.err.find("変換するメールボックスが１つもありません。"), std::string::npos);
    EXPECT_FALSE(fs::exists(work_.Join("Target")));
  }
}

TEST_F(CliEndToEndTest, BrokenSecondMailboxStopsWithOneNoticeAndKeepsTheFirst) {
  AddMailbox("A", JapaneseMailbox());
  StoreSpec broken = JapaneseMailbox();
  broken.mailbox_magic = "JMF?";
  AddMailbox("B", broken);
  CliResult result = Run("import --to T store");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Microsoft Internet Mail メールボックス形式のファイルではありません。\n");
  EXPECT_FALSE(ReadFileBytes(work_.Join("T/A.mbx")).empty());
}

TEST_F(CliEndToEndTest, UsageErrorsAndHelp) {
  CliResult help = Run("--help");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("ferrolt-cli import"), std::string::npos);
  CliResult usage = Run("import store");
  EXPECT_EQ(usage.exit_code, 2);
  EXPECT_NE(usage.err.find("--to"), std::string::npos);
  CliResult list = Run("list store/missing.mbx");
  EXPECT_EQ(list.exit_code, 1);
  EXPECT_EQ(list.err.rfind("CreateFile(Source) のエラーです。Code=<2>\n", 0), 0u);
}

// A FIFO or a device where a mailbox or index should be: never waited on; a mailbox gets
// notice 51, an index is as good as absent.
TEST_F(CliEndToEndTest, FifosAndDevicesAreRefusedWithoutWaiting) {
  StoreSpec spec = JapaneseMailbox();
  AddMailbox("Inbox", spec);
  fs::remove(work_.Join("store/Inbox.idx"));
  ASSERT_EQ(mkfifo(work_.Join("store/Inbox.idx").c_str(), 0600), 0);
  fs::create_directory(work_.Join("out"));
  CliResult sequential = Run("eml --prefix out/m store");
  EXPECT_EQ(sequential.exit_code, 0) << sequential.err;
  EXPECT_EQ(sequential.err, "");
  EXPECT_EQ(ReadFileBytes(work_.Join("out/m00003.eml")), spec.messages[2].bytes)
      << "read record by record: the deleted message too";

  fs::create_directory(work_.Join("odd"));
  ASSERT_EQ(mkfifo(work_.Join("odd/Fifo.mbx").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", work_.Join("odd/Zero.mbx"));
  for (const char* name : {"odd/Fifo.mbx", "odd/Zero.mbx"}) {
    CliResult refused = Run(std::string("eml --prefix out/x ") + name);
    EXPECT_EQ(refused.exit_code, 1) << name;
    EXPECT_EQ(refused.err.rfind("CreateFile(Source) のエラーです。Code=<", 0), 0u) << refused.err;
    EXPECT_FALSE(fs::exists(work_.Join("out/x00001.eml")));
  }
}

TEST_F(CliEndToEndTest, OutputLostOnStdoutIsAFailure) {
  AddMailbox("Inbox", JapaneseMailbox());
  const std::string kLost =
      "ferrolt-cli: cannot write to standard output: No space left on device\n";
  for (const char* arguments : {"list store/Inbox.mbx", "eml --prefix m store", "--help"}) {
    CliResult result = Run(arguments, ">/dev/full");
    EXPECT_EQ(result.exit_code, 1) << arguments;
    EXPECT_EQ(result.err, kLost) << arguments;
  }
  EXPECT_TRUE(fs::exists(work_.Join("m00002.eml"))) << "the files are written all the same";
}

// Started without stdout and stderr, no file the program opens may take their place: a notice
// would land in the target mailbox.
TEST_F(CliEndToEndTest, ClosedStandardDescriptorsNeverReceiveAFile) {
  StoreSpec spec;
  spec.with_index = false;
  spec.messages = {{"Subject: a\r\n\r\nfirst\r\n", 0, 0}, {"Subject: b\r\n\r\nsecond\r\n", 0, 0}};
  BuiltStore broken = BuildStore(spec);
  PutU32(&broken.mailbox, broken.record_offsets[1] + kMessageLengthField, 1 << 20);
  WriteStore(Store(), "A", broken);
  for (const char* closed : {">&- 2>&-", "<&- >&- 2>&-"}) {
    fs::remove_all(work_.Join("T"));
    fs::remove_all(work_.Join("m00001.eml"));
    RunCli(work_, "import --to T store/A.mbx", closed);
    EXPECT_EQ(ReadFileBytes(work_.Join("T/A.mbx")), "Subject: a\r\n\r\nfirst\r\n\r\n.\r\n")
        << closed;
    RunCli(work_, "eml --prefix m store/A.mbx", closed);
    EXPECT_EQ(ReadFileBytes(work_.Join("m00001.eml")), spec.messages[0].bytes) << closed;
  }
}

TEST_F(CliEndToEndTest, HelpIsNoOptionsValueNorASourceAfterTheDoubleDash) {
  StoreSpec spec = JapaneseMailbox();
  AddMailbox("Inbox", spec);
  CliResult prefix = Run("eml --prefix -h store");
  EXPECT_EQ(prefix.exit_code, 0) << prefix.err;
  EXPECT_EQ(ReadFileBytes(work_.Join("-h00001.eml")), spec.messages[0].bytes);
  CliResult source = Run("list -- -h");
  EXPECT_EQ(source.exit_code, 1);
  EXPECT_EQ(source.err.rfind("CreateFile(Source) のエラーです。Code=<2>", 0), 0u) << source.err;
}

// Mail is private, whatever the umask allows.
TEST_F(CliEndToEndTest, WrittenMailIsTheOwnersOnly) {
  AddMailbox("Inbox", JapaneseMailbox());
  fs::create_directory(work_.Join("out"));
  ASSERT_EQ(Run("import --to T store", "", "umask 0 && ").exit_code, 0);
  ASSERT_EQ(Run("eml --prefix out/m store", "", "umask 0 && ").exit_code, 0);
  const struct {
    const char* path;
    fs::perms mode;
  } kCases[] = {
      {"T", fs::perms::owner_all},
      {"T.mbx", fs::perms::owner_read | fs::perms::owner_write},
      {"T/Inbox.mbx", fs::perms::owner_read | fs::perms::owner_write},
      {"out/m00001.eml", fs::perms::owner_read | fs::perms::owner_write},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(fs::status(work_.Join(c.path)).permissions(), c.mode) << c.path;
  }
}

TEST_F(CliEndToEndTest, ControlCharactersInNamesReachTheTerminalEscaped) {
  AddMailbox("Inbox", JapaneseMailbox());
  const std::string prefix = "o\x1b]0;pwned\x07";
  WriteFileBytes(work_.Join(prefix + "00001.eml"), "there before");
  CliResult result =
      Run("eml --prefix " + Quote(prefix) + " store/Inbox.mbx " + Quote("store/x\x1b[2J.txt"), "",
          "", "LC_ALL=C");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err.find('\x1b'), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("skipping store/x\\x1b[2J.txt"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("\no\\x1b]0;pwned\\x0700001.eml\n"), std::string::npos) << result.err;
}

// A mailbox whose second record header was zeroed: a salvage run writes every other message,
// reports the damage once on stderr and ends as done.
TEST_F(CliEndToEndTest, SalvageRecoversEveryMessageAroundADamagedRecord) {
  StoreSpec spec;
  for (const char* name : {"one", "two", "three", "four"}) {
    spec.messages.push_back({SimpleMessage(name, "body\r\n")});
  }
  spec.messages[0].flags = 2;  // unread: the import gives it no read status
  BuiltStore store = BuildStore(spec);
  uint32_t damaged = store.record_offsets[1];
  store.mailbox.replace(damaged, kRecordHeaderSize, std::string(kRecordHeaderSize, '\0'));
  WriteStore(Store(), "Inbox", store);

  std::string report =
      "ferrolt-cli: salvage: Inbox.mbx: messages recovered: 3 (index 3, chain 0, scan 0)\n"
      "ferrolt-cli: salvage: Inbox.mbx: index entries not used: 1\n"
      "ferrolt-cli: salvage: Inbox.mbx: skipped " +
      std::to_string(store.record_offsets[2] - damaged) + " bytes at offset " +
      std::to_string(damaged) + "\n";
  fs::create_directory(work_.Join("out"));
  CliResult eml = Run("eml --salvage --prefix out/m store");
  EXPECT_EQ(eml.exit_code, 0);
  EXPECT_EQ(eml.err, report);
  EXPECT_EQ(eml.out, "1 個のメールボックスから、計 3 通のメールを変換しました。\n");
  EXPECT_TRUE(Snapshot(work_.Join("out")) ==
              (std::map<std::string, std::string>{{"m00001.eml", spec.messages[0].bytes},
                                                  {"m00002.eml", spec.messages[2].bytes},
                                                  {"m00003.eml", spec.messages[3].bytes}}));

  CliResult list = Run("list --salvage store/Inbox.mbx");
  EXPECT_EQ(list.exit_code, 0);
  EXPECT_EQ(list.err, report);
  EXPECT_NE(list.out.find("\tthree\tindex\n"), std::string::npos) << list.out;
  EXPECT_EQ(list.out.find("\ttwo"), std::string::npos) << list.out;

  CliResult import = Run("import --salvage --to T store");
  EXPECT_EQ(import.exit_code, 0);
  EXPECT_EQ(import.err, report);
  EXPECT_EQ(ReadFileBytes(work_.Join("T/Inbox.mbx")),
            "From: a@example.jp\r\nSubject: one\r\n\r\nbody\r\n\r\n.\r\n"
            "From: a@example.jp\r\nSubject: three\r\nStatus: R\r\n\r\nbody\r\n\r\n.\r\n"
            "From: a@example.jp\r\nSubject: four\r\nStatus: R\r\n\r\nbody\r\n\r\n.\r\n");

  for (const char* output : {"mbox", "maildir"}) {
    CliResult today = Run(std::string(output) + " --salvage --to " + output + " store");
    EXPECT_EQ(today.exit_code, 0) << output;
    EXPECT_EQ(today.err, report) << output;
  }
}

// Outside a Japanese locale the same notices, summary and help come in English; LC_ALL decides
// before LANG.
TEST_F(CliEndToEndTest, SpeaksEnglishUnlessTheLocaleIsJapanese) {
  AddMailbox("Inbox", JapaneseMailbox());
  CliResult english =
      Run("eml --prefix m store/Inbox.idx store/Inbox.mbx", "", "", "LC_ALL=C LANG=ja_JP.UTF-8");
  EXPECT_EQ(english.exit_code, 0);
  EXPECT_EQ(english.out, "Mailboxes: 1, mails converted: 2.\n");
  EXPECT_EQ(english.err, "ferrolt-cli: skipping store/Inbox.idx: not a .mbx mailbox\n");
  CliResult exists = Run("eml --prefix m store", "", "", "LANG=en_US.UTF-8");
  EXPECT_EQ(exists.err,
            "Something of the same name already exists and is left as it is:\nm00001.eml\n");
  CliResult help = Run("--help", "", "", "");
  EXPECT_EQ(help.out.rfind("Usage:\n", 0), 0u);
  CliResult japanese_help = RunCli(work_, "--help", "", "", "LC_ALL= LANG=ja_JP.eucJP");
  EXPECT_EQ(japanese_help.out.rfind("使い方:\n", 0), 0u);
  CliResult usage = Run("mbox store", "", "", "LC_MESSAGES=ja_JP LANG=C");
  EXPECT_EQ(usage.exit_code, 2);
  EXPECT_EQ(usage.err.rfind("ferrolt-cli: mbox には --to DIR が必要です\n\n使い方:", 0), 0u);
}

}  // namespace
}  // namespace ferrolt
