#include "convert/exact_io.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/exact_io_fixture.h"
#include "platform/files.h"
#include "tests/support/convert_fixtures.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

std::vector<std::string> transfers;

bool RecordTransfer(bool is_write, uint32_t count) {
  transfers.push_back((is_write ? "w" : "r") + std::to_string(count));
  return true;
}

// Whole blocks while more than a block remains, then the rest in one last transfer, even when
// that is nothing or exactly a block; a source ending early is a read error with code 0.
TEST(CopyBytesTest, BlocksThenTheRest) {
  const std::vector<std::string> kBlock = {"r32768", "w32768"};
  const struct {
    uint32_t available, count;
    std::vector<std::string> transfers;
  } kCases[] = {
      {10, 0, {"r0", "w0"}},
      {32768, 32768, kBlock},
      {70000, 65537, {"r32768", "w32768", "r32768", "w32768", "r1", "w1"}},
      {100, 40000, {"r32768"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.count);
    TempFolder folder;
    std::string bytes(c.available, '\0');
    for (uint32_t i = 0; i < c.available; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
    WriteFileBytes(folder.Join("source"), bytes);
    File source, output;
    ASSERT_TRUE(OpenFileForReading(folder.Join("source"), &source).ok());
    ASSERT_TRUE(CreateNewFile(folder.Join("output"), &output).ok());
    NoticeRecorder notices;
    transfers.clear();
    SetTransferObserver(RecordTransfer);
    bool ok = CopyBytes(source, output, c.count);
    SetTransferObserver(nullptr);
    CloseFile(&source);
    CloseFile(&output);
    EXPECT_EQ(transfers, c.transfers);
    bool complete = c.count <= c.available;
    EXPECT_EQ(ok, complete);
    EXPECT_TRUE(!complete || ReadFileBytes(folder.Join("output")) == bytes.substr(0, c.count));
    const std::string notice = complete ? "" : "ReadFile(Source) のエラーです。Code=<0>\n";
    EXPECT_EQ(ShownNotice(notices.notices, notice), notice);
  }
}

}  // namespace
}  // namespace ferrolt
