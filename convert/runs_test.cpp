#include "convert/runs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/fake_front_end.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

class RunsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.source_dir = source_.path() + kPathSeparator;
    front_end_.target = target_.path() + kPathSeparator;
    front_end_.prefix = target_.Join("exp");
  }
  // A mailbox of `count` messages, the first of which is deleted in the index.
  StoreSpec Mailbox(int count) {
    StoreSpec spec;
    for (int i = 0; i < count; ++i) {
      spec.messages.push_back({SimpleMessage("m" + std::to_string(i), "x\r\n"),
                               static_cast<uint8_t>(i == 0 ? 1 : 0), 0});
    }
    return spec;
  }
  std::vector<Notice> Notices() const { return notices_.notices; }

  TempFolder source_, target_;
  RunState state_;
  FakeFrontEnd front_end_;
  NoticeRecorder notices_;
};

TEST_F(RunsTest, FolderImportConvertsEveryMailboxAndReportsCountsWithDeleted) {
  WriteStore(source_.path(), "A", BuildStore(Mailbox(2)));
  WriteStore(source_.path(), "B", BuildStore(Mailbox(3)));
  WriteStore(source_.path(), "C", BuildStore(Mailbox(1)));
  state_.conversion_run.skip_deleted = false;
  RunFolderImport(&state_, &front_end_);
  EXPECT_EQ(front_end_.events, (std::vector<std::string>{"check", "prepare", "open", "close"}));
  ASSERT_EQ(Notices().size(), 1u);
  EXPECT_EQ(Notices()[0].text,
            "3 個のメールボックスから、計 6 通のメールを変換しました。\n（内、削除メール 3 通）");
  EXPECT_EQ(Notices()[0].style, kNoticeInformation);
  EXPECT_TRUE(std::filesystem::exists(target_.Join("C.mbx")));
}

TEST_F(RunsTest, FolderExportSkippingDeletedCountsOnlyWhatWasHandedOn) {
  WriteStore(source_.path(), "A", BuildStore(Mailbox(2)));
  WriteStore(source_.path(), "B", BuildStore(Mailbox(3)));
  RunFolderExport(&state_, &front_end_);
  EXPECT_EQ(front_end_.events, (std::vector<std::string>{"prompt", "open", "close"}));
  ASSERT_EQ(Notices().size(), 1u);
  EXPECT_EQ(Notices()[0].text, "2 個のメールボックスから、計 3 通のメールを変換しました。");
  EXPECT_TRUE(std::filesystem::exists(target_.Join("exp00003.eml")));
  EXPECT_FALSE(std::filesystem::exists(target_.Join("exp00004.eml")));
}

TEST_F(RunsTest, CountersAndNumberingStartAfreshEveryRun) {
  WriteStore(source_.path(), "A", BuildStore(Mailbox(2)));
  RunFolderExport(&state_, &front_end_);
  front_end_.prefix = target_.Join("again");
  RunFolderExport(&state_, &front_end_);
  ASSERT_EQ(Notices().size(), 2u);
  EXPECT_EQ(Notices()[1].text, Notices()[0].text);
  EXPECT_TRUE(std::filesystem::exists(target_.Join("again00001.eml")));
}

TEST_F(RunsTest, FailingSecondMailboxShowsOnlyItsNoticeAndKeepsTheFirstOutput) {
  WriteStore(source_.path(), "A", BuildStore(Mailbox(2)));
  StoreSpec broken = Mailbox(2);
  broken.mailbox_magic = "XXXX";
  WriteStore(source_.path(), "B", BuildStore(broken));
  RunFolderImport(&state_, &front_end_);
  ASSERT_EQ(Notices().size(), 1u);
  EXPECT_EQ(Notices()[0].text,
            "Microsoft Internet Mail メールボックス形式のファイルではありません。");
  EXPECT_EQ(front_end_.events.back(), "close");
  EXPECT_FALSE(ReadFileBytes(target_.Join("A.mbx")).empty());
  EXPECT_TRUE(ReadFileBytes(target_.Join("B.mbx")).empty());  // created, nothing written
}

TEST_F(RunsTest, SubfolderNamedLikeAMailboxStopsTheRunWhenReached) {
  std::filesystem::create_directory(source_.Join("Folder.mbx"));
  RunFolderImport(&state_, &front_end_);
  RunFolderExport(&state_, &front_end_);
  ASSERT_EQ(Notices().size(), 2u);
  for (const Notice& notice : Notices()) {
    EXPECT_EQ(notice.text.rfind("CreateFile(Source) のエラーです。", 0), 0u) << notice.text;
  }
  EXPECT_TRUE(std::filesystem::is_empty(target_.path()));
}

// Every file a run opens is closed again, whether its mailboxes convert or fail.
TEST_F(RunsTest, NoFileIsLeftOpen) {
  const std::filesystem::path kOpen = "/proc/self/fd";
  if (!std::filesystem::exists(kOpen)) GTEST_SKIP() << "this system does not list open files";
  auto open_files = [&] { return std::distance(std::filesystem::directory_iterator(kOpen), {}); };
  WriteStore(source_.path(), "A", BuildStore(Mailbox(2)));
  StoreSpec broken = Mailbox(2);
  broken.mailbox_magic = "XXXX";
  WriteStore(source_.path(), "B", BuildStore(broken));
  auto before = open_files();
  RunFolderImport(&state_, &front_end_);
  RunFolderExport(&state_, &front_end_);
  EXPECT_EQ(open_files(), before);
}

TEST_F(RunsTest, NothingToConvertStopsBeforeTheTargetIsPrepared) {
  WriteFileBytes(source_.Join("Inbox.idx"), "JMF9");
  RunFolderImport(&state_, &front_end_);
  EXPECT_EQ(front_end_.events, (std::vector<std::string>{"check"}));
  ASSERT_EQ(Notices().size(), 1u);
  EXPECT_EQ(Notices()[0].text, "変換するメールボックスが１つもありません。");
}

TEST_F(RunsTest, RefusalsEndRunsWithoutFurtherSteps) {
  WriteStore(source_.path(), "A", BuildStore(Mailbox(1)));
  front_end_.target_ok = false;
  RunFolderImport(&state_, &front_end_);
  RunDroppedImport(&state_, &front_end_, {source_.Join("A.mbx")});
  front_end_.prefix_ok = false;
  RunFolderExport(&state_, &front_end_);
  RunDroppedExport(&state_, &front_end_, {source_.Join("A.mbx")});
  EXPECT_EQ(front_end_.events, (std::vector<std::string>{"check", "check", "prompt", "prompt"}));
  EXPECT_TRUE(Notices().empty());  // the front end showed its own notice, or the user cancelled
}

TEST_F(RunsTest, ProgressDisplayThatCannotOpenShowsWindowNotice) {
  WriteStore(source_.path(), "A", BuildStore(Mailbox(1)));
  front_end_.progress_ok = false;
  RunFolderExport(&state_, &front_end_);
  ASSERT_EQ(Notices().size(), 1u);
  EXPECT_EQ(Notices()[0].text, "ウインドウが開けません。");
  EXPECT_FALSE(std::filesystem::exists(target_.Join("exp00001.eml")));
}

// However a folder run ends, its listing is closed: on Windows an open search keeps the folder
// from being removed. (The POSIX listing is read whole when it starts.)
TEST_F(RunsTest, EveryEndOfAFolderRunClosesTheListing) {
  enum End { kDone, kTargetNotPrepared, kProgressNotOpened, kMailboxFails, kStopped };
  for (End end : {kDone, kTargetNotPrepared, kProgressNotOpened, kMailboxFails, kStopped}) {
    TempFolder source, target;
    state_.source_dir = source.path() + kPathSeparator;
    front_end_.target = target.path() + kPathSeparator;
    StoreSpec second = Mailbox(1);
    if (end == kMailboxFails) second.mailbox_magic = "XXXX";
    WriteStore(source.path(), "A", BuildStore(Mailbox(1)));
    WriteStore(source.path(), "B", BuildStore(second));
    front_end_.prepare_ok = end != kTargetNotPrepared;
    front_end_.progress_ok = end != kProgressNotOpened;
    state_.stop_requested = end == kStopped ? +[] { return true; } : nullptr;
    RunFolderImport(&state_, &front_end_);
    for (const char* name : {"A.mbx", "A.idx", "B.mbx", "B.idx"}) {
      std::filesystem::remove(source.Join(name));
    }
    std::error_code error;
    EXPECT_TRUE(std::filesystem::remove(source.path(), error)) << end << ": " << error.message();
  }
}

TEST_F(RunsTest, DropsTakeMailboxesInAnyCaseFromTheirOwnFolders) {
  TempFolder other;
  WriteStore(source_.path(), "A", BuildStore(Mailbox(2)));
  StoreSpec upper = Mailbox(1);
  upper.with_index = false;
  BuiltStore built = BuildStore(upper);
  WriteFileBytes(other.Join("INBOX.MBX"), built.mailbox);
  RunDroppedImport(&state_, &front_end_,
                   {source_.Join("A.idx"), source_.Join("A.mbx"), other.Join("INBOX.MBX")});
  EXPECT_EQ(front_end_.events, (std::vector<std::string>{"check", "prepare", "open", "close"}));
  ASSERT_EQ(Notices().size(), 1u);
  EXPECT_EQ(Notices()[0].text, "2 個のメールボックスから、計 2 通のメールを変換しました。");
  EXPECT_TRUE(std::filesystem::exists(target_.Join("INBOX.MBX")));
}

TEST_F(RunsTest, DropWithoutMailboxesOpensAndClosesProgressSilently) {
  RunDroppedExport(&state_, &front_end_, {source_.Join("Inbox.idx"), source_.Join("a.txt")});
  EXPECT_EQ(front_end_.events, (std::vector<std::string>{"prompt", "open", "close"}));
  EXPECT_TRUE(Notices().empty());
}

// Answers "stop" from its fourth question on: before mailbox A, before each of A's two
// messages, then before mailbox B.
int stop_questions = 0;
bool StopAtFourthQuestion() { return ++stop_questions >= 4; }

TEST_F(RunsTest, StopBetweenMailboxesCreatesNoFurtherTargetAndShowsNothing) {
  WriteStore(source_.path(), "A", BuildStore(Mailbox(2)));
  WriteStore(source_.path(), "B", BuildStore(Mailbox(2)));
  state_.stop_requested = StopAtFourthQuestion;
  state_.conversion_run.skip_deleted = false;
  for (bool dropped : {false, true}) {
    stop_questions = 0;
    TempFolder target;
    front_end_.target = target.path() + kPathSeparator;
    if (dropped) {
      RunDroppedImport(&state_, &front_end_, {source_.Join("A.mbx"), source_.Join("B.mbx")});
    } else {
      RunFolderImport(&state_, &front_end_);
    }
    EXPECT_NE(ReadFileBytes(target.Join("A.mbx")).find("m1"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(target.Join("B.mbx")));
    EXPECT_EQ(front_end_.events.back(), "close");
  }
  EXPECT_TRUE(Notices().empty());
}

TEST(HasMailboxExtensionTest, OnlyDotMbxInAnyCase) {
  EXPECT_TRUE(HasMailboxExtension("a.mbx"));
  EXPECT_TRUE(HasMailboxExtension("C:\\x\\INBOX.MbX"));
  EXPECT_FALSE(HasMailboxExtension("a.idx"));
  EXPECT_FALSE(HasMailboxExtension("ambx"));
  EXPECT_FALSE(HasMailboxExtension(".mb"));
}

}  // namespace
}  // namespace ferrolt
