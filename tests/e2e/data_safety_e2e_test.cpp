// Whatever ferrolt-cli wrote before it stopped holds whole messages only: after a signal, a full
// disk, a file size limit, or memory running out. The mbox and Maildir outputs are read back by
// readers that are not ours: Python's mailbox module must give back every message's bytes and
// flags, and Dovecot must count the same messages and the same read, unread and deleted ones.

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "convert/eml_export.h"
#include "convert/mbox_export.h"
#include "tests/e2e/cli_runner.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

// Flags and bytes.
using ReadMessage = std::pair<std::string, std::string>;

// What read_back.py prints about `path`, kept beside it; a failed read fails the test.
std::string ReadBack(const std::string& kind, const std::string& path) {
  std::string command =
      "python3 " FERROLT_READ_BACK " " + kind + " " + path + " >" + path + ".read";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return ReadFileBytes(path + ".read");
}

// What Python's reader gives, in the order the run wrote it.
std::vector<ReadMessage> ReadWithPython(const std::string& kind, const std::string& path) {
  std::vector<ReadMessage> messages;
  std::istringstream lines(ReadBack(kind, path));
  for (std::string flags, hex; lines >> flags >> hex;) {
    messages.push_back({flags, ""});
    for (size_t i = 1; i + 1 < hex.size(); i += 2) {
      messages.back().second += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
  }
  return messages;
}

std::string Arguments(const std::string& command, const std::string& out) {
  return command + (command == "eml" ? " --prefix " + out + "/m" : " --to " + out) + " store";
}

// The messages a run of `command` into `out` left for mailbox Box, in the order written; for mbox
// and Maildir as Python reads them. A partial message in a target mailbox is a last piece.
std::vector<std::string> Written(const std::string& command, const std::string& out) {
  std::vector<std::string> messages;
  if (command == "eml") {
    for (int n = 1; fs::exists(EmlFileName(out + "/m", n)); ++n) {
      messages.push_back(ReadFileBytes(EmlFileName(out + "/m", n)));
    }
    EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(out), {})), messages.size())
        << "a gap";
  } else if (command == "import") {
    std::string target = ReadFileBytes(out + "/Box.mbx");
    for (size_t at = 0, end = 0; at < target.size(); at = end) {
      end = target.find("\r\n.\r\n", at);
      end = end == std::string::npos ? target.size() : end + 5;
      messages.push_back(target.substr(at, end - at));
    }
  } else {
    for (const ReadMessage& read :
         ReadWithPython(command, out + (command[1] == 'b' ? "/Box.mbox" : "/Box"))) {
      messages.push_back(read.second);
    }
  }
  return messages;
}

// What a run of `command` left in `out` must be what a run without trouble writes for the same
// number of first messages of `spec`: at least one, not all. Returns that number.
size_t ExpectWholeMessages(const std::string& command, const std::string& out, StoreSpec spec) {
  std::vector<std::string> written = Written(command, out);
  EXPECT_GE(written.size(), 1u);
  EXPECT_LT(written.size(), spec.messages.size()) << "the run ended before the trouble came";
  spec.messages.resize(written.size());
  TempFolder sound;
  fs::create_directory(sound.Join("store"));
  if (command == "eml") fs::create_directory(sound.Join("out"));  // mbox and Maildir make it
  WriteStore(sound.Join("store"), "Box", BuildStore(spec));
  CliResult result =
      FinishCli(sound.path(), StartCli(sound.path(), Words(Arguments(command, "out"))));
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_TRUE(Written(command, sound.Join("out")) == written);
  return written.size();
}

// Plain mail of about `size` bytes each, every third unread.
StoreSpec PlainStore(const std::vector<size_t>& sizes) {
  StoreSpec spec;
  for (size_t i = 0; i < sizes.size(); ++i) {
    std::string mail = "From: a@example.jp\r\nSubject: n" + std::to_string(i) + "\r\n\r\n";
    while (mail.size() + 72 <= sizes[i]) {
      mail += std::string(70, static_cast<char>('a' + i % 26)) + "\r\n";
    }
    spec.messages.push_back({mail, static_cast<uint8_t>(i % 3 == 1 ? 2 : 0), 0});
  }
  return spec;
}

using DataSafetyTest = CliTest;

// Stopped runs exit with 128 + the signal, silently, having finished the message in hand and
// written no other; a stop is asked for before every message in both reading modes.
TEST_F(DataSafetyTest, ASignalStopsAfterAWholeMessage) {
  StoreSpec spec = PlainStore(std::vector<size_t>(20000, 300));
  const struct {
    const char* command;
    int signal_number;
    bool with_index;
  } kCases[] = {{"eml", SIGINT, true},     {"eml", SIGTERM, false}, {"import", SIGHUP, true},
                {"import", SIGINT, false}, {"mbox", SIGTERM, true}, {"maildir", SIGINT, true}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.command) + " " + std::to_string(c.signal_number));
    spec.with_index = c.with_index;
    fs::remove_all(Path("out"));
    fs::remove(Path("store/Box.idx"));
    if (c.command[0] == 'e') fs::create_directory(Path("out"));
    AddMailbox("Box", spec);
    pid_t child = StartCli(work_.path(), Words(Arguments(c.command, "out")));
    std::error_code error;
    auto written = [&](const fs::directory_entry& entry) {
      return entry.is_regular_file(error) && entry.file_size(error) > 0;
    };
    for (int ms = 0; ms < 60000; ++ms) {  // until the first file has content
      auto files = fs::recursive_directory_iterator(Path("out"), error);
      if (std::any_of(fs::begin(files), fs::end(files), written)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(child, c.signal_number);
    CliResult result = FinishCli(work_.path(), child);
    EXPECT_EQ(result.exit_code, 128 + c.signal_number);
    EXPECT_EQ(result.out + result.err,
              "ferrolt-cli: 中断しました。書き出したファイルはどれも完全なメールだけを含みます\n");
    ExpectWholeMessages(c.command, Path("out"), spec);
  }
}

// A signal must end a wait too: here a write to a pipe that nobody reads.
TEST_F(DataSafetyTest, ASignalEndsAWriteThatWaitsOnAFullPipe) {
  AddMailbox("Box", PlainStore(std::vector<size_t>(20000, 100)));
  int ends[2];
  ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
  CliLaunch launch;
  launch.stdout_fd = ends[1];
  pid_t child = StartCli(work_.path(), {"list", "store/Box.mbx"}, launch);
  close(ends[1]);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the pipe fills in far less
  kill(child, SIGTERM);
  CliResult result = FinishCli(work_.path(), child, 20);
  close(ends[0]);
  EXPECT_EQ(result.exit_code, 128 + SIGTERM) << "killed after going on waiting: 128 + SIGKILL";
}

// A failed write (a full disk of 256 KB, mounted where this process may mount one, or past
// `ulimit -f`, where SIGXFSZ must not end the program) is taken back: whole messages remain.
TEST_F(DataSafetyTest, AFailedWriteTakesBackTheMessageItCut) {
  fs::create_directory(Path("disk"));
  bool mounted = mount("tmpfs", Path("disk").c_str(), "tmpfs", 0, "size=262144") == 0;
  const std::vector<size_t> kLimited = {20000, 20000, 100000, 20000}, kFull(60, 20000);
  const struct {
    const char *command, *out;
    uint64_t file_size_limit;
    std::string error;
  } kCases[] = {{"eml", "out", 64 * 1024, "27>"},
                {"import", "out", 64 * 1024, "27>"},
                {"eml", "disk/eml", 0, "28>"},
                {"import", "disk/import", 0, "28>"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.command) + " " + c.out);
    if (c.file_size_limit == 0 && !mounted) continue;  // needs root; the limit covers the rest
    StoreSpec spec = AddMailbox("Box", PlainStore(c.file_size_limit ? kLimited : kFull));
    fs::create_directories(Path(c.out));
    CliLaunch launch;
    launch.file_size_limit = c.file_size_limit;
    CliResult result = Run(Arguments(c.command, c.out), launch);
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.err.rfind("WriteFile(Destination) のエラーです。Code=<" + c.error, 0), 0u)
        << result.err;
    size_t written = ExpectWholeMessages(c.command, Path(c.out), spec);
    EXPECT_EQ(written == 2, c.file_size_limit != 0) << written;
    fs::remove_all(Path(c.out));
  }
  if (mounted) umount2(Path("disk").c_str(), MNT_DETACH);
}

// A header of 40 MB without an empty line under `ulimit -v 150000`: notice 62, not an abort.
TEST_F(DataSafetyTest, AMessageTooBigForMemoryGetsNotice62) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer cannot run under an address space limit";
#endif
  StoreSpec spec;
  std::string header;
  while (header.size() < 40 * 1000 * 1000) header += "X-Filler: " + std::string(76, 'f') + "\r\n";
  spec.messages = {{header, 0, 0}};
  AddMailbox("Big", spec);
  CliLaunch launch;
  launch.memory_limit = uint64_t{150000} * 1024;
  CliResult result = Run("import --to T store", launch);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "メモリが確保できませんでした。\n");
  EXPECT_EQ(ReadFileBytes(Path("T/Big.mbx")), "");
}

// Every kind of message the converter meets and every flag combination, in an indexed mailbox;
// and one without an index. For mbox, Python must read back each entry our writer made.
TEST_F(DataSafetyTest, MboxAndMaildirReadBackWithEveryMessageAndFlag) {
  const std::string date = "Date: Mon, 5 May 1997 10:11:00 +0900\r\n";
  StoreSpec inbox, outbox;
  inbox.messages = {
      {date + "From: Taro <t@x.jp>\r\nSubject: read\r\n\r\nFrom the start\r\n>From x\r\n", 0, 3},
      {date + "Subject: unread\r\nStatus: RO\r\nX-Status: F\r\n\r\n\x1b$B$\"$$\x1b(B\r\n", 2, 0},
      {"Return-Path: <b@x>\nSubject: lf only, deleted\n\nline\nFrom y\n", 1, 5},
      {"Subject: deleted and unread\r\n\r\nlone\rCR, no final line end", 3, 0},
      {"Subject: header only\r\n", 0, 0},
      {date + "Subject: nul\r\n\r\n" + std::string("a\0b\r\n\r\n\r\n", 9), 2, 1},
  };
  outbox.with_index = false;
  outbox.messages = {{SimpleMessage("sent", "From me\r\n"), 0, 0},
                     {"Subject: no index\r\nStatus: R\r\n\r\nbody\r\n", 0, 2}};
  AddMailbox("Inbox", inbox);
  AddMailbox("Outbox", outbox);
  for (std::string command : {"mbox", "maildir"}) {
    for (std::string option : {" --include-deleted", ""}) {
      std::string out = command + (option.empty() ? "-kept" : "-all");
      ASSERT_EQ(Run(command + option + " --to " + out + " store").exit_code, 0);
      for (const StoreSpec* box : {&inbox, &outbox}) {
        std::string path = Path(out) + (box == &inbox ? "/Inbox" : "/Outbox");
        path += command == "mbox" ? ".mbox" : "";
        SCOPED_TRACE(path);
        std::vector<ReadMessage> expected;
        int seen = 0, deleted = 0;
        for (const MessageSpec& message : box->messages) {
          bool is_read = box->with_index && (message.flags & 2) == 0;
          bool is_deleted = box->with_index && (message.flags & 1) != 0;
          if (is_deleted && option.empty()) continue;
          seen += is_read;
          deleted += is_deleted;
          std::string flags = std::string(is_read ? "S" : "") + (is_deleted ? "T" : "");
          expected.push_back({flags.empty() ? "new:" : "cur:" + flags, message.bytes});
          if (command == "maildir") continue;
          MessageRecord record;
          record.has_flags = box->with_index;
          record.flags = message.flags;
          std::vector<char> entry(MboxEntryBound(message.bytes.size()));
          std::string_view made(entry.data(), MboxEntry(message.bytes, record, entry.data()));
          size_t from = made.find('\n') + 1;  // the From line, and the blank line at the end
          flags = std::string(is_deleted ? "D" : "") + (is_read ? "OR" : "O");
          expected.back().first = box->with_index ? flags : "-";
          expected.back().second = made.substr(from, made.size() - 1 - from);
        }
        EXPECT_EQ(ReadWithPython(command, path), expected);
        if (option.empty()) continue;  // Dovecot reads one of the two runs, which is slow
        EXPECT_EQ(ReadBack("dovecot " + command, path),
                  "messages=" + std::to_string(expected.size()) + " seen=" + std::to_string(seen) +
                      " deleted=" + std::to_string(deleted) + "\n");
      }
    }
  }
  EXPECT_TRUE(fs::is_empty(Path("maildir-all/Inbox/tmp")));
}

}  // namespace
}  // namespace ferrolt
