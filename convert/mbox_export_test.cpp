#include "convert/mbox_export.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/mailbox_reader.h"

namespace ferrolt {
namespace {

MessageRecord Indexed(uint8_t flags) {
  MessageRecord record;
  record.has_flags = true;
  record.flags = flags;
  return record;
}

std::string Entry(const std::string& message, const MessageRecord& record) {
  std::vector<char> out(MboxEntryBound(message.size()));
  return std::string(out.data(), MboxEntry(message, record, out.data()));
}

constexpr char kFromLine[] = "From a@x Mon May  5 01:11:00 1997\n";
constexpr char kHead[] = "Date: Mon, 5 May 1997 10:11:00 +0900\r\nFrom: a@x\r\n";

TEST(MboxEntryTest, QuotesFromLinesEndsLinesInLfAndKeepsTheRest) {
  const struct {
    const char *body, *written;
  } kCases[] = {
      {"From here\r\n", ">From here\n"},
      {">From here\r\n>>From x\r\n", ">>From here\n>>>From x\n"},
      {" From no\r\nFrom\r\nFromage\r\n>From\r\n", " From no\nFrom\nFromage\n>From\n"},
      {"lone\rCR\r\n", "lone\rCR\n"},
      {"lf only\nFrom x\n", "lf only\n>From x\n"},
      {"no line end", "no line end\n"},
      {"From the end", ">From the end\n"},
      {"", ""},
      {"two blank\r\n\r\n\r\n", "two blank\n\n\n"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Entry(std::string(kHead) + "\r\n" + c.body, MessageRecord()),
              std::string(kFromLine) + "Date: Mon, 5 May 1997 10:11:00 +0900\nFrom: a@x\n\n" +
                  c.written + "\n")
        << c.body;
  }
}

TEST(MboxEntryTest, ReadStateReplacesAnyStatusLines) {
  const std::string message = std::string(kHead) +
                              "status: U\r\n continued\r\nX-Status: A\r\nX-Statuses: kept\r\n"
                              "Subject: s\r\n\r\nStatus: body\r\n";
  const std::string kept =
      "Date: Mon, 5 May 1997 10:11:00 +0900\nFrom: a@x\nX-Statuses: kept\nSubject: s\n";
  const struct {
    MessageRecord record;
    const char* status;
  } kCases[] = {
      {MessageRecord(), ""},  // no index: no read state known
      {Indexed(0), "Status: RO\n"},
      {Indexed(2), "Status: O\n"},
      {Indexed(1), "Status: RO\nX-Status: D\n"},
      {Indexed(3), "Status: O\nX-Status: D\n"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Entry(message, c.record), kFromLine + kept + c.status + "\nStatus: body\n\n")
        << c.status;
  }
  // Without a body the status still gets a line of its own.
  EXPECT_EQ(Entry("Subject: s", Indexed(0)),
            "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\nSubject: s\nStatus: RO\n\n");
  EXPECT_EQ(Entry("", Indexed(2)), "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\nStatus: O\n\n");
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

TEST(MboxEntryTest, BoundHoldsAMessageOfNothingButFromLines) {
  std::string message = "\r\n";
  for (int i = 0; i < 1000; ++i) message += "From \n";
  std::string entry = Entry(message, Indexed(3));
  EXPECT_LE(entry.size(), MboxEntryBound(message.size()));
  EXPECT_NE(entry.find("\n>From \n>From \n"), std::string::npos);
}

}  // namespace
}  // namespace ferrolt
