#include "convert/exact_io.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/exact_io_fixture.h"
#include "platform/files.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using testing::NoticeRecorder;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

std::vector<std::string> transfers;

bool RecordTransfer(bool is_write, uint32_t count) {
  std::string entry = is_write ? "w" : "r";
  entry += std::to_string(count);
  transfers.push_back(entry);
  return true;
}

class CopyBytesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    transfers.clear();
    SetTransferObserver(RecordTransfer);
  }
  void TearDown() override {
    SetTransferObserver(nullptr);
    CloseFile(&source_);
    CloseFile(&output_);
  }
  // Copies `count` bytes out of a source of `available` bytes; returns what arrived.
  std::string Copy(uint32_t available, uint32_t count, bool* ok) {
    std::string bytes(available, '\0');
    for (uint32_t i = 0; i < available; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
    source_bytes_ = bytes;
    WriteFileBytes(folder_.Join("source"), bytes);
    EXPECT_TRUE(OpenFileForReading(folder_.Join("source"), &source_).ok());
    EXPECT_TRUE(CreateNewFile(folder_.Join("output"), &output_).ok());
    *ok = CopyBytes(source_, output_, count);
    CloseFile(&output_);
    return ReadFileBytes(folder_.Join("output"));
  }

  TempFolder folder_;
  File source_, output_;
  std::string source_bytes_;
};

TEST_F(CopyBytesTest, ZeroBytesMakeOneEmptyTransfer) {
  bool ok = false;
  EXPECT_EQ(Copy(10, 0, &ok), "");
  EXPECT_TRUE(ok);
  EXPECT_EQ(transfers, (std::vector<std::string>{"r0", "w0"}));
}

TEST_F(CopyBytesTest, ExactlyOneBlockIsOneTransfer) {
  bool ok = false;
  std::string copied = Copy(32768, 32768, &ok);
  EXPECT_TRUE(copied == source_bytes_);
  EXPECT_TRUE(ok);
  EXPECT_EQ(transfers, (std::vector<std::string>{"r32768", "w32768"}));
}

TEST_F(CopyBytesTest, OneByteMoreThanTwoBlocksEndsWithOneByte) {
  bool ok = false;
  std::string copied = Copy(70000, 65537, &ok);
  EXPECT_TRUE(copied == source_bytes_.substr(0, 65537));
  EXPECT_TRUE(ok);
  EXPECT_EQ(transfers,
            (std::vector<std::string>{"r32768", "w32768", "r32768", "w32768", "r1", "w1"}));
}

TEST_F(CopyBytesTest, SourceEndingEarlyShowsReadErrorWithCodeZero) {
  NoticeRecorder recorder;
  bool ok = true;
  Copy(100, 40000, &ok);
  EXPECT_FALSE(ok);
  ASSERT_EQ(recorder.notices.size(), 1u);
  EXPECT_EQ(recorder.notices[0].text.rfind("ReadFile(Source) のエラーです。Code=<0>\n", 0), 0u);
  EXPECT_EQ(recorder.notices[0].caption, "Ferroltエラー");
}

TEST(ExactIoTest, WriteToReadOnlyFileShowsTheGivenMessageWithTheSystemCode) {
  TempFolder folder;
  WriteFileBytes(folder.Join("ro"), "x");
  File file;
  ASSERT_TRUE(OpenFileForReading(folder.Join("ro"), &file).ok());
  NoticeRecorder recorder;
  EXPECT_FALSE(WriteExact(file, "abc", 3, 55));
  CloseFile(&file);
  ASSERT_EQ(recorder.notices.size(), 1u);
  EXPECT_EQ(recorder.notices[0].text.rfind("WriteFile(Destination) のエラーです。Code=<", 0), 0u);
  EXPECT_EQ(recorder.notices[0].text.find("Code=<0>"), std::string::npos);
}

TEST(ExactIoTest, ReadU32LEIsLittleEndianAndUnsigned) {
  const unsigned char small[] = {0x54, 0, 0, 0};
  const unsigned char big[] = {0x01, 0x02, 0x03, 0xF4};
  EXPECT_EQ(ReadU32LE(small), 84u);
  EXPECT_EQ(ReadU32LE(big), 0xF4030201u);
}

}  // namespace
}  // namespace ferrolt
