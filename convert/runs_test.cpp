#include "convert/runs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/convert_fixtures.h"
#include "tests/support/fake_front_end.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

enum class RunKind { kFolderImport, kFolderExport, kDroppedImport, kDroppedExport };

class RunsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.source_dir = source_.path() + kPathSeparator;
    front_end_.target = target_.path() + kPathSeparator;
    front_end_.prefix = target_.Join("exp");
  }
  // A mailbox of `count` messages, the first of which is deleted in the index.
  void AddMailbox(const std::string& base, int count) {
    StoreSpec spec;
    for (int i = 0; i < count; ++i) {
      spec.messages.push_back({SimpleMessage("m" + std::to_string(i), "x\r\n"),
                               static_cast<uint8_t>(i == 0 ? 1 : 0), 0});
    }
    WriteStore(source_.path(), base, BuildStore(spec));
  }
  void Start(RunKind run, const std::vector<std::string>& drops = {}) {
    if (run == RunKind::kFolderImport) RunFolderImport(&state_, &front_end_);
    if (run == RunKind::kFolderExport) RunFolderExport(&state_, &front_end_);
    if (run == RunKind::kDroppedImport) RunDroppedImport(&state_, &front_end_, drops);
    if (run == RunKind::kDroppedExport) RunDroppedExport(&state_, &front_end_, drops);
  }
  std::string Events() const {
    std::string events;
    for (const std::string& event : front_end_.events)
      events += (events.empty() ? "" : " ") + event;
    return events;
  }

  TempFolder source_, target_;
  RunState state_;
  FakeFrontEnd front_end_;
  NoticeRecorder notices_;
};

// The summary counts what was handed on, with the deleted ones when they were included; every
// run counts and numbers afresh.
TEST_F(RunsTest, FolderRunsConvertEveryMailboxAndSumUp) {
  AddMailbox("A", 2);
  AddMailbox("B", 3);
  AddMailbox("C", 1);
  Start(RunKind::kFolderExport);
  EXPECT_EQ(Events(), "prompt open close");
  EXPECT_FALSE(fs::exists(target_.Join("exp00004.eml")));
  state_.conversion_run.skip_deleted = false;
  front_end_.prefix = target_.Join("again");
  Start(RunKind::kFolderExport);
  EXPECT_TRUE(fs::exists(target_.Join("again00006.eml")));
  EXPECT_EQ(
      ShownNotice(notices_.notices, ""),
      "3 個のメールボックスから、計 3 通のメールを変換しました。\n3 個のメールボックスから、計 "
      "6 通のメールを変換しました。\n（内、削除メール 3 通）\n");
  EXPECT_EQ(notices_.notices[0].style, kNoticeInformation);
}

// Runs that end before converting anything: each step the front end refuses, nothing to
// convert, no progress display, a folder named like a mailbox (failing with its own notice), a
// stop, which creates no target. However a folder run
// ends, its listing is closed: on Windows an open search keeps the folder from being removed.
TEST_F(RunsTest, RunsThatEndEarlyTakeNoFurtherStepAndCloseTheListing) {
  enum Source { kMailbox, kIndexOnly, kSubfolder };
  enum Refused { kNothing, kTarget, kPrepare, kPrefix, kProgress, kStop };
  using enum RunKind;
  const struct {
    RunKind run;
    Source source;
    Refused refused;
    const char *events, *notice;  // the notice's start; "" for none
  } kCases[] = {
      {kFolderImport, kMailbox, kTarget, "check", ""},
      {kDroppedImport, kMailbox, kTarget, "check", ""},
      {kFolderImport, kMailbox, kPrepare, "check prepare", ""},
      {kFolderExport, kMailbox, kPrefix, "prompt", ""},
      {kDroppedExport, kMailbox, kPrefix, "prompt", ""},
      {kFolderImport, kIndexOnly, kNothing, "check", "変換するメールボックスが１つ"},
      {kFolderImport, kMailbox, kProgress, "check prepare open", "ウインドウが開けません。"},
      {kFolderExport, kMailbox, kProgress, "prompt open", "ウインドウが開けません。"},
      {kFolderImport, kMailbox, kStop, "check prepare open close", ""},
      {kDroppedImport, kMailbox, kStop, "check prepare open close", ""},
      {kDroppedExport, kIndexOnly, kNothing, "prompt open close", ""},
      {kFolderImport, kSubfolder, kNothing, "check prepare open close", "CreateFile(Source) "},
      {kFolderExport, kSubfolder, kNothing, "prompt open close", "CreateFile(Source) "},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    fs::create_directory(source_.path());
    if (c.source == kMailbox) AddMailbox("A", 1);
    if (c.source == kIndexOnly) WriteFileBytes(source_.Join("Inbox.idx"), "JMF9");
    if (c.source == kSubfolder) fs::create_directory(source_.Join("Folder.mbx"));
    front_end_.events.clear();
    front_end_.target_ok = c.refused != kTarget;
    front_end_.prepare_ok = c.refused != kPrepare;
    front_end_.prefix_ok = c.refused != kPrefix;
    front_end_.progress_ok = c.refused != kProgress;
    state_.stop_requested = c.refused == kStop ? +[] { return true; } : nullptr;
    notices_.notices.clear();
    Start(c.run, {source_.Join(c.source == kMailbox ? "A.mbx" : "Inbox.idx"), source_.Join("a")});
    EXPECT_EQ(Events(), c.events);
    EXPECT_EQ(ShownNotice(notices_.notices, c.notice), c.notice);
    EXPECT_TRUE(fs::is_empty(target_.path()));
    std::error_code error;
    fs::remove_all(source_.path(), error);
    EXPECT_FALSE(error) << error.message();
  }
}

// Dropped files: only names ending in .mbx, in any case, each read from its own folder.
TEST_F(RunsTest, DropsTakeMailboxesInAnyCaseFromTheirOwnFolders) {
  TempFolder other;
  AddMailbox("A", 2);
  StoreSpec upper;
  upper.messages = {{SimpleMessage("u", "x\r\n")}};
  upper.with_index = false;
  WriteFileBytes(other.Join("INBOX.MBX"), BuildStore(upper).mailbox);
  Start(RunKind::kDroppedImport,
        {source_.Join("A.idx"), source_.Join("A.mbx"), source_.Join("ambx"), source_.Join(".mb"),
         other.Join("INBOX.MBX")});
  EXPECT_EQ(Events(), "check prepare open close");
  EXPECT_EQ(ShownNotice(notices_.notices, ""),
            "2 個のメールボックスから、計 2 通のメールを変換しました。\n");
  EXPECT_TRUE(fs::exists(target_.Join("INBOX.MBX")));
}

}  // namespace
}  // namespace ferrolt
