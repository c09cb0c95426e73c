#include "convert/status_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace ferrolt {
namespace {

using std::string_literals::operator""s;

TEST(StatusFilterTest, DropsStatusLinesFromTheHeaderAndAddsReadStatusAtItsEnd) {
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
      {"B: 2", true, "B: 2\r\nStatus: R\r\n", ""},
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
    EXPECT_EQ(header, c.header) << c.text;
    EXPECT_EQ(c.text.substr(end), c.rest) << c.text;
  }
  // Only the text's own bytes are read, whatever follows them.
  std::string header;
  EXPECT_EQ(FilterStatusHeader(std::string_view("A: 1B", 4), false, &header), 4u);
}

}  // namespace
}  // namespace ferrolt
