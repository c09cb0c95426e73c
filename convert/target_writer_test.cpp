#include "convert/target_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/convert_fixtures.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
using TargetWriterTest = ConvertFolders;

// Status lines give way to the read state, which only an index tells; NUL bytes are left out;
// half-width kana widening the header are written whole; every message ends in its separator.
TEST_F(TargetWriterTest, EachMessageConvertedWithItsReadStateAndSeparator) {
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += "\x83\x41";  // katakana A, from half-width 0xB1
  const struct {
    std::string message;
    uint8_t flags;
    bool with_index;
    std::string written;
  } kCases[] = {
      {"From: a\r\nStatus: U\r\n\r\nread\r\n", 0, true,
       "From: a\r\nStatus: R\r\n\r\nread\r\n\r\n.\r\n"},
      {"From: b\r\nStatus: O\r\n\r\nunread\r\n", 2, true, "From: b\r\n\r\nunread\r\n\r\n.\r\n"},
      {"Status: R\nX: y\n\n.dot line\n", 0, false, "X: y\n\n.dot line\n\r\n.\r\n"},
      {std::string("From: a\0\r\nStatus: U\r\n\r\nb\0ody\0", 29), 0, true,
       "From: a\r\nStatus: R\r\n\r\nbody\r\n.\r\n"},
      {"Subject: x", 0, true, "Subject: x\r\nStatus: R\r\n\r\n.\r\n"},
      {"Subject: " + std::string(200, '\xB1') + "\r\n\r\n", 0, true,
       "Subject: " + wide + "\r\nStatus: R\r\n\r\n\r\n.\r\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    StoreSpec spec;
    spec.messages = {{c.message, c.flags, 0}};
    spec.with_index = c.with_index;
    std::filesystem::remove(Out("Box.mbx"));
    EXPECT_TRUE(Convert(ImportMailbox, BuildStore(spec)));
    EXPECT_EQ(ReadFileBytes(Out("Box.mbx")), c.written);
  }
}

}  // namespace
}  // namespace ferrolt
