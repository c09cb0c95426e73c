// A stop asked for between messages: the mailbox ends before the next message, silently, and
// what was written holds whole messages only, in both reading modes and for both consumers.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "convert/eml_export.h"
#include "convert/target_writer.h"
#include "platform/files.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

// The stop query takes no context, as a signal handler's flag does not; the test counts the
// questions and says yes from the chosen one on.
int questions_asked = 0;
int stop_at_question = 0;

bool StopFromTheChosenQuestion() { return ++questions_asked >= stop_at_question; }

class StopRequestTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    fs::create_directory(folder_.Join("in"));
    fs::create_directory(folder_.Join("out"));
    for (int i = 0; i < 5; ++i) {
      spec_.messages.push_back({SimpleMessage("m" + std::to_string(i), "body\r\n"),
                                static_cast<uint8_t>(i == 1 ? 1 : 0), 3});
    }
    spec_.with_index = GetParam();
    WriteStore(folder_.Join("in"), "Box", BuildStore(spec_));
    state_.source_dir = folder_.Join("in") + kPathSeparator;
    state_.target_dir = folder_.Join("out") + kPathSeparator;
    state_.export_prefix = folder_.Join("out") + kPathSeparator + "m";
    state_.progress = &progress_;
    state_.conversion_run.skip_deleted = false;
    state_.stop_requested = StopFromTheChosenQuestion;
    questions_asked = 0;
  }

  TempFolder folder_;
  StoreSpec spec_;
  ProgressRecorder progress_;
  RunState state_;
};

TEST_P(StopRequestTest, ExportStopsBeforeTheNextMessageWithoutANotice) {
  stop_at_question = 4;  // asked before each message: three go through
  NoticeRecorder notices;
  EXPECT_FALSE(ExportMailbox(&state_, "Box.mbx"));
  EXPECT_TRUE(notices.notices.empty());
  EXPECT_EQ(state_.conversion_run.message_count, 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ReadFileBytes(EmlFileName(state_.export_prefix, i + 1)), spec_.messages[i].bytes);
  }
  EXPECT_FALSE(fs::exists(EmlFileName(state_.export_prefix, 4)));
}

TEST_P(StopRequestTest, ImportStopsAfterAWholeMessageAndBeforeTheFirstWhenAskedAtOnce) {
  stop_at_question = 3;
  NoticeRecorder notices;
  EXPECT_FALSE(ImportMailbox(&state_, "Box.mbx"));
  // Read messages gain a read status, which only an index can tell.
  std::string status = GetParam() ? "Status: R\r\n" : "";
  std::string expected;
  for (int i = 0; i < 2; ++i) {
    expected += "From: a@example.jp\r\nSubject: m" + std::to_string(i) + "\r\n" + status +
                "\r\nbody\r\n\r\n.\r\n";
  }
  EXPECT_EQ(ReadFileBytes(folder_.Join("out/Box.mbx")), expected);
  EXPECT_EQ(state_.conversion_run.message_count, 2);

  stop_at_question = 1;
  questions_asked = 0;
  state_.target_dir = folder_.Join("in") + kPathSeparator + "again" + kPathSeparator;
  fs::create_directory(folder_.Join("in/again"));
  EXPECT_FALSE(ImportMailbox(&state_, "Box.mbx"));
  EXPECT_EQ(ReadFileBytes(folder_.Join("in/again/Box.mbx")), "");
  EXPECT_TRUE(notices.notices.empty());
}

TEST_P(StopRequestTest, NoQueryNeverStops) {
  state_.stop_requested = nullptr;
  NoticeRecorder notices;
  EXPECT_TRUE(ExportMailbox(&state_, "Box.mbx"));
  EXPECT_EQ(state_.conversion_run.message_count, 5);
}

INSTANTIATE_TEST_SUITE_P(BothReadingModes, StopRequestTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Indexed" : "RecordByRecord";
                         });

}  // namespace
}  // namespace ferrolt
