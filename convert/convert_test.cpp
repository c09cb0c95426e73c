// The converter: the header pieces outputs are made of, every output (.eml files, mbox, Maildir
// and the target mailbox of an import), and the runs that convert every mailbox of a folder or
// the dropped ones.

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "convert/eml_export.h"
#include "convert/exact_io.h"
#include "convert/exact_io_fixture.h"
#include "convert/mail_date.h"
#include "convert/mail_header.h"
#include "convert/maildir_export.h"
#include "convert/mbox_export.h"
#include "convert/runs.h"
#include "convert/status_filter.h"
#include "convert/target_writer.h"
#include "platform/mail_files.h"
#include "tests/support/convert_fixtures.h"
#include "tests/support/fake_front_end.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;
using std::string_literals::operator""s;

// Folds, tabs, case and the body are cli/list_command_test.cpp's (through the listing's subject);
// where the header ends, the status filter's below.
TEST(MailHeaderTest, FieldValueIsTheFirstOfExactlyThatName) {
  EXPECT_EQ(
      HeaderFieldValue("X-From: no\r\nFrom : no\r\nFROM:  Taro\r\n <t@x>  \r\nFrom: x\r\n", "From"),
      "Taro <t@x>");
}

// The forms mail of the time used, read as the listing shows them and as a moment; what is no
// date is refused, leaving the date as it was. The mbox tests meet 1970 and 1997 in asctime form.
TEST(MailHeaderTest, DatesInEveryFormMailOfTheTimeUsed) {
  const struct {
    const char *value, *read;
  } kCases[] = {
      {"Mon, 05 May 97 10:11:00 +0900 (JST)", "1997-05-05 10:11 +0900 862794660"},
      {"5 May 1997 10:11 +0900", "1997-05-05 10:11 +0900 862794660"},  // no day name, no seconds
      {"Mon,5 May 1997 10:11:00 JST", "1997-05-05 10:11 +0900 862794660"},
      {"Sun, 4 May 1997 20:11:07 EST", "1997-05-04 20:11 -0500 862794667"},
      {"Sun, 4 May 1997 20:11:07 -0330", "1997-05-04 20:11 -0330 862789267"},
      {"Mon, 5 May 1997 01:11:00 GMT", "1997-05-05 01:11 +0000 862794660"},
      {"Mon, 5 May 1997 01:11:00", "1997-05-05 01:11 +0000 862794660"},    // no zone: UTC
      {"Mon, 5 May 1997 01:11:00 X", "1997-05-05 01:11 +0000 862794660"},  // military: UTC
      {"mon, 5 may 1997 01:11:00 -0000", "1997-05-05 01:11 +0000 862794660"},
      {"Fri, 31 Dec 49 23:59:59 +0000", "2049-12-31 23:59 +0000 2524607999"},
      {"Sun, 1 Jan 50 00:00:00 +0000", "1950-01-01 00:00 +0000 -631152000"},
      {"Tue, 29 Feb 2000 12:00:00 (noon (really)) +0000", "2000-02-29 12:00 +0000 951825600"},
      {"Mon, 5 May 097 01:11:00 +0000", "1997-05-05 01:11 +0000 862794660"},  // from 1900
      {"SAT, 31 Oct 1998 00:00:00 +0000", "1998-10-31 00:00 +0000 909792000"},
      {"  Mon ,  5  May  1997  10:41:00  +0930 ", "1997-05-05 10:41 +0930 862794660"},
      // The edges: leap days, a month's last day and the next one's first, a leap second, the
      // last zone minute, the first and last years.
      {"29 Feb 96 00:00 +0000", "1996-02-29 00:00 +0000 825552000"},
      {"Wed, 30 Apr 1997 23:59:60 -0000", "1997-04-30 23:59 +0000 862444800"},
      {"Sat, 1 Mar 1997 00:00:00 +0959", "1997-03-01 00:00 +0959 857138460"},
      {"Mon, 1 Jan 1900 00:00 +0000", "1900-01-01 00:00 +0000 -2208988800"},
      {"Fri, 31 Dec 9999 00:00 +0000", "9999-12-31 00:00 +0000 253402214400"},
  };
  auto read = [](const char* value) {
    MailDate date{.year = 1234};
    return ParseMailDate(value, &date) ? ListingDate(date) + " " + std::to_string(date.unix_seconds)
                                       : (date.year == 1234 ? "" : "changed");
  };
  for (const auto& c : kCases) EXPECT_EQ(read(c.value), c.read) << c.value;
  for (const char* value :
       {"", "yesterday", "Mon, 5 Mai 1997 10:11:00 +0900", "Mon, 32 May 1997 10:11:00 +0900",
        "Thu, 29 Feb 1900 10:11:00 +0000", "Mon, 5 May 1997 24:00:00 +0000",
        "Mon, 5 May 1997 10:60:00 +0000", "Mon, 5 May 1997 10:11:00 +09", "5 May 1997",
        "Mon, 5 May 1997 10 +0900", "Mon, 5 May 12345 10:11:00 +0900", "1997-05-05 10:11:00",
        "31 Apr 1997 10:11 +0000", "29 Feb 1997 10:11 +0000", "0 May 1997 10:11 +0000",
        "31 Dec 1899 23:59 +0000", "5 May 7 10:11 +0000", "5 May 1997 10:11:61 +0000",
        "5 May 1997 10:11 +0960"}) {
    EXPECT_EQ(read(value), "") << value;
  }
  EXPECT_EQ(AsctimeUtc(951825600), "Tue Feb 29 12:00:00 2000");
  EXPECT_EQ(AsctimeUtc(-1), "Wed Dec 31 23:59:59 1969");
  EXPECT_EQ(AsctimeUtc(-631152000), "Sun Jan  1 00:00:00 1950");
}

TEST(MailHeaderTest, StatusLinesLeaveTheHeaderAndReadStatusIsAddedAtItsEnd) {
  const std::string kMail = "From: a\r\nStatus: U\r\nSubject: b\r\n\r\nbody\r\nStatus: body\r\n";
  const struct {
    std::string text;
    bool add_status;
    std::string header, rest;
  } kCases[] = {
      {kMail, true, "From: a\r\nSubject: b\r\nStatus: R\r\n", "\r\nbody\r\nStatus: body\r\n"},
      {kMail, false, "From: a\r\nSubject: b\r\n", "\r\nbody\r\nStatus: body\r\n"},
      // The name in any case, but only with the colon right after it.
      {"STATUS: RO\r\nstatus:x\r\nStatus : kept\r\nX-Status: kept\r\nStatusbar: kept\r\n"
       "StAtUs: O\r\n\r\n",
       false, "Status : kept\r\nX-Status: kept\r\nStatusbar: kept\r\n", "\r\n"},
      // A folded line after a removed status line stays as a line of its own.
      {"Status: U\r\n\tcontinued\r\nTo: c\r\n\r\nx", false, "\tcontinued\r\nTo: c\r\n", "\r\nx"},
      // LF-only lines and lone CRs keep their bytes; a line starting with CR ends the header.
      {"A: 1\nStatus: U\nB: x\ry\n\nbody\n", true, "A: 1\nB: x\ry\nStatus: R\r\n", "\nbody\n"},
      {"A: 1\r\n\rB\r\n", false, "A: 1\r\n", "\rB\r\n"},
      // Text without an empty line is all header; an unended last line gets the line end the
      // header uses before the status line.
      {"A: 1\r\nStatus: O\r\n", true, "A: 1\r\nStatus: R\r\n", ""},
      {"A: 1\r\nB: 2", true, "A: 1\r\nB: 2\r\nStatus: R\r\n", ""},
      {"A: 1\r\nB: 2", false, "A: 1\r\nB: 2", ""},
      {"A: 1\r\nB: 2\r", true, "A: 1\r\nB: 2\r\nStatus: R\r\n", ""},
      {"B: 2\r", true, "B: 2\r\nStatus: R\r\n", ""},
      {"A: 1\nB: 2", true, "A: 1\nB: 2\nStatus: R\r\n", ""},
      {"A: 1\nB: 2\r", true, "A: 1\nB: 2\r\nStatus: R\r\n", ""},
      {"A: 1\r\nB: x\ry", true, "A: 1\r\nB: x\ry\r\nStatus: R\r\n", ""},
      // An empty header.
      {"\r\nStatus: U\r\n", true, "Status: R\r\n", "\r\nStatus: U\r\n"},
      {"", true, "Status: R\r\n", ""},
      {"", false, "", ""},
      // NUL is an ordinary byte.
      {"A: 1\r\nB: 2\0x\r\nStatus: U\r\n\r\nbody"s, false, "A: 1\r\nB: 2\0x\r\n"s, "\r\nbody"},
  };
  for (const auto& c : kCases) {
    std::string header;
    size_t end = FilterStatusHeader(c.text, c.add_status, &header);
    EXPECT_EQ(header + "|" + c.text.substr(end), c.header + "|" + c.rest) << c.text;
  }
  // Only the text's own bytes are read, whatever follows them.
  std::string header;
  EXPECT_EQ(FilterStatusHeader(std::string_view("A: 1B", 4), false, &header), 4u);
}

// The mbox entry of `message`, with the read state an index's `flags` tell (-1: no index), dated
// `undated` when its header tells no date.
std::string Entry(const std::string& message, int flags = -1, int64_t undated = 0) {
  std::vector<char> out(MboxEntryBound(message.size()));
  MessageRecord record{.has_flags = flags >= 0, .flags = static_cast<uint8_t>(flags)};
  size_t size = MboxEntry(message, record, undated, out.data());
  EXPECT_LE(size, out.size());
  return std::string(out.data(), size);
}

// Each entry has a From line and ends in an empty line. From lines in the body are quoted, lines
// end in LF; a read state from an index replaces any status lines of the header, and lengths
// that no longer fit the body are left out.
TEST(MboxEntryTest, QuotesFromLinesEndsLinesInLfAndWritesTheReadState) {
  std::string from_lines, quoted;
  for (int i = 0; i < 1000; ++i) {
    from_lines += "From \n";
    quoted += ">From \n";
  }
  const std::string kStatuses =
      "status: U\r\n continued\r\nX-Status: A\r\nX-Statuses: kept\r\nContent-LENGTH: 9\r\n"
      "\t9\r\nLines: 3\r\nLines-Of: kept\r\nSubject: s\r\n\r\nStatus: body\r\nLines: 3\r\n";
  const std::string kKept = "X-Statuses: kept\nLines-Of: kept\nSubject: s\n",
                    kBody = "\nStatus: body\nLines: 3\n";
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
  for (auto [header, sender] :
       {std::pair{"From: Taro <t@x.jp>\r\nReturn-Path: <bounce@x.jp>\r\n", "bounce@x.jp"},
        {"Return-Path: <>\r\nFrom: t@x.jp (Taro)\r\n", "t@x.jp"},
        {"From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <~t@x.jp>\r\n", "~t@x.jp"},
        {"From: \x8e\x52\x93\x63 <with space@x>\r\n", "MAILER-DAEMON"},
        {"From: <t\x7f@x>\r\n", "MAILER-DAEMON"},
        {"Subject: nobody\r\n", "MAILER-DAEMON"}}) {
    EXPECT_EQ(EnvelopeSender(header), sender) << header;
  }
}

class ConvertTest : public ConvertFolders {
 protected:
  // Every file under out/ by its path there, and its bytes: a Maildir name without its time, and
  // "dated " before the bytes of a file dated 1997-05-05 01:11:00 UTC, "undated " before those of
  // one dated `undated`.
  Files Written(int64_t undated = -1) const {
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(Out(""))) {
      if (!entry.is_regular_file()) continue;
      std::string path = fs::relative(entry.path(), Out("")).generic_string();
      size_t name = path.rfind('/') + 1;  // 0 when in out/ itself
      if (std::isdigit(path[name])) path.erase(name, path.find('.', name) + 1 - name);
      auto written = std::chrono::file_clock::to_sys(entry.last_write_time());
      auto at = written.time_since_epoch();
      files[path] = (at == std::chrono::seconds(862794660) ? "dated "
                     : at == std::chrono::seconds(undated) ? "undated "
                                                           : "") +
                    ReadFileBytes(entry.path().string());
    }
    return files;
  }
};

constexpr int64_t kOldMailboxTime = 700000000;  // 1992-03-08 20:26:40 UTC

// `operation` on a source mailbox last changed at kOldMailboxTime.
template <auto operation>
bool FromOldMailbox(RunState* state, const std::string& name) {
  fs::last_write_time(state->source_dir + name,
                      std::chrono::file_clock::from_sys(
                          std::chrono::sys_seconds(std::chrono::seconds(kOldMailboxTime))));
  return operation(state, name);
}

// .eml numbers run on through every mailbox of a run in index order, a deleted message left out
// leaves no gap; mbox: one file named after the mailbox. Maildir: each message where its flags
// say. Both date a message from its Date header (1997-05-05 01:11:00 UTC) or else from the
// source mailbox's modification time, set far from now here; a second run finds
// the Maildir and leaves it alone. Bytes are kept as they are, NUL bytes too; without an index
// nothing is known to be deleted.
TEST_F(ConvertTest, EmlMboxAndMaildirKeepEveryMessageInIndexOrder) {
  StoreSpec first, second;
  first.messages = {{"Date: Mon, 5 May 1997 10:11:00 +0900\r\n\r\nread\r\n", 0, 2},
                    {SimpleMessage("deleted", std::string(1, '\0')), 1, 1},
                    {"Subject: unread\n\nFrom x\r\n" + std::string(2, '\0'), 2, 0}};
  first.index_order = {2, 0, 1};
  second.messages = {{SimpleMessage("b", "x"), 1}};
  second.with_index = false;
  state_.choices.include_deleted = false;
  EXPECT_TRUE(Convert(ExportMailbox, BuildStore(first), "One"));
  EXPECT_TRUE(Convert(ExportMailbox, BuildStore(second), "Two"));
  EXPECT_TRUE(Convert(FromOldMailbox<ExportMailboxAsMbox>, BuildStore(first), "One"));
  state_.choices.include_deleted = true;
  EXPECT_TRUE(Convert(FromOldMailbox<ExportMailboxAsMaildir>, BuildStore(first), "One"));
  EXPECT_FALSE(Convert(ExportMailboxAsMaildir, BuildStore(first), "One"));
  EXPECT_EQ(
      ShownNotice(notices_.notices, ""),
      "同じ名前のファイルかフォルダーがすでに存在します。上書きはしません。\n" + Out("One") + "\n");
  notices_.notices.clear();
  state_.conversion_run.message_count = 0;  // a taken .eml name: the window's own wording
  EXPECT_FALSE(Convert(ExportMailbox, BuildStore(second), "Two"));
  EXPECT_EQ(ShownNotice(notices_.notices, ""),
            "MS-IM のフォルダーと同じ名前のフォルダーがすでに Corvane! に存在します。\n" +
                Out("exp00001.eml") + "\n");
  const std::vector<MessageSpec>& m = first.messages;
  std::string host = HostName(), sep = kColonAllowedInFileNames ? ":" : ";";
  EXPECT_EQ(Written(kOldMailboxTime),
            (Files{{"One.mbox", Entry(m[2].bytes, 2, kOldMailboxTime) + Entry(m[0].bytes, 0)},
                   {"One/new/6." + host, "undated " + m[2].bytes},
                   {"One/cur/7." + host + sep + "2,S", "dated " + m[0].bytes},
                   {"One/cur/8." + host + sep + "2,ST", "undated " + m[1].bytes},
                   {"exp00001.eml", m[2].bytes},
                   {"exp00002.eml", m[0].bytes},
                   {"exp00003.eml", second.messages[0].bytes}}));
  EXPECT_EQ(MaildirPlace("u", {.has_flags = true, .flags = 0xfc}, ';'), "cur/u;2,S");
  EXPECT_EQ(MaildirUniqueName(1, 2, "a/b:c"), "1.2.a\\057b\\072c");
}

#if !defined(_WIN32)
// The process's open descriptors.
size_t OpenDescriptors() {
  return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}

// Runs `act` once, after the first message: the bar steps as each message begins.
class AfterFirstMessage final : public ProgressSink {
 public:
  explicit AfterFirstMessage(std::function<void()> act) : act_(std::move(act)) {}
  void SetLabel(const std::string&) override {}
  void SetRange(uint32_t) override {}
  void SetStep(uint32_t) override {}
  void SetPosition(uint32_t) override {}
  void StepIt() override {
    if (++steps_ == 2) act_();
  }

 private:
  std::function<void()> act_;
  int steps_ = 0;
};

// A Maildir folder (or the Maildir) moved aside after the first message, a link to a folder
// outside the target put in its place: nothing lands there. The run goes on into the folder moved
// aside, or, the next message's name in tmp/ taken, stops with one notice; no descriptor stays.
TEST_F(ConvertTest, MaildirFolderSwappedForALinkSendsNothingOutside) {
  const struct {
    const char* swapped;
    bool next_taken;
  } kCases[] = {{"Box/new", false},
                {"Box/cur", false},
                {"Box/tmp", false},
                {"Box", false},
                {"Box/new", true}};
  StoreSpec spec;
  for (uint8_t flags : {2, 0, 2, 0}) spec.messages.push_back({SimpleMessage("s", "b"), flags});
  WriteStore(folder_.Join("in"), "Box", BuildStore(spec));
  const std::string outside = folder_.Join("outside");
  for (const auto& c : kCases) {
    for (const std::string& fresh : {Out(""), outside}) {
      fs::remove_all(fresh);
      fs::create_directory(fresh);
    }
    notices_.notices.clear();
    AfterFirstMessage swap([&] {
      fs::rename(Out(c.swapped), Out(c.swapped) + ".aside");
      fs::create_directory_symlink(outside, Out(c.swapped));
      if (!c.next_taken) return;
      std::string first = fs::directory_iterator(Out("Box/new.aside"))->path().filename();
      size_t number = first.find('.') + 1, end = first.find('.', number);
      int next = std::stoi(first.substr(number, end - number)) + 1;
      WriteFileBytes(
          Out("Box/tmp/") + first.substr(0, number) + std::to_string(next) + first.substr(end),
          "taken");
    });
    state_.progress = &swap;
    size_t descriptors = OpenDescriptors();
    bool ok = ExportMailboxAsMaildir(&state_, "Box.mbx");
    EXPECT_EQ(OpenDescriptors(), descriptors) << c.swapped;
    EXPECT_TRUE(fs::is_empty(outside)) << c.swapped;
    EXPECT_EQ(ok, !c.next_taken) << c.swapped;
    size_t messages = 0;
    for (const auto& entry : fs::recursive_directory_iterator(Out(""))) {
      std::string folder = entry.path().parent_path().filename();
      messages += entry.is_regular_file() && folder.find("tmp") == std::string::npos;
    }
    EXPECT_EQ(messages, c.next_taken ? 1u : 4u) << c.swapped;
    EXPECT_EQ(ShownNotice(notices_.notices, "同じ名前"), c.next_taken ? "同じ名前" : "")
        << c.swapped;
  }
  // The target folder itself swapped between two mailboxes: the next one is refused.
  state_.progress = &progress_;
  fs::remove_all(Out(""));
  fs::create_directory_symlink(outside, folder_.Join("out"));
  notices_.notices.clear();
  EXPECT_FALSE(ExportMailboxAsMaildir(&state_, "Box.mbx"));
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_EQ(ShownNotice(notices_.notices, "CreateDirectory"), "CreateDirectory");
}
#endif

// Each date form as both outputs date the message: the mbox From line and the Maildir file's time.
// A header whose date cannot be read takes the topmost readable Received date, else the source
// mailbox's time, in both alike. 862794660 is 1997-05-05 01:11:00 UTC.
TEST_F(ConvertTest, DateFormsGiveTheSameInstantInMboxAndMaildir) {
  const int64_t kSent = 862794660, kNineHoursLater = kSent + 9 * 3600, kUndated = kOldMailboxTime;
  const std::pair<std::string, int64_t> kForms[] = {
      {"Date: Monday, 05-May-97 10:11:00 GMT", kNineHoursLater},  // RFC 850
      {"Date: Mon, 05-May-1997 10:11:00 +0900", kSent},
      {"Date: Mon May  5 10:11:00 1997", kNineHoursLater},  // asctime: UTC
      {"Date: Mon May  5 10:11:00 JST 1997", kSent},
      {"Date: Mon, 5 May 1997 10.11.00 +0900", kSent},
      {"Date: 5 May 97 10:11 JST", kSent},
      {"Date: (sent) Mon, (x) 5 May 097 01:11:00 (y) UT", kSent},
      {"Date: Sun, 4 May 1997 20:11:00 EST", kSent},
      {"Date: Sun, 4 May 1997 21:11:00 EDT", kSent},
      {"Date: Sun, 4 May 1997 19:11:00 CST", kSent},
      {"Date: Sun, 4 May 1997 20:11:00 CDT", kSent},
      {"Date: Sun, 4 May 1997 18:11:00 MST", kSent},
      {"Date: Sun, 4 May 1997 19:11:00 MDT", kSent},
      {"Date: Sun, 4 May 1997 17:11:00 PST", kSent},
      {"Date: Sun, 4 May 1997 18:11:00 PDT", kSent},
      {"Date: Mon, 5 May 1997 03:11:00 CEST", kSent},
      {"Date: Mon, 5 May 1997 01:11:00 A", kSent},  // military letters read as UTC
      {"Date: Mon, 5 May 1997 10:70:00 +0000 (bad)\r\nReceived: from a by b; Mon, 5 May 1997 "
       "10:11:00 +0900\r\nReceived: from c by a;\r\n Sun, 4 May 1997 10:11:00 +0900",
       kSent},
      {"Received: by b (no date)\r\nReceived: by a; Sun, 4 May 1997 16:11:00 +0000",
       kSent - 9 * 3600},
      {"Date: Thu, 1 Jan 1970 00:00:00 +0000", 0},
      {"Date: Sat, 31 May 1997 01:11:00 +0959", kSent + 26 * 86400 - 599 * 60},
      {"Date: Mon, 5 May 1997 01:10:60 +0000", kSent},  // a leap second
      {"Date: Sat, 29 Feb 1997 01:11:00 +0000", kUndated},
      {"Date: Sat, 31 Apr 1997 01:11:00 +0000", kUndated},
      {"Date: Sat, 0 May 1997 01:11:00 +0000", kUndated},
      {"Date: Sat, 32 Jan 1997 01:11:00 +0000", kUndated},
      {"Date: Mon, 5 May 1997 01:11:00 +0960", kUndated},
      {"Date: Mon, 5 May 1997 01:11:00 +090", kUndated},
      {"Date: Mon, 5 May 7 01:11:00 +0000", kUndated},
      {"Date: Mon, 5 May 19970 01:11:00 +0000", kUndated},
      {"Date: Mon, 5 May 1997 24:00:00 +0000", kUndated},
      {"Date: Mon, 5 May 1997 01:1:00 +0000", kUndated},
      {"Date: Mon, 5 May 1997 01:11:61 +0000", kUndated},
      {"Date: Mon, 5 Mai 1997 01:11:00 +0000", kUndated},
      {"Subject: no date", kUndated},
  };
  StoreSpec spec;
  spec.with_index = false;  // every message in new/
  std::string from_lines;
  for (const auto& [header, instant] : kForms) {
    spec.messages.push_back({header + "\r\n\r\nbody\r\n"});
    from_lines += "From MAILER-DAEMON " + AsctimeUtc(instant) + "\n";
  }
  ASSERT_TRUE(Convert(FromOldMailbox<ExportMailboxAsMbox>, BuildStore(spec), "Box"));
  ASSERT_TRUE(Convert(FromOldMailbox<ExportMailboxAsMaildir>, BuildStore(spec), "Box"));
  std::string written_lines, mbox = ReadFileBytes(Out("Box.mbox"));
  for (size_t at = 0; at < mbox.size(); at = mbox.find('\n', at) + 1) {
    if (mbox.compare(at, 5, "From ") == 0)
      written_lines += mbox.substr(at, mbox.find('\n', at) + 1 - at);
  }
  EXPECT_EQ(written_lines, from_lines);
  std::map<int, int64_t> dated;  // by the number in the file's name
  for (const auto& entry : fs::directory_iterator(Out("Box/new"))) {
    std::string name = entry.path().filename().string();
    dated[std::stoi(name.substr(name.find('.') + 1))] =
        std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::file_clock::to_sys(entry.last_write_time()).time_since_epoch())
            .count();
  }
  ASSERT_EQ(dated.size(), std::size(kForms));
  auto instant = dated.begin();
  for (const auto& [header, expected] : kForms) EXPECT_EQ((instant++)->second, expected) << header;
}

// Import: status lines give way to the read state, which only an index tells; NUL bytes are left
// out; half-width kana widening the header are written whole; every message ends in its
// separator.
TEST_F(ConvertTest, ImportConvertsEachMessageWithItsReadStateAndSeparator) {
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

// A failure inside a message takes back what was written of it, through the same code in the
// Windows program (these tests also run under Wine) and on POSIX. Three messages, the second
// taking two blocks to copy. .eml files: a file per message, the one a failure cut is deleted.
// Import: three writes a message (header, the rest, the separator), the target cut back to its
// last whole message.
TEST_F(ConvertTest, AFailureInsideAMessageTakesBackWhatWasWrittenOfIt) {
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
  static int fault;  // the n-th write fails; -n: the n-th read of 100 bytes or more
  const struct {
    decltype(&ImportMailbox) operation;
    int fault;
    const char* notice;
    size_t whole;  // messages that stay
  } kCases[] = {
      {ExportMailbox, 1, "WriteFile(Destination)", 0},  // the first message's only write
      {ExportMailbox, 3, "WriteFile(Destination)", 1},  // the second block of the second
      {ExportMailbox, -2, "ReadFile(Source)", 1},       // that block's read ran short
      {ImportMailbox, 1, "WriteFile(Destination)", 0},
      {ImportMailbox, 3, "WriteFile(Destination)", 0},
      {ImportMailbox, 5, "WriteFile(Destination)", 1},
      {ImportMailbox, 9, "WriteFile(Destination)", 2},
  };
  SetTransferObserver([](bool is_write, uint32_t count) {
    if (fault == 0 || is_write != (fault > 0) || (!is_write && count < 100)) return true;
    fault -= fault > 0 ? 1 : -1;
    return fault != 0;
  });
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    fs::remove_all(folder_.Join("out"));
    fs::create_directory(folder_.Join("out"));
    notices_.notices.clear();
    state_.conversion_run = {};
    state_.choices = {};
    fault = c.fault;
    EXPECT_FALSE(Convert(c.operation, store));
    EXPECT_EQ(ShownNotice(notices_.notices, c.notice), c.notice);
    Files kept;
    for (size_t i = 1; i <= c.whole; ++i) kept[EmlFileName("exp", i)] = spec.messages[i - 1].bytes;
    if (c.operation == ImportMailbox) kept = {{"Box.mbx", sound.substr(0, ends[c.whole])}};
    EXPECT_EQ(Written(), kept);
  }
  SetTransferObserver(nullptr);
}

// The source mailbox cut inside the second message as its bytes are read: every output
// keeps the first message as a run on it alone writes it, nothing of the second, and shows one
// notice. No run leaves a file open, whether it went through, met a taken name or a short read.
TEST_F(ConvertTest, ASourceThatShrinksDuringARunLeavesWholeMessagesOnly) {
#if defined(_WIN32)
  GTEST_SKIP() << "the system lets no one write a mailbox being read";
#endif
  StoreSpec spec;
  spec.messages = {{SimpleMessage("one", "short\r\n"), 0, 0},
                   {SimpleMessage("two", std::string(40000, 'b') + "\r\n"), 0, 0}};
  const BuiltStore store = BuildStore(spec);
  static std::string mailbox;
  static uint64_t cut_at;
  mailbox = folder_.Join("in") + kPathSeparator + "Box.mbx";
  cut_at = store.record_offsets[1] + kRecordHeaderSize + kBlockSize + 100;  // .eml: a block in
  spec.messages.resize(1);
  auto shape = [&] {  // out/'s files and bytes, names without numbers; out/ emptied
    std::multiset<std::string> files;
    for (const auto& [name, bytes] : Written()) {
      std::string path = name;
      std::erase_if(path, [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
      files.insert(path + " " + bytes);
    }
    fs::remove_all(Out(""));
    fs::create_directory(Out(""));
    return files;
  };
  auto open_files = [] {  // none on Windows, which has no /proc
    std::error_code no_proc;
    return std::distance(fs::directory_iterator("/proc/self/fd", no_proc), {});
  };
  const auto open_before = open_files();
  for (MailboxOperation operation :
       {FromOldMailbox<ExportMailbox>, FromOldMailbox<ImportMailbox>,
        FromOldMailbox<ExportMailboxAsMbox>, FromOldMailbox<ExportMailboxAsMaildir>}) {
    ASSERT_TRUE(Convert(operation, BuildStore(spec)));
    state_.conversion_run = {};
    Convert(operation, BuildStore(spec));  // its names are taken now
    const auto whole = shape();
    notices_.notices.clear();
    state_.conversion_run = {};
    SetTransferObserver([](bool is_write, uint32_t count) {
      std::error_code error;  // reported by the comparisons below; a throw would leave this set
      if (!is_write && count >= 1000) fs::resize_file(mailbox, cut_at, error);
      return true;
    });
    EXPECT_FALSE(Convert(operation, store));
    SetTransferObserver(nullptr);
    EXPECT_EQ(ShownNotice(notices_.notices, "ReadFile(Source)"), "ReadFile(Source)");
    EXPECT_EQ(shape(), whole);
    EXPECT_EQ(open_files(), open_before);
  }
}

// Every run in turn on one state, so each must count and number afresh: each step the front end
// refuses, nothing to convert, no progress display, a folder named like a mailbox (failing with
// its own notice), a stop (which creates no target), and runs that go through and sum up, with
// the deleted mail when it was included. Dropped: only names ending in .mbx, in any case, each
// read from its own folder. However a folder run ends, its listing is closed: on Windows an open
// search keeps the folder from being removed.
TEST_F(ConvertTest, EachRunTakesTheStepsItsFrontEndAllowsAndSumsUp) {
  enum RunKind { kFolderImport, kFolderExport, kDroppedImport, kDroppedExport };
  enum Source { kMailbox, kIndexOnly, kSubfolder, kTwo, kNested };
  enum Twist { kNothing, kTarget, kPrepare, kPrefix, kProgress, kStop, kDeletedToo, kNoFolder };
  const struct {
    RunKind run;
    Source source;
    Twist twist;
    // The notice's start ("" for none); the target's file count and last name.
    const char *events, *notice, *target;
  } kCases[] = {
      {kFolderImport, kMailbox, kTarget, "check", "", "0"},
      {kDroppedImport, kMailbox, kTarget, "check", "", "0"},
      {kFolderImport, kMailbox, kPrepare, "check prepare", "", "0"},
      {kFolderExport, kMailbox, kPrefix, "prompt", "", "0"},
      {kDroppedExport, kMailbox, kPrefix, "prompt", "", "0"},
      {kFolderImport, kIndexOnly, kNothing, "check", "変換するメールボックスが１つ", "0"},
      {kFolderImport, kMailbox, kProgress, "check prepare open", "ウインドウが開けません。", "0"},
      {kFolderImport, kMailbox, kStop, "check prepare open close", "", "0"},
      {kDroppedImport, kMailbox, kStop, "check prepare open close", "", "0"},
      {kDroppedExport, kIndexOnly, kNothing, "prompt open close", "", "0"},
      {kFolderImport, kSubfolder, kNothing, "check prepare open close", "CreateFile(Source) ", "0"},
      {kFolderExport, kMailbox, kNoFolder, "prompt open close", "CreateFile(Destination) ", "0"},
      {kFolderExport, kTwo, kNothing, "prompt open close",
       "2 個のメールボックスから、計 2 通のメールを変換しました。", "2 exp00002.eml"},
      {kFolderExport, kTwo, kDeletedToo, "prompt open close",
       "2 個のメールボックスから、計 4 通のメールを変換しました。\n（内、削除メール 2 通）",
       "4 exp00004.eml"},
      {kDroppedImport, kNested, kNothing, "check prepare open close",
       "2 個のメールボックスから、計 3 通のメールを変換しました。", "2 INBOX.MBX"},
  };
  const std::string source = folder_.Join("in");
  StoreSpec spec;  // two messages, the first deleted in the index
  spec.messages = {{SimpleMessage("a", "x\r\n"), 1}, {"b"}};
  const BuiltStore store = BuildStore(spec);
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    fs::create_directory(source);
    fs::create_directory(folder_.Join("out"));
    if (c.source != kIndexOnly && c.source != kSubfolder) WriteStore(source, "A", store);
    if (c.source == kTwo) WriteStore(source, "B", store);
    if (c.source == kIndexOnly) WriteFileBytes(source + "/Inbox.idx", "JMF9");
    if (c.source == kSubfolder) fs::create_directory(source + "/Folder.mbx");
    if (c.source == kNested) {
      fs::create_directory(source + "/o");
      WriteFileBytes(source + "/o/INBOX.MBX", store.mailbox);
    }
    std::vector<std::string> drops = {source + "/ambx", source + "/.mb", source + "/A.idx",
                                      source + "/A.mbx", source + "/o/INBOX.MBX"};
    drops.resize(c.source == kIndexOnly ? 3 : c.source == kNested ? 5 : 4);  // those that exist
    FakeFrontEnd front_end;
    front_end.target = Out("");
    front_end.target_ok = c.twist != kTarget;
    front_end.prepare_ok = c.twist != kPrepare;
    front_end.prefix_ok = c.twist != kPrefix;
    front_end.progress_ok = c.twist != kProgress;
    state_.stop_requested = c.twist == kStop ? +[] { return true; } : nullptr;
    state_.choices.include_deleted = c.twist == kDeletedToo;
    state_.source_dir = source + kPathSeparator;
    front_end.prefix = Out(c.twist == kNoFolder ? "none/exp" : "exp");
    notices_.notices.clear();
    if (c.run == kFolderImport) RunFolderImport(&state_, &front_end);
    if (c.run == kFolderExport) RunFolderExport(&state_, &front_end);
    if (c.run == kDroppedImport) RunDroppedImport(&state_, &front_end, drops);
    if (c.run == kDroppedExport) RunDroppedExport(&state_, &front_end, drops);
    std::string events;
    for (const std::string& event : front_end.events) events += (events.empty() ? "" : " ") + event;
    EXPECT_EQ(events, c.events);
    EXPECT_EQ(ShownNotice(notices_.notices, c.notice), c.notice);
    Files written = Written();
    EXPECT_EQ(
        std::to_string(written.size()) + (written.empty() ? "" : " " + written.rbegin()->first),
        c.target);
    std::error_code error;
    fs::remove_all(source, error);
    EXPECT_FALSE(error) << error.message();
    fs::remove_all(folder_.Join("out"));
  }
}

}  // namespace
}  // namespace ferrolt
