// The mbox and Maildir outputs read back by readers that are not ours: Python's mailbox module
// must give back every message's bytes and flags, and Dovecot must count the same messages and
// the same read, unread and deleted ones. Also: the source is left as it was, nothing existing
// is overwritten, and Ctrl-C leaves whole messages only.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/hardening/cli_runner.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

struct ReadMessage {
  std::string key, flags, bytes;
};

std::string FromHex(const std::string& hex) {
  std::string bytes;
  if (hex == "-") return bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

// The output of `command`; a failed command fails the test.
std::string Output(const std::string& command) {
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  std::string text;
  char block[65536];
  while (size_t got = std::fread(block, 1, sizeof block, pipe)) text.append(block, got);
  int status = pclose(pipe);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
  return text;
}

std::string ReadBack(const std::string& arguments) {
  return Output("python3 " FERROLT_READ_BACK " " + arguments);
}

// What Python's reader gave, in the order the run wrote the messages.
std::vector<ReadMessage> ReadWithPython(const std::string& kind, const std::string& path) {
  std::vector<ReadMessage> messages;
  std::string text = ReadBack(kind + " '" + path + "'");
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    std::string line = text.substr(at, end - at);
    at = end + 1;
    size_t first = line.find(' '), second = line.find(' ', first + 1);
    messages.push_back({line.substr(0, first), line.substr(first + 1, second - first - 1),
                        FromHex(line.substr(second + 1))});
  }
  // Maildir keys are "time.number.host": the number is the run's order.
  auto number = [](const ReadMessage& m) { return std::stol(m.key.substr(m.key.find('.') + 1)); };
  if (kind == "maildir") {
    std::sort(messages.begin(), messages.end(),
              [&](const ReadMessage& a, const ReadMessage& b) { return number(a) < number(b); });
  }
  return messages;
}

bool IsStatusLine(const std::string& line) {
  std::string name = line.substr(0, line.find(':'));
  std::transform(name.begin(), name.end(), name.begin(), ::tolower);
  return line.find(':') != std::string::npos && (name == "status" || name == "x-status");
}

// A message as mbox keeps it, less what mbox changes by rule: CR LF as LF, a final line end,
// and no Status or X-Status lines in the header. `unquote` undoes the quoting of From lines.
std::string Comparable(const std::string& message, bool unquote) {
  std::string text, line;
  bool in_header = true, dropping = false;
  for (size_t at = 0; at < message.size();) {
    size_t end = message.find('\n', at);
    end = end == std::string::npos ? message.size() : end + 1;
    line = message.substr(at, end - at);
    at = end;
    if (line.size() >= 2 && line.substr(line.size() - 2) == "\r\n") line.erase(line.size() - 2, 1);
    if (in_header && (line[0] == '\n' || line[0] == '\r')) in_header = false;
    if (in_header && line[0] != ' ' && line[0] != '\t') dropping = IsStatusLine(line);
    if (in_header && dropping) continue;
    size_t quotes = line.find_first_not_of('>');
    if (unquote && quotes > 0 && quotes != std::string::npos &&
        line.compare(quotes, 5, "From ") == 0) {
      line.erase(0, 1);
    }
    text += line;
  }
  if (!text.empty() && text.back() != '\n') text += '\n';
  return text;
}

std::string MboxFlags(uint8_t flags, bool indexed) {
  if (!indexed) return "-";
  std::string read = (flags & 2) != 0 ? "O" : "OR";
  return (flags & 1) != 0 ? "D" + read : read;
}

std::string MaildirFlags(uint8_t flags, bool indexed) {
  bool read = indexed && (flags & 2) == 0, deleted = indexed && (flags & 1) != 0;
  if (!read && !deleted) return "new:";
  return std::string("cur:") + (read ? "S" : "") + (deleted ? "T" : "");
}

// Every kind of message the converter meets, and every flag combination.
StoreSpec Inbox() {
  StoreSpec spec;
  const std::string date = "Date: Mon, 5 May 1997 10:11:00 +0900\r\n";
  spec.messages = {
      {date + "From: Taro <t@x.jp>\r\nSubject: read\r\n\r\nFrom the start\r\n>From x\r\n", 0, 3},
      {date + "Subject: unread\r\nStatus: RO\r\nX-Status: F\r\n\r\n\x1b$B$\"$$\x1b(B\r\n", 2, 0},
      {"Return-Path: <b@x>\nSubject: lf only, deleted\n\nline\nFrom y\n", 1, 5},
      {"Subject: deleted and unread\r\n\r\nlone\rCR, no final line end", 3, 0},
      {"Subject: header only\r\n", 0, 0},
      {date + "Subject: nul\r\n\r\n" + std::string("a\0b\r\n\r\n\r\n", 9), 2, 1},
  };
  return spec;
}

StoreSpec Outbox() {
  StoreSpec spec;
  spec.with_index = false;
  spec.messages = {{SimpleMessage("sent", "From me\r\n"), 0, 0},
                   {"Subject: no index\r\nStatus: R\r\n\r\nbody\r\n", 0, 2}};
  spec.seed = 7;
  return spec;
}

class MailClientsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(Path("store"));
    WriteStore(Path("store"), "Inbox", BuildStore(inbox_));
    WriteStore(Path("store"), "Outbox", BuildStore(outbox_));
  }
  std::string Path(const std::string& name) const { return work_.Join(name); }

  // Runs ferrolt-cli and checks the store was left exactly as it was.
  CliResult Run(const std::vector<std::string>& arguments) {
    auto before = SnapshotFolder(Path("store"));
    CliResult result = RunCli(work_.path(), arguments);
    EXPECT_TRUE(SnapshotFolder(Path("store")) == before) << "the source store changed";
    return result;
  }

  // The messages a run hands on, with the flags they had and whether an index told them.
  struct Expected {
    const MessageSpec* message;
    bool indexed;
  };
  std::vector<Expected> Messages(const StoreSpec& spec, bool include_deleted) {
    std::vector<Expected> expected;
    for (const MessageSpec& message : spec.messages) {
      if (!spec.with_index || include_deleted || (message.flags & 1) == 0) {
        expected.push_back({&message, spec.with_index});
      }
    }
    return expected;
  }

  void CheckMbox(const std::string& path, const std::vector<Expected>& expected) {
    std::vector<ReadMessage> read = ReadWithPython("mbox", path);
    ASSERT_EQ(read.size(), expected.size()) << path;
    for (size_t i = 0; i < read.size(); ++i) {
      EXPECT_EQ(Comparable(read[i].bytes, true), Comparable(expected[i].message->bytes, false))
          << path << " message " << i;
      EXPECT_EQ(read[i].flags, MboxFlags(expected[i].message->flags, expected[i].indexed))
          << path << " message " << i;
    }
  }

  void CheckMaildir(const std::string& path, const std::vector<Expected>& expected) {
    std::vector<ReadMessage> read = ReadWithPython("maildir", path);
    ASSERT_EQ(read.size(), expected.size()) << path;
    for (size_t i = 0; i < read.size(); ++i) {
      EXPECT_EQ(read[i].bytes, expected[i].message->bytes) << path << " message " << i;
      EXPECT_EQ(read[i].flags, MaildirFlags(expected[i].message->flags, expected[i].indexed))
          << path << " message " << i;
    }
  }

  // What Dovecot should count: every message, the read ones, the deleted ones.
  static std::string Counts(const std::vector<Expected>& expected) {
    int seen = 0, deleted = 0;
    for (const Expected& e : expected) {
      seen += e.indexed && (e.message->flags & 2) == 0;
      deleted += e.indexed && (e.message->flags & 1) != 0;
    }
    return "messages=" + std::to_string(expected.size()) + " seen=" + std::to_string(seen) +
           " deleted=" + std::to_string(deleted) + "\n";
  }

  TempFolder work_;
  StoreSpec inbox_ = Inbox(), outbox_ = Outbox();
};

TEST_F(MailClientsTest, MboxReadsBackWithEveryMessageAndFlag) {
  for (bool include_deleted : {true, false}) {
    std::string out = include_deleted ? "all" : "kept";
    std::vector<std::string> arguments = {"mbox", "--to", out, "store"};
    if (include_deleted) arguments.insert(arguments.begin() + 1, "--include-deleted");
    CliResult result = Run(arguments);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    CheckMbox(Path(out + "/Inbox.mbox"), Messages(inbox_, include_deleted));
    CheckMbox(Path(out + "/Outbox.mbox"), Messages(outbox_, include_deleted));
    EXPECT_EQ(ReadBack("dovecot mbox " + Path(out + "/Inbox.mbox")),
              Counts(Messages(inbox_, include_deleted)));
    EXPECT_EQ(ReadBack("dovecot mbox " + Path(out + "/Outbox.mbox")),
              Counts(Messages(outbox_, include_deleted)));
  }
}

TEST_F(MailClientsTest, MaildirReadsBackWithEveryMessageAndFlag) {
  for (bool include_deleted : {true, false}) {
    std::string out = include_deleted ? "all" : "kept";
    std::vector<std::string> arguments = {"maildir", "--to", out, "store"};
    if (include_deleted) arguments.insert(arguments.begin() + 1, "--include-deleted");
    CliResult result = Run(arguments);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    CheckMaildir(Path(out + "/Inbox"), Messages(inbox_, include_deleted));
    CheckMaildir(Path(out + "/Outbox"), Messages(outbox_, include_deleted));
    EXPECT_TRUE(fs::is_empty(Path(out + "/Inbox/tmp")));
    EXPECT_EQ(ReadBack("dovecot maildir " + Path(out + "/Inbox")),
              Counts(Messages(inbox_, include_deleted)));
    EXPECT_EQ(ReadBack("dovecot maildir " + Path(out + "/Outbox")),
              Counts(Messages(outbox_, include_deleted)));
  }
}

TEST_F(MailClientsTest, AnExistingTargetFolderIsRefusedAndLeftAsItWas) {
  for (const char* command : {"mbox", "maildir"}) {
    fs::create_directory(Path("taken"));
    WriteFileBytes(Path("taken/Inbox.mbox"), "mine");
    auto before = SnapshotFolder(Path("taken"));
    CliResult result = Run({command, "--to", "taken", "store"});
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "MS-IM のフォルダーと同じ名前のフォルダーがすでに Corvane! に存在します。\ntaken\n");
    EXPECT_TRUE(SnapshotFolder(Path("taken")) == before);
    fs::remove_all(Path("taken"));
  }
}

// Ctrl-C while a big mailbox is written: what is there reads back as the first messages, whole.
TEST_F(MailClientsTest, InterruptedRunsHoldWholeMessagesOnly) {
  StoreSpec big;
  for (int i = 0; i < 20000; ++i) {
    big.messages.push_back(
        {SimpleMessage("m" + std::to_string(i), std::string(300, 'x') + "\r\nFrom here\r\n"),
         static_cast<uint8_t>(i % 3 == 0 ? 2 : 0), 0});
  }
  fs::create_directory(Path("big"));
  WriteStore(Path("big"), "Big", BuildStore(big));
  struct Case {
    const char* command;
    const char* watched;  // what shows that writing has begun
  };
  for (const Case& c : {Case{"mbox", "m/Big.mbox"}, Case{"maildir", "d/Big/new"}}) {
    std::string out = c.command[1] == 'b' ? "m" : "d";
    pid_t child = StartCli(work_.path(), {c.command, "--to", out, "big"});
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::error_code error;
    while (std::chrono::steady_clock::now() < deadline &&
           !(fs::exists(Path(c.watched), error) && !fs::is_empty(Path(c.watched), error))) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(child, SIGINT);
    CliResult result = FinishCli(work_.path(), child);
    EXPECT_EQ(result.exit_code, 130) << result.err;
    std::vector<ReadMessage> read =
        ReadWithPython(c.command, Path(out + (out == "m" ? "/Big.mbox" : "/Big")));
    EXPECT_GE(read.size(), 1u) << c.command;
    EXPECT_LT(read.size(), big.messages.size()) << "the run ended before the interrupt came";
    for (size_t i = 0; i < read.size(); ++i) {
      std::string expected = big.messages[i].bytes;
      if (out == "m") {
        ASSERT_EQ(Comparable(read[i].bytes, true), Comparable(expected, false)) << i;
      } else {
        ASSERT_EQ(read[i].bytes, expected) << i;
      }
    }
  }
}

}  // namespace
}  // namespace ferrolt
