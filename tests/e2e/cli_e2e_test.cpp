// ferrolt-cli run as a user runs it, on generated stores: outputs compared byte for byte, exit
// codes, what goes to stdout and stderr in each language, and what only a real process meets
// (closed descriptors, a full stdout or disk, limits, signals, a umask, FIFOs). Every run of a
// store below "store" checks it was left as it was. The mbox and Maildir outputs are read back by
// readers that are not ours: Python's mailbox module must give back every message's bytes and
// flags, and Dovecot must see the same messages read, unread and deleted.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "convert/mbox_export.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

// `pattern` when `text` fits it, each "*" standing for any text; else `text`.
std::string Fit(const std::string& text, const std::string& pattern) {
  size_t star = pattern.find('*');
  if (star == pattern.npos || !text.starts_with(pattern.substr(0, star))) return text;
  for (size_t at = star; at <= text.size(); ++at) {
    if (Fit(text.substr(at), pattern.substr(star + 1)) == pattern.substr(star + 1)) return pattern;
  }
  return text;
}

// Every entry below `folder`, by relative path, with its bytes ("<folder>" for anything else).
std::map<std::string, std::string> SnapshotFolder(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    files[fs::relative(entry.path(), folder).string()] =
        entry.is_regular_file() ? ReadFileBytes(entry.path().string()) : "<folder>";
  }
  return files;
}

// Each entry below `folder` by relative path: its permission bits in octal, "d" before a folder's.
std::map<std::string, std::string> Modes(const std::string& folder) {
  std::map<std::string, std::string> modes;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    std::ostringstream mode;
    mode << (entry.is_directory() ? "d" : "") << std::oct
         << static_cast<int>(entry.symlink_status().permissions());
    modes[fs::relative(entry.path(), folder).string()] = mode.str();
  }
  return modes;
}

// A work folder with the source stores below "store"; Run checks they were left as they were.
class CliEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(Path("store")); }
  std::string Path(const std::string& name) const { return work_.Join(name); }
  void AddMailbox(const std::string& name, const StoreSpec& mailbox) {
    WriteStore(Path("store"), name, BuildStore(mailbox));
  }
  // Starts `ferrolt-cli arguments` in the work folder through sh, with stdin the null device,
  // stdout and stderr captured, LC_ALL=ja_JP.UTF-8 (the catalogue's Japanese texts), LC_MESSAGES
  // and LANG unset. `how` goes just before the program: commands ending in ";" (umask, ulimit),
  // variables, and redirections, which replace the defaults ("1>&-" closes stdout).
  pid_t Start(const std::string& how, const std::string& arguments) const {
    std::string script = "cd '" + work_.path() + "' || exit 127; unset LC_MESSAGES LANG; " +
                         "export LC_ALL=ja_JP.UTF-8; exec </dev/null >cli.stdout 2>cli.stderr; " +
                         how + " exec " FERROLT_CLI_PATH " " + arguments;
    pid_t child = fork();
    if (child == 0) {
      execl("/bin/sh", "sh", "-c", script.c_str(), nullptr);
      _exit(127);
    }
    return child;
  }
  // Waits for the child, killed after a minute, and expects its exit code (128 + the signal when
  // one ended it, as a shell reports it), stdout and stderr (patterns as Fit takes them).
  void Finish(pid_t child, int exit_code, const std::string& out, const std::string& err) const {
    int status = 0;
    for (auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
         waitpid(child, &status, WNOHANG) != child;) {
      if (std::chrono::steady_clock::now() > end) kill(child, SIGKILL);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    int code = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    EXPECT_EQ(std::tuple(code, Fit(ReadFileBytes(Path("cli.stdout")), out),
                         Fit(ReadFileBytes(Path("cli.stderr")), err)),
              std::tuple(exit_code, out, err));
  }
  void Run(const std::string& how, const std::string& arguments, int exit_code,
           const std::string& out, const std::string& err) {
    auto before = SnapshotFolder(Path("store"));
    Finish(Start(how, arguments), exit_code, out, err);
    EXPECT_EQ(SnapshotFolder(Path("store")), before) << "the source store changed";
  }

  TempFolder work_;
};

// "あい" in ISO-2022-JP, in the subject as an encoded word and in the body; a read, an unread and
// a deleted message.
StoreSpec JapaneseMailbox(bool with_index = true) {
  StoreSpec mailbox;
  mailbox.with_index = with_index;
  mailbox.messages = {
      {"Subject: =?ISO-2022-JP?B?GyRCJCIkJBsoQg==?=\r\nStatus: U\r\n\r\n\x1b$B$\"$$\x1b(B\r\n", 0,
       4},
      {"Subject: unread\r\n\r\nplain\r\n", 2, 0},
      {"Subject: gone\r\n\r\nx\r\n", 1, 9},
  };
  return mailbox;
}

// The first `count` messages of that mailbox converted: read messages gain a read status, which
// only an index tells; a stored Status line goes.
std::string Converted(const std::string& read, size_t count) {
  const std::string messages[] = {
      "Subject: \x82\xa0\x82\xa2\r\n" + read + "\r\n\x82\xa0\x82\xa2\r\n",
      "Subject: unread\r\n\r\nplain\r\n", "Subject: gone\r\n" + read + "\r\nx\r\n"};
  std::string out;
  for (size_t i = 0; i < count; ++i) out += messages[i] + "\r\n.\r\n";
  return out;
}

// Each run starts from the same stores in a folder of its own, so any one runs alone. LC_ALL
// decides before LC_MESSAGES, and that before LANG. A FIFO or a device as a mailbox gets
// kOpenSourceFailed without being waited on; a FIFO as an index is as good as none (read record by
// record, the deleted message too). A failure met on a mailbox names it first; a SOURCE that does
// not exist is said to be missing. Every file and folder a run makes is private (0600, 0700),
// whatever the umask allows. Output lost on stdout is a failure, though the files are written all
// the same. Started without stdin, stdout or stderr, no file the program opens may take their
// place: a notice or the summary would land in a target mailbox. A mailbox whose second record
// header was zeroed: every command's salvage run hands on every other message, reports the damage
// once and ends as done. です。 in EUC-JP reads as the Shift_JIS half-width kana ､ﾇ､ｹ｡｣ too:
// widened, or read as EUC-JP when --prefer-euc, which must reach the converter from the command
// line, asks for it.
TEST_F(CliEndToEndTest, RunsInEveryLanguageAndLaunch) {
  StoreSpec broken = JapaneseMailbox(), four, euc;
  broken.mailbox_magic = "JMF?";
  BuiltStore long_second = BuildStore(JapaneseMailbox(false));
  PutU32(&long_second.mailbox, long_second.record_offsets[1] + kMessageLengthField, 1 << 20);
  for (const char* name : {"one", "two", "three", "four"}) {
    four.messages.push_back({SimpleMessage(name, "body\r\n")});
  }
  BuiltStore damaged = BuildStore(four);
  uint32_t at = damaged.record_offsets[1];
  damaged.mailbox.replace(at, kRecordHeaderSize, std::string(kRecordHeaderSize, '\0'));
  euc.messages = {{"Subject: report\r\n\r\n\xa4\xc7\xa4\xb9\xa1\xa3", 0, 0}};
  // Each row starts from these in a work folder emptied for it.
  auto set_up = [&] {
    for (const auto& entry : fs::directory_iterator(work_.path())) fs::remove_all(entry.path());
    for (const char* folder :
         {"store/empty", "store/bad", "store/two", "store/damaged", "store/euc", "taken", "Used"}) {
      fs::create_directories(Path(folder));
    }
    AddMailbox("Inbox", JapaneseMailbox());
    WriteFileBytes(Path("store/empty/Inbox.idx"), "JMF9");
    WriteStore(Path("store/bad"), "Z", BuildStore(broken));
    ASSERT_EQ(mkfifo(Path("store/bad/Fifo.mbx").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", Path("store/bad/Zero.mbx"));
    WriteStore(Path("store/bad"), "Long", long_second);
    AddMailbox("two/A", JapaneseMailbox());
    AddMailbox("two/B", JapaneseMailbox(false));
    ASSERT_EQ(mkfifo(Path("store/two/B.idx").c_str(), 0600), 0);
    WriteStore(Path("store/damaged"), "Inbox", damaged);
    AddMailbox("euc/Report", euc);
    for (const char* taken : {"taken/Inbox.mbox", "Used/A.mbx", "t00001.eml"}) {
      WriteFileBytes(Path(taken), "mine");
    }
  };
  const std::string kTaken =
      "MS-IM のフォルダーと同じ名前のフォルダーがすでに Corvane! に存在します。\n";
  const std::string kNameTaken =
      "同じ名前のファイルかフォルダーがすでに存在します。上書きはしません。\n";
  const std::string kNothing = "変換するメールボックスが１つもありません。\n";
  // A failure met on a file names the file.
  auto on = [](const std::string& path, const std::string& text) {
    return "ferrolt-cli: " + path + ": " + text;
  };
  const std::string kNoSource = "CreateFile(Source) のエラーです。Code=<*";
  const std::string kLost = "ferrolt-cli: 標準出力に書き込めません: No space left on device\n";
  const std::string kSalvage =
      "ferrolt-cli: サルベージ: Inbox.mbx: 取り出したメール: 3 通 (index 3、chain 0、scan 0)\n"
      "ferrolt-cli: サルベージ: Inbox.mbx: 使わなかったインデックス項目: 1 個\n"
      "ferrolt-cli: サルベージ: Inbox.mbx: " +
      std::to_string(damaged.record_offsets[2] - at) + " バイトを飛ばしました (オフセット " +
      std::to_string(at) + ")\n";
  const std::string kOne = "1 個のメールボックスから、計 1 通のメールを変換しました。\n";
  const std::string kTwo = "1 個のメールボックスから、計 2 通のメールを変換しました。\n";
  const std::string kThree = "1 個のメールボックスから、計 3 通のメールを変換しました。\n";
  const std::tuple<std::string, std::string, int, std::string, std::string> kRuns[] = {
      {"LC_ALL=", "--help", 0, "Usage:\n*", ""},
      {"LC_ALL= LANG=ja_JP.eucJP", "--help", 0, "使い方:\n*", ""},
      {"LC_ALL= LC_MESSAGES=ja_JP LANG=C", "mbox store", 2, "",
       "ferrolt-cli: mbox には --to DIR が必要です\n\n使い方:*"},
      {"", "list store/missing.mbx", 1, "",
       on("store/missing.mbx", "CreateFile(Source) のエラーです。Code=<2>\n*")},
      {"", "import --to T store/empty", 1, "", kNothing},
      {"", "import --to T store/Inbox.idx", 1, "",
       "ferrolt-cli: store/Inbox.idx は .mbx メールボックスではないので飛ばします\n" + kNothing},
      {"", "import --to B store/Inbox.mbx store/bad/Z.mbx", 1, "",
       on("store/bad/Z.mbx",
          "Microsoft Internet Mail メールボックス形式のファイルではありません。\n")},
      {"", "eml --prefix x store/bad/Fifo.mbx", 1, "", on("store/bad/Fifo.mbx", kNoSource)},
      {"", "eml --prefix x store/bad/Zero.mbx", 1, "", on("store/bad/Zero.mbx", kNoSource)},
      {"", "mbox --to taken store", 1, "", kNameTaken + "taken\n"},
      {"", "maildir --to taken store", 1, "", kNameTaken + "taken\n"},
      {"LC_ALL=C LANG=ja_JP.UTF-8", "eml --prefix m 'store/x\x1b[2J.txt' store/Inbox.mbx", 0,
       "Mailboxes: 1, mails converted: 2.\n",
       "ferrolt-cli: skipping store/x\\x1b[2J.txt: it does not exist\n"},
      {"LC_ALL= LANG=en_US.UTF-8", "eml --prefix t store/Inbox.idx store/Inbox.mbx", 1, "",
       "ferrolt-cli: skipping store/Inbox.idx: not a .mbx mailbox\n" +
           on("store/Inbox.mbx",
              "Something of the same name already exists and is left as it is:\nt00001.eml\n")},
      {"", "eml --prefix t store/Inbox.mbx store/none", 1, "",
       "ferrolt-cli: store/none は存在しないので飛ばします\n" +
           on("store/Inbox.mbx", kNameTaken + "t00001.eml\n")},
      {"LC_ALL= LANG=en_US.UTF-8 >/dev/full", "--help", 1, "",
       "ferrolt-cli: cannot write to standard output: No space left on device\n"},
      {"umask 0;", "import --include-deleted --to Corvane store/two", 0,
       "2 個のメールボックスから、計 6 通のメールを変換しました。\n（内、削除メール 1 通）\n", ""},
      {"", "import --to Used store/two", 1, "", on("store/two/A.mbx", kTaken + "Used/A.mbx\n")},
      {">/dev/full", "list store/Inbox.mbx", 1, "", kLost},
      {">/dev/full", "eml --prefix f store/Inbox.mbx", 1, "", kLost},
      {">/dev/full", "--help", 1, "", kLost},
      {"1>&- 2>&-", "import --to c6 store/bad/Long.mbx", 1, "", ""},
      {"1>&- 2>&-", "eml --prefix c6 store/bad/Long.mbx", 1, "", ""},
      {"<&- 1>&- 2>&-", "import --to c7 store/bad/Long.mbx", 1, "", ""},
      {"<&- 1>&- 2>&-", "eml --prefix c7 store/bad/Long.mbx", 1, "", ""},
      {"1>&-", "import --to S store/Inbox.mbx", 0, "", ""},
      {"umask 0;", "eml --salvage --prefix s store/damaged", 0, kThree, kSalvage},
      {"", "list --salvage store/damaged/Inbox.mbx", 0,
       "1\t*\tone\tindex\n2\t*\tthree\tindex\n3\t*\tfour\tindex\n", kSalvage},
      {"", "import --salvage --to sT store/damaged", 0, kThree, kSalvage},
      {"umask 0;", "mbox --salvage --to sm store/damaged", 0, kThree, kSalvage},
      {"umask 0;", "maildir --salvage --to sd store/damaged", 0, kThree, kSalvage},
      {"umask 0;", "maildir --to md store/Inbox.mbx", 0, kTwo, ""},
      {"", "import --to kana store/euc", 0, kOne, ""},
      {"", "import --prefer-euc --to euc store/euc", 0, kOne, ""},
  };
  const std::string kFirst = JapaneseMailbox().messages[0].bytes;
  const std::map<std::string, std::string> kFiles = {
      {"T", "<none>"},
      {"m00002.eml", "Subject: unread\r\n\r\nplain\r\n"},
      {"t00001.eml", "mine"},
      {"Used/A.mbx", "mine"},
      {"x00001.eml", "<none>"},
      {"B/Inbox.mbx", Converted("Status: R\r\n", 2)},
      {"taken/Inbox.mbox", "mine"},
      {"taken/Inbox", "<none>"},
      {"Corvane/A.mbx", Converted("Status: R\r\n", 3)},
      {"Corvane/B.mbx", Converted("", 3)},
      {"Corvane.mbx", ""},
      {"f00002.eml", "Subject: unread\r\n\r\nplain\r\n"},
      {"c6/Long.mbx", Converted("", 1)},
      {"c600001.eml", kFirst},
      {"c7/Long.mbx", Converted("", 1)},
      {"c700001.eml", kFirst},
      {"S/Inbox.mbx", Converted("Status: R\r\n", 2)},
      {"s00003.eml", four.messages[3].bytes},
      {"s00004.eml", "<none>"},
      {"kana/Report.mbx",
       "Subject: report\r\nStatus: "
       "R\r\n\r\n\x81\x41\x83\x6b\x81\x41\x83\x50\x81\x42\x81\x76\r\n.\r\n"},
      {"euc/Report.mbx", "Subject: report\r\nStatus: R\r\n\r\n\x82\xc5\x82\xb7\x81\x42\r\n.\r\n"},
  };
  // Each file as the row that made it left it; every file and folder a row made is private.
  std::map<std::string, std::string> files;
  for (const auto& [name, bytes] : kFiles) files[name] = "<none>";
  for (const auto& [how, arguments, exit_code, out, err] : kRuns) {
    SCOPED_TRACE(how + " " + arguments);
    set_up();
    const auto before = Modes(work_.path());
    Run(how, arguments, exit_code, out, err);
    std::map<std::string, std::string> not_private;
    for (const auto& [name, mode] : Modes(work_.path())) {
      if (!before.contains(name) && !name.starts_with("cli.") && mode != "600" && mode != "d700") {
        not_private[name] = mode;
      }
    }
    EXPECT_EQ(not_private, (std::map<std::string, std::string>{}));
    for (const auto& [name, bytes] : kFiles) {
      if (fs::exists(Path(name))) files[name] = ReadFileBytes(Path(name));
    }
    if (arguments.starts_with("import --include-deleted")) {
      EXPECT_EQ(SnapshotFolder(Path("Corvane")).size(), 2u);
    }
  }
  EXPECT_EQ(files, kFiles);
}

// What `command` prints; a failure fails the test.
std::string Output(const std::string& command) {
  std::string text;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot start " << command;
    return text;
  }
  for (int c; (c = fgetc(pipe)) != EOF;) text += static_cast<char>(c);
  EXPECT_EQ(pclose(pipe), 0) << command;
  return text;
}

// Flags and bytes of each message read_back.py reads from what a run of `command` left in
// `folder` for mailbox `box`, in the order written.
using ReadMessage = std::pair<std::string, std::string>;
std::vector<ReadMessage> Written(const std::string& command, const std::string& folder,
                                 const std::string& box = "Box") {
  // The interpreter itself, not what python3 names: a version manager's stand-in script is slow.
  static const std::string python =
      Output("python3 -c 'import sys; sys.stdout.write(sys.executable)'");
  std::istringstream lines(
      Output(python + " " FERROLT_READ_BACK " " + command + " " + folder + " " + box));
  std::vector<ReadMessage> messages;
  for (std::string flags, hex; lines >> flags >> hex;) {
    messages.push_back({flags, ""});
    for (size_t i = 1; i + 1 < hex.size(); i += 2) {
      messages.back().second += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
  }
  return messages;
}

// Plain mail of about `size` bytes each, every third unread.
StoreSpec PlainStore(const std::vector<size_t>& sizes) {
  StoreSpec mailbox;
  for (size_t i = 0; i < sizes.size(); ++i) {
    std::string mail = "From: a@example.jp\r\nSubject: n" + std::to_string(i) + "\r\n\r\n";
    while (mail.size() + 72 <= sizes[i]) {
      mail += std::string(70, static_cast<char>('a' + i % 26)) + "\r\n";
    }
    mailbox.messages.push_back({mail, static_cast<uint8_t>(i % 3 == 1 ? 2 : 0), 0});
  }
  return mailbox;
}

class DataSafetyTest : public CliEndToEndTest {
 protected:
  // Where `command` writes in `folder`: mbox and Maildir make their own folder in out/, where a
  // full disk may be mounted.
  static std::string Target(const std::string& folder, const std::string& command) {
    return folder + (command == "mbox" || command == "maildir" ? "/out/to" : "/out");
  }
  // Writes `mailbox` as Box of `folder`/store and starts `command` on it into `folder`/out.
  pid_t StartOn(const std::string& folder, const std::string& command, const std::string& how,
                const StoreSpec& mailbox) {
    fs::create_directories(Path(folder + "/store"));
    if (command != "import") fs::create_directories(Path(folder + "/out"));  // import makes it
    WriteStore(Path(folder + "/store"), "Box", BuildStore(mailbox));
    std::string to = command == "eml" ? " --prefix " + folder + "/out/m "
                                      : " --to " + Target(folder, command) + " ";
    return Start(how, command + to + folder + "/store");
  }
};

// A run stopped by a signal (asked for before every message, in both reading modes) exits with
// 128 + the signal, silently, having finished the message in hand. A failed write (on a full disk,
// mounted where this process may mount one, or past `ulimit -f`, where SIGXFSZ must not end the
// program) is taken back. Either way, what the run left is what a run without trouble writes for
// that many first messages, and nothing of a Maildir's is left in its tmp/.
TEST_F(DataSafetyTest, TroubleLeavesWholeMessagesOnly) {
  const std::string kStopped =
      "ferrolt-cli: 中断しました。書き出したファイルはどれも完全なメールだけを含みます\n";
  const std::string kCut =
      "ferrolt-cli: run/store/Box.mbx: WriteFile(Destination) のエラーです。Code=<";
  // Command, what goes before it, the signal that stops it, whether the mailbox has an index,
  // whether a full disk stops it, stderr.
  const std::tuple<std::string, std::string, int, bool, bool, std::string> kCases[] = {
      {"eml", "", SIGINT, true, false, kStopped},
      {"eml", "", SIGTERM, false, false, kStopped},
      {"import", "", SIGHUP, true, false, kStopped},
      {"import", "", SIGINT, false, false, kStopped},
      {"mbox", "", SIGTERM, true, false, kStopped},
      {"maildir", "", SIGINT, true, false, kStopped},
      {"mbox", "", SIGHUP, false, false, kStopped},
      {"maildir", "", SIGTERM, false, false, kStopped},
      {"eml", "ulimit -f 128;", 0, true, false, kCut + "27>*"},
      {"import", "ulimit -f 128;", 0, true, false, kCut + "27>*"},
      {"mbox", "ulimit -f 128;", 0, true, false, kCut + "27>*"},
      {"maildir", "ulimit -f 128;", 0, false, false, kCut + "27>*"},
      {"eml", "", 0, true, true, kCut + "28>*"},
      {"import", "", 0, true, true, kCut + "28>*"},
      {"mbox", "", 0, false, true, kCut + "28>*"},
      {"maildir", "", 0, true, true, kCut + "28>*"},
  };
  for (const auto& [command, how, signal_number, with_index, disk, err] : kCases) {
    SCOPED_TRACE(command + " " + how + std::to_string(signal_number) + " " + err);
    // 20,000 messages, or a third message too big for the 64 KB a limit or disk leaves.
    StoreSpec mailbox =
        PlainStore(signal_number ? std::vector<size_t>(20000, 300)
                                 : std::vector<size_t>{20000, 20000, 100000, 20000});
    mailbox.with_index = with_index;
    if (disk) fs::create_directories(Path("run/out"));
    // Mounting needs root; the limit covers the rest.
    if (disk && mount("tmpfs", Path("run/out").c_str(), "tmpfs", 0, "size=64k") != 0) {
      fs::remove_all(Path("run"));  // a later row may want run/out not to exist
      continue;
    }
    pid_t child = StartOn("run", command, how, mailbox);
    std::error_code error;
    auto has_bytes = [&](const fs::directory_entry& entry) {
      return entry.is_regular_file(error) && entry.file_size(error) > 0;
    };
    // Until a file has bytes.
    for (int ms = 0; signal_number != 0 && ms < 60000; ++ms) {
      fs::recursive_directory_iterator files(Path(Target("run", command)), error);
      if (std::any_of(fs::begin(files), fs::end(files), has_bytes)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (signal_number != 0) kill(child, signal_number);
    Finish(child, signal_number ? 128 + signal_number : 1, "", err);
    std::vector<ReadMessage> left = Written(command, Path(Target("run", command)));
    EXPECT_TRUE(signal_number ? !left.empty() && left.size() < mailbox.messages.size()
                              : left.size() == 2)
        << left.size();
    if (command == "maildir") {
      EXPECT_TRUE(fs::is_empty(Path("run/out/to/Box/tmp")));
    }
    mailbox.messages.resize(left.size());
    Finish(StartOn("sound", command, "", mailbox), 0, "*", "");
    EXPECT_EQ(Written(command, Path(Target("sound", command))), left);
    if (disk) umount2(Path("run/out").c_str(), MNT_DETACH);
    for (const char* folder : {"run", "sound"}) fs::remove_all(Path(folder));
  }
}

// A signal must end a wait too: here a write to a pipe that nobody reads.
TEST_F(DataSafetyTest, ASignalEndsAWriteThatWaitsOnAFullPipe) {
  AddMailbox("Box", PlainStore(std::vector<size_t>(20000, 100)));
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
  int reader = open(Path("pipe").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // never read
  pid_t child = Start(">pipe", "list store/Box.mbx");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the pipe fills in far less
  kill(child, SIGTERM);
  Finish(child, 128 + SIGTERM, "", "*");  // not 128 + SIGKILL: killed after waiting on
  close(reader);
}

// A header of 40 MB without an empty line under `ulimit -v 150000`: kOutOfMemory, not an abort.
TEST_F(DataSafetyTest, AMessageTooBigForMemoryGetsOutOfMemoryNotice) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer cannot run under an address space limit";
#endif
  StoreSpec big;
  big.messages = {{"", 0, 0}};
  while (big.messages[0].bytes.size() < 40'000'000) {
    big.messages[0].bytes += "X-Filler: " + std::string(76, 'f') + "\r\n";
  }
  AddMailbox("Big", big);
  Run("ulimit -v 150000;", "import --to T store", 1, "",
      "ferrolt-cli: store/Big.mbx: メモリが確保できませんでした。\n");
  EXPECT_EQ(ReadFileBytes(Path("T/Big.mbx")), "");
}

// `message` without the Status and X-Status fields of its header and their folded lines.
std::string WithoutStatusLines(const std::string& message) {
  std::string kept;
  size_t header_end = message.find("\r\n\r\n");
  bool dropping = false;
  for (size_t at = 0; at < message.size();) {
    size_t end = std::min(message.find('\n', at), message.size() - 1) + 1;
    std::string line = message.substr(at, end - at);
    if (line[0] != '\t') dropping = line.starts_with("Status:") || line.starts_with("X-Status:");
    if (!dropping || at > header_end) kept += line;
    at = end;
  }
  return kept;
}

// Every kind of message the converter meets and every flag combination, in an indexed mailbox;
// and one without an index, both named in code page 932 as on the old disk. For mbox, Python
// must read back each entry our writer made and formail must count every message, whatever
// length a stale Content-Length claims; Maildir gets each message's bytes without the status lines
// a 1990s server left (X-Status: D would make mutt show a read message deleted and purge it).
// Dovecot, with UTF-8 names on disk, serves both over IMAP under their Japanese names with each
// message's flags and date (the Date header's, else the mailbox file's), and notmuch finds each
// Maildir by its name.
TEST_F(DataSafetyTest, MboxAndMaildirReadBackWithEveryMessageAndFlag) {
  const std::string date = "Date: Mon, 5 May 1997 10:11:00 +0900\r\n";
  StoreSpec inbox, outbox;
  inbox.messages = {
      {date + "From: Taro <t@x.jp>\r\nSubject: read\r\n\r\nFrom the start\r\n>From x\r\n", 0, 3},
      {date + "Subject: status lines of a server\r\nStatus: RO\r\nX-Status: "
              "D\r\n\tfolded\r\nContent-Length: 9999\r\nLines: 1\r\n\r\n"
              "read, kept\r\n",
       0, 0},
      {date + "Subject: unread\r\nStatus: RO\r\nX-Status: F\r\n\r\n\x1b$B$\"$$\x1b(B\r\n", 2, 0},
      {"Return-Path: <b@x>\nSubject: lf only, deleted\n\nline\nFrom y\n", 1, 5},
      {"Subject: deleted and unread\r\n\r\nlone\rCR, no final line end", 3, 0},
      {"Subject: header only\r\n", 0, 0},
      {date + "Subject: nul\r\n\r\n" + std::string("a\0b\r\n\r\n\r\n", 9), 2, 1},
  };
  outbox.with_index = false;
  outbox.messages = {{SimpleMessage("sent", "From me\r\n"), 0, 0},
                     {"Subject: no index\r\nStatus: R\r\nContent-Length: 1\r\n\r\nbody\r\n", 0, 2}};
  const std::string kInbox = "受信トレイ", kOutbox = "送信トレイ";
  AddMailbox("\x8e\xf3\x90\x4d\x83\x67\x83\x8c\x83\x43", inbox);
  AddMailbox("\x91\x97\x90\x4d\x83\x67\x83\x8c\x83\x43", outbox);
  const int64_t kUndated = 700000000;  // mail without a date takes its mailbox's time
  for (const auto& entry : fs::directory_iterator(Path("store"))) {
    fs::last_write_time(entry.path(), std::chrono::file_clock::from_sys(std::chrono::sys_seconds(
                                          std::chrono::seconds(kUndated))));
  }
  for (std::string command : {"mbox", "maildir"}) {
    Run("", command + " --include-deleted --to " + command + " store", 0, "*", "");
    std::vector<ReadMessage> served;
    for (auto [name, box] : {std::pair{kInbox, &inbox}, {kOutbox, &outbox}}) {
      SCOPED_TRACE(command + " " + name);
      std::vector<ReadMessage> expected, counted, mutt;
      for (const MessageSpec& message : box->messages) {
        bool is_read = box->with_index && (message.flags & 2) == 0;
        bool is_deleted = box->with_index && (message.flags & 1) != 0;
        std::string flags = std::string(is_read ? "S" : "") + (is_deleted ? "T" : "");
        served.push_back(
            {flags.empty() ? "-" : flags,
             name + (command == "mbox" ? ".mbox " : " ") +
                 std::to_string(message.bytes.starts_with(date) ? 862794660 : kUndated)});
        counted.push_back({"-", ""});
        // mutt counts the deleted ones, purges them on quitting and keeps the rest.
        mutt.insert(is_deleted ? mutt.begin() : mutt.end(), {is_deleted ? "T" : "-", ""});
        expected.push_back(
            {flags.empty() ? "new:" : "cur:" + flags, WithoutStatusLines(message.bytes)});
        if (command == "maildir") continue;
        MessageRecord record;
        record.has_flags = box->with_index;
        record.flags = message.flags;
        std::vector<char> entry(MboxEntryBound(message.bytes.size()));
        std::string_view made(entry.data(), MboxEntry(message.bytes, record, 0, entry.data()));
        size_t from = made.find('\n') + 1;  // the From line, and the blank line at the end
        flags = std::string(is_deleted ? "D" : "") + (is_read ? "OR" : "O");
        expected.back() = {box->with_index ? flags : "-",
                           std::string(made.substr(from, made.size() - 1 - from))};
      }
      EXPECT_EQ(Written(command, Path(command), name), expected);
      EXPECT_EQ(Written(command == "mbox" ? "formail" : "notmuch", Path(command), name), counted);
      EXPECT_EQ(Written("mutt " + command, Path(command), name), mutt);
    }
    EXPECT_EQ(Written("imap " + command, Path(command), ""), served);
  }
  EXPECT_TRUE(fs::is_empty(Path("maildir/" + kInbox + "/tmp")));
}

}  // namespace
}  // namespace ferrolt

// A signal that comes before anything else happened still only asks the program to stop: its
// handlers are set first. Here the usage message, the first thing written, waits on a full
// pipe; the signal ends that wait instead of the process.
TEST(EarlySignalTest, ASignalBeforeTheFirstWriteEndsTheWaitNotTheProcess) {
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  fcntl(pipe_ends[1], F_SETFL, O_NONBLOCK);
  while (write(pipe_ends[1], std::string(4096, 'x').data(), 4096) > 0) {
  }
  fcntl(pipe_ends[1], F_SETFL, 0);
  pid_t child = fork();
  if (child == 0) {
    dup2(pipe_ends[1], 2);
    execl(FERROLT_CLI_PATH, FERROLT_CLI_PATH, "--no-such-option", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_ends[1]);
  // Waits until the child sleeps in its write to the pipe.
  const std::string wchan = "/proc/" + std::to_string(child) + "/wchan";
  for (int ms = 0;
       ms < 30000 && ferrolt::testing::ReadFileBytes(wchan).find("pipe") == std::string::npos;
       ++ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  close(pipe_ends[0]);
  EXPECT_FALSE(WIFSIGNALED(status)) << "killed by signal " << WTERMSIG(status);
}
