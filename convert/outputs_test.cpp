// Every output: .eml files, mbox entries and files, Maildir and the target mailbox of an import. A
// failure inside a message takes back what was written of it, through the same code in the Windows
// program (these tests also run under Wine) and on POSIX.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "convert/eml_export.h"
#include "convert/exact_io_fixture.h"
#include "convert/maildir_export.h"
#include "convert/mbox_export.h"
#include "convert/target_writer.h"
#include "platform/mail_files.h"
#include "tests/support/convert_fixtures.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

// The mbox entry of `message`, with the read state an index's `flags` tell (-1: no index).
std::string Entry(const std::string& message, int flags = -1) {
  std::vector<char> out(MboxEntryBound(message.size()));
  MessageRecord record{.has_flags = flags >= 0, .flags = static_cast<uint8_t>(flags)};
  size_t size = MboxEntry(message, record, out.data());
  EXPECT_LE(size, out.size());
  return std::string(out.data(), size);
}

// Each entry has a From line and ends in an empty line. From lines in the body are quoted, lines
// end in LF; a read state from an index replaces any status lines of the header.
TEST(MboxEntryTest, QuotesFromLinesEndsLinesInLfAndWritesTheReadState) {
  std::string from_lines, quoted;
  for (int i = 0; i < 1000; ++i) {
    from_lines += "From \n";
    quoted += ">From \n";
  }
  const std::string kStatuses =
      "status: U\r\n continued\r\nX-Status: A\r\nX-Statuses: kept\r\n"
      "Subject: s\r\n\r\nStatus: body\r\n";
  const std::string kKept = "X-Statuses: kept\nSubject: s\n", kBody = "\nStatus: body\n";
  const struct {
    int flags;
    std::string tail, written;  // of the message after its Date and From; of the entry
  } kCases[] = {
      {-1, "\r\nFrom here\r\n", "\n>From here\n"},
      {-1, "\r\n>From here\r\n>>From x\r\n", "\n>>From here\n>>>From x\n"},
      {-1, "\r\n From no\r\nFrom\r\nFromage\r\n>From\r\n", "\n From no\nFrom\nFromage\n>From\n"},
      {-1, "\r\nlone\rCR\r\n", "\nlone\rCR\n"},
      {-1, "\r\nlf only\nFrom x\n", "\nlf only\n>From x\n"},
      {-1, "\r\nno line end", "\nno line end\n"},
      {-1, "\r\nFrom the end", "\n>From the end\n"},
      {-1, "\r\n", "\n"},
      {-1, "\r\ntwo blank\r\n\r\n\r\n", "\ntwo blank\n\n\n"},
      {-1, "\r\n" + from_lines, "\n" + quoted},  // nothing else: the bound must still hold it
      {-1, kStatuses, kKept + kBody},            // no index: no read state known
      {0, kStatuses, kKept + "Status: RO\n" + kBody},
      {2, kStatuses, kKept + "Status: O\n" + kBody},
      {1, kStatuses, kKept + "Status: RO\nX-Status: D\n" + kBody},
      {3, kStatuses, kKept + "Status: O\nX-Status: D\n" + kBody},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    EXPECT_EQ(
        Entry("Date: Mon, 5 May 1997 10:11:00 +0900\r\nFrom: a@x\r\n" + c.tail, c.flags),
        "From a@x Mon May  5 01:11:00 1997\nDate: Mon, 5 May 1997 10:11:00 +0900\nFrom: a@x\n" +
            c.written + "\n");
  }
  // Without a body the status still gets a line of its own.
  EXPECT_EQ(Entry("Subject: s", 0),
            "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\nSubject: s\nStatus: RO\n\n");
  EXPECT_EQ(Entry("", 2), "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\nStatus: O\n\n");
}

TEST(MboxEntryTest, EnvelopeSenderComesFromReturnPathThenFrom) {
  const struct {
    const char *header, *sender;
  } kCases[] = {
      {"From: Taro <t@x.jp>\r\nReturn-Path: <bounce@x.jp>\r\n", "bounce@x.jp"},
      {"Return-Path: <>\r\nFrom: t@x.jp (Taro)\r\n", "t@x.jp"},
      {"From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <~t@x.jp>\r\n", "~t@x.jp"},
      {"From: \x8e\x52\x93\x63 <with space@x>\r\n", "MAILER-DAEMON"},
      {"From: <t\x7f@x>\r\n", "MAILER-DAEMON"},
      {"Subject: nobody\r\n", "MAILER-DAEMON"},
  };
  for (const auto& c : kCases) EXPECT_EQ(EnvelopeSender(c.header), c.sender) << c.header;
}

class OutputsTest : public ConvertFolders {
 protected:
  // Every file written to out/ and its bytes.
  Files Written() const {
    Files files;
    for (const auto& entry : fs::directory_iterator(Out(""))) {
      files[entry.path().filename().string()] = ReadFileBytes(entry.path().string());
    }
    return files;
  }
};

// .eml numbers run on through every mailbox of a run in index order, a deleted message left out
// leaves no gap, and bytes are kept as they are, NUL bytes too. Without an index nothing is known
// to be deleted. mbox: one file named after the mailbox, in index order, with each read state.
TEST_F(OutputsTest, EmlAndMboxExportsKeepEveryMessageInIndexOrder) {
  StoreSpec first, second;
  for (int i = 0; i < 3; ++i) {
    first.messages.push_back({SimpleMessage("a" + std::to_string(i), std::string(i, '\0')),
                              static_cast<uint8_t>(i), static_cast<uint32_t>(i)});
  }
  first.index_order = {2, 0, 1};  // unread, read, deleted
  second.messages = {{SimpleMessage("b", "x"), 1}};
  second.with_index = false;
  state_.conversion_run.skip_deleted = true;
  EXPECT_TRUE(Convert(ExportMailbox, BuildStore(first), "One"));
  EXPECT_TRUE(Convert(ExportMailbox, BuildStore(second), "Two"));
  EXPECT_TRUE(Convert(ExportMailboxAsMbox, BuildStore(first), "One"));
  EXPECT_TRUE(notices_.notices.empty());
  auto entry = [](const MessageSpec& message) { return Entry(message.bytes, message.flags); };
  EXPECT_EQ(Written(), (Files{{"One.mbox", entry(first.messages[2]) + entry(first.messages[0])},
                              {"exp00001.eml", first.messages[2].bytes},
                              {"exp00002.eml", first.messages[0].bytes},
                              {"exp00003.eml", second.messages[0].bytes}}));
  state_.export_prefix = Out("no-such-folder") + kPathSeparator + "exp";
  EXPECT_FALSE(Convert(ExportMailbox, BuildStore(second)));
  const std::string kCreateFailed = "CreateFile(Destination) のエラーです。Code=<";
  EXPECT_EQ(ShownNotice(notices_.notices, kCreateFailed), kCreateFailed);
}

// Each message lands unchanged where its flags say, dated from its Date header (1997-05-05
// 01:11:00 UTC) or else from now; a second run finds the Maildir and leaves it alone. Bits we do
// not know change nothing, and a host name is escaped.
TEST_F(OutputsTest, MaildirPutsEachMessageUnchangedWhereItsFlagsSay) {
  StoreSpec spec;
  spec.messages = {{"Date: Mon, 5 May 1997 10:11:00 +0900\r\n\r\nread\r\n", 0, 2},
                   {"Subject: unread\n\nFrom x\r\n", 2, 0},
                   {"Subject: deleted\r\n\r\nx", 1, 0}};
  ASSERT_TRUE(Convert(ExportMailboxAsMaildir, BuildStore(spec)));
  EXPECT_FALSE(Convert(ExportMailboxAsMaildir, BuildStore(spec)));
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_NE(notices_.notices[0].text.find("\n" + Out("Box")), std::string::npos);
  Files files;  // by name without the unique part's time; "dated " when dated from the header
  for (const auto& entry : fs::recursive_directory_iterator(Out("Box"))) {
    if (!entry.is_regular_file()) continue;
    std::string name = entry.path().filename().string();
    auto written = std::chrono::file_clock::to_sys(fs::last_write_time(entry.path()));
    bool dated = written.time_since_epoch() == std::chrono::seconds(862794660);
    files[entry.path().parent_path().filename().string() + "/" + name.substr(name.find('.') + 1)] =
        (dated ? "dated " : "") + ReadFileBytes(entry.path().string());
  }
  std::string host = HostName(), sep = kColonAllowedInFileNames ? ":" : ";";
  EXPECT_EQ(files, (Files{{"cur/1." + host + sep + "2,S", "dated " + spec.messages[0].bytes},
                          {"new/2." + host, spec.messages[1].bytes},
                          {"cur/3." + host + sep + "2,ST", spec.messages[2].bytes}}));
  EXPECT_EQ(MaildirPlace("u", {.has_flags = true, .flags = 0xfc}, ';'), "cur/u;2,S");
  EXPECT_EQ(MaildirUniqueName(1, 2, "a/b:c"), "1.2.a\\057b\\072c");
}

// Import: status lines give way to the read state, which only an index tells; NUL bytes are left
// out; half-width kana widening the header are written whole; every message ends in its
// separator.
TEST_F(OutputsTest, ImportConvertsEachMessageWithItsReadStateAndSeparator) {
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += "\x83\x41";  // katakana A, from half-width 0xB1
  StoreSpec spec;
  spec.messages = {{"Subject: " + std::string(200, '\xB1') + "\r\n\r\n"},
                   {std::string("From: a\0\r\nStatus: U\r\n\r\nb\0ody\0", 29)},
                   {"Status: R\nX: y\n\n.dot line\n", 2},  // unread
                   {"Subject: x"}};
  ASSERT_TRUE(Convert(ImportMailbox, BuildStore(spec)));
  EXPECT_EQ(ReadFileBytes(Out("Box.mbx")), "Subject: " + wide + "\r\nStatus: R\r\n\r\n\r\n.\r\n" +
                                               "From: a\r\nStatus: R\r\n\r\nbody\r\n.\r\n" +
                                               "X: y\n\n.dot line\n\r\n.\r\n" +
                                               "Subject: x\r\nStatus: R\r\n\r\n.\r\n");
}

// Three messages, the second taking two blocks to copy. .eml files: a file per message, the one
// a failure cut is deleted. Import: three writes a message (header, the rest, the separator),
// the target cut back to its last whole message.
TEST_F(OutputsTest, AFailureInsideAMessageTakesBackWhatWasWrittenOfIt) {
  StoreSpec spec;
  spec.messages = {{SimpleMessage("one", "short\r\n"), 0, 0},
                   {SimpleMessage("two", std::string(40000, 'b') + "\r\n"), 0, 0},
                   {SimpleMessage("three", "short\r\n"), 0, 0}};
  BuiltStore store = BuildStore(spec);
  ASSERT_TRUE(Convert(ExportMailbox, store));  // the second message copied block by block
  EXPECT_EQ(ReadFileBytes(EmlFileName(Out("exp"), 2)), spec.messages[1].bytes);
  ASSERT_TRUE(Convert(ImportMailbox, store));
  const std::string sound = ReadFileBytes(Out("Box.mbx"));
  const size_t first_end = sound.find("\r\n.\r\n") + 5;
  const size_t ends[] = {0, first_end, sound.find("\r\n.\r\n", first_end) + 5};
  // Fails the n-th read or write of at least `least` bytes from now on, as a full disk or a
  // source cut short would.
  struct Fault {
    bool is_write = true;
    int countdown = 0;
    uint32_t least = 0;
  };
  static Fault fault;
  const struct {
    MailboxOperation operation;
    Fault fault;
    const char* notice;
    size_t whole;  // messages that stay
  } kCases[] = {
      {ExportMailbox, {true, 1}, "WriteFile(Destination)", 0},  // the first message's only write
      {ExportMailbox, {true, 3}, "WriteFile(Destination)", 1},  // the second block of the second
      {ExportMailbox, {false, 2, 100}, "ReadFile(Source)", 1},  // that block's read ran short
      {ImportMailbox, {true, 1}, "WriteFile(Destination)", 0},
      {ImportMailbox, {true, 2}, "WriteFile(Destination)", 0},
      {ImportMailbox, {true, 3}, "WriteFile(Destination)", 0},
      {ImportMailbox, {true, 5}, "WriteFile(Destination)", 1},
      {ImportMailbox, {true, 6}, "WriteFile(Destination)", 1},
      {ImportMailbox, {true, 9}, "WriteFile(Destination)", 2},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    fs::remove_all(folder_.Join("out"));
    fs::create_directory(folder_.Join("out"));
    notices_.notices.clear();
    state_.conversion_run = {};
    fault = c.fault;
    SetTransferObserver([](bool is_write, uint32_t count) {
      return is_write != fault.is_write || count < fault.least || --fault.countdown != 0;
    });
    EXPECT_FALSE(Convert(c.operation, store));
    SetTransferObserver(nullptr);
    EXPECT_EQ(ShownNotice(notices_.notices, c.notice), c.notice);
    Files kept = {{"Box.mbx", sound.substr(0, ends[c.whole])}};
    if (c.operation == ExportMailbox) kept.clear();
    for (size_t i = 0; c.operation == ExportMailbox && i < c.whole; ++i) {
      kept[EmlFileName("exp", i + 1)] = spec.messages[i].bytes;
    }
    EXPECT_TRUE(Written() == kept);
  }
}

}  // namespace
}  // namespace ferrolt
