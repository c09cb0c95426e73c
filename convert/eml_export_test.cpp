#include "convert/eml_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

class EmlExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(source_.Join("in"));
    state_.source_dir = source_.Join("in") + kPathSeparator;
    state_.export_prefix = output_.Join("exp");
    state_.progress = &progress_;
  }
  StoreSpec Messages(int count, const std::string& tag) {
    StoreSpec spec;
    for (int i = 0; i < count; ++i) {
      spec.messages.push_back({SimpleMessage(tag + std::to_string(i), std::string(i, '\0')), 0,
                               static_cast<uint32_t>(i)});
    }
    spec.seed = static_cast<uint32_t>(count * 31 + tag.size());
    return spec;
  }
  std::string Output(const std::string& number) {
    return ReadFileBytes(output_.Join("exp" + number + ".eml"));
  }

  TempFolder source_, output_;
  ProgressRecorder progress_;
  RunState state_;
};

TEST_F(EmlExportTest, NumbersRunThroughEveryMailboxAndKeepBytesExactly) {
  StoreSpec first = Messages(2, "a"), second = Messages(3, "b");
  second.with_index = false;
  WriteStore(source_.Join("in"), "One", BuildStore(first));
  WriteStore(source_.Join("in"), "Two", BuildStore(second));
  NoticeRecorder notices;
  EXPECT_TRUE(ExportMailbox(&state_, "One.mbx"));
  EXPECT_TRUE(ExportMailbox(&state_, "Two.mbx"));
  EXPECT_TRUE(notices.notices.empty());
  EXPECT_EQ(Output("00001"), first.messages[0].bytes);
  EXPECT_EQ(Output("00002"), first.messages[1].bytes);
  EXPECT_EQ(Output("00005"), second.messages[2].bytes);  // NUL bytes kept as they are
  EXPECT_FALSE(std::filesystem::exists(output_.Join("exp00006.eml")));
  EXPECT_EQ(progress_.calls.front(), "label:One.mbx");
}

TEST_F(EmlExportTest, SkippedDeletedMessagesLeaveNoGap) {
  StoreSpec spec = Messages(3, "c");
  spec.messages[1].flags = 1;
  WriteStore(source_.Join("in"), "Box", BuildStore(spec));
  EXPECT_TRUE(ExportMailbox(&state_, "Box.mbx"));
  EXPECT_EQ(Output("00002"), spec.messages[2].bytes);
  EXPECT_FALSE(std::filesystem::exists(output_.Join("exp00003.eml")));
}

TEST_F(EmlExportTest, ExistingFileStopsWithItsFullPathAndIsNotTouched) {
  WriteStore(source_.Join("in"), "Box", BuildStore(Messages(3, "d")));
  WriteFileBytes(output_.Join("exp00002.eml"), "mine");
  NoticeRecorder notices;
  EXPECT_FALSE(ExportMailbox(&state_, "Box.mbx"));
  ASSERT_EQ(notices.notices.size(), 1u);
  EXPECT_EQ(notices.notices[0].text,
            "MS-IM のフォルダーと同じ名前のフォルダーがすでに Corvane! に存在します。\n" +
                output_.Join("exp00002.eml"));
  EXPECT_EQ(Output("00002"), "mine");
  EXPECT_TRUE(std::filesystem::exists(output_.Join("exp00001.eml")));
  EXPECT_FALSE(std::filesystem::exists(output_.Join("exp00003.eml")));
}

TEST_F(EmlExportTest, MissingMailboxAndRefusedNameShowTheSystemError) {
  NoticeRecorder notices;
  EXPECT_FALSE(ExportMailbox(&state_, "Absent.mbx"));
  WriteStore(source_.Join("in"), "Box", BuildStore(Messages(1, "e")));
  state_.export_prefix = output_.Join("no-such-folder") + kPathSeparator + "exp";
  EXPECT_FALSE(ExportMailbox(&state_, "Box.mbx"));
  ASSERT_EQ(notices.notices.size(), 2u);
  EXPECT_EQ(notices.notices[0].text.rfind("CreateFile(Source) のエラーです。Code=<", 0), 0u);
  EXPECT_EQ(notices.notices[1].text.rfind("CreateFile(Destination) のエラーです。Code=<", 0), 0u);
}

TEST(EmlFileNameTest, FiveDigitsAtLeast) {
  EXPECT_EQ(EmlFileName("p", 7), "p00007.eml");
  EXPECT_EQ(EmlFileName("p", 123456), "p123456.eml");
}

}  // namespace
}  // namespace ferrolt
