#include "convert/status_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace ferrolt {
namespace {

struct Filtered {
  std::string header;
  std::string rest;
};

Filtered Filter(const std::string& text, bool add_status) {
  Filtered result;
  size_t end = FilterStatusHeader(text, add_status, &result.header);
  result.rest = text.substr(end);
  return result;
}

TEST(StatusFilterTest, RemovesStatusLinesAndAddsReadStatusAtTheEndOfTheHeader) {
  const std::string text = "From: a\r\nStatus: U\r\nSubject: b\r\n\r\nbody\r\nStatus: body\r\n";
  Filtered read = Filter(text, true);
  EXPECT_EQ(read.header, "From: a\r\nSubject: b\r\nStatus: R\r\n");
  EXPECT_EQ(read.rest, "\r\nbody\r\nStatus: body\r\n");
  Filtered unread = Filter(text, false);
  EXPECT_EQ(unread.header, "From: a\r\nSubject: b\r\n");
  EXPECT_EQ(unread.rest, read.rest);
}

TEST(StatusFilterTest, MatchesTheNameInAnyCaseButOnlyWithTheColonRightAfterIt) {
  Filtered result = Filter(
      "STATUS: RO\r\nstatus:x\r\nStatus : kept\r\nX-Status: kept\r\nStatusbar: kept\r\n"
      "StAtUs: O\r\n\r\n",
      false);
  EXPECT_EQ(result.header, "Status : kept\r\nX-Status: kept\r\nStatusbar: kept\r\n");
  EXPECT_EQ(result.rest, "\r\n");
}

TEST(StatusFilterTest, FoldedLineAfterARemovedStatusStaysAsALineOfItsOwn) {
  Filtered result = Filter("Status: U\r\n\tcontinued\r\nTo: c\r\n\r\nx", false);
  EXPECT_EQ(result.header, "\tcontinued\r\nTo: c\r\n");
}

TEST(StatusFilterTest, LfOnlyLinesAndLoneCarriageReturnsKeepTheirBytes) {
  Filtered result = Filter("A: 1\nStatus: U\nB: x\ry\n\nbody\n", true);
  EXPECT_EQ(result.header, "A: 1\nB: x\ry\nStatus: R\r\n");
  EXPECT_EQ(result.rest, "\nbody\n");
  // A line that starts with a lone CR ends the header too.
  EXPECT_EQ(Filter("A: 1\r\n\rB\r\n", false).rest, "\rB\r\n");
}

TEST(StatusFilterTest, TextWithoutEmptyLineIsAllHeader) {
  Filtered ended = Filter("A: 1\r\nStatus: O\r\n", true);
  EXPECT_EQ(ended.header, "A: 1\r\nStatus: R\r\n");
  EXPECT_EQ(ended.rest, "");
  // The last line lacks its line end: the status line must still be a line of its own.
  Filtered unended = Filter("A: 1\r\nB: 2", true);
  EXPECT_EQ(unended.header, "A: 1\r\nB: 2\r\nStatus: R\r\n");
  EXPECT_EQ(Filter("A: 1\r\nB: 2", false).header, "A: 1\r\nB: 2");
}

TEST(StatusFilterTest, AnUnendedLastLineGetsTheLineEndTheHeaderUses) {
  const struct {
    const char* text;
    const char* header;
  } kCases[] = {
      {"A: 1\r\nB: 2\r", "A: 1\r\nB: 2\r\nStatus: R\r\n"},  // a lone CR is completed
      {"B: 2\r", "B: 2\r\nStatus: R\r\n"},
      {"A: 1\nB: 2", "A: 1\nB: 2\nStatus: R\r\n"},
      {"A: 1\nB: 2\r", "A: 1\nB: 2\r\nStatus: R\r\n"},
      {"B: 2", "B: 2\r\nStatus: R\r\n"},
      {"A: 1\r\nB: x\ry", "A: 1\r\nB: x\ry\r\nStatus: R\r\n"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Filter(c.text, true).header, c.header) << c.text;
}

TEST(StatusFilterTest, TextStartingWithEmptyLineHasEmptyHeader) {
  Filtered result = Filter("\r\nStatus: U\r\n", true);
  EXPECT_EQ(result.header, "Status: R\r\n");
  EXPECT_EQ(result.rest, "\r\nStatus: U\r\n");
  EXPECT_EQ(Filter("", true).header, "Status: R\r\n");
  EXPECT_EQ(Filter("", false).header, "");
}

TEST(StatusFilterTest, NulIsAnOrdinaryByte) {
  std::string text("A: 1\r\nB: 2\0x\r\nStatus: U\r\n\r\nbody", 31);
  Filtered result = Filter(text, false);
  EXPECT_EQ(result.header, std::string("A: 1\r\nB: 2\0x\r\n", 14));
  EXPECT_EQ(result.rest, "\r\nbody");
}

}  // namespace
}  // namespace ferrolt
