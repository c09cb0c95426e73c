#include "convert/runs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/support/convert_fixtures.h"
#include "tests/support/fake_front_end.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

// Every run in turn on one state, so each must count and number afresh: each step the front end
// refuses, nothing to convert, no progress display, a folder named like a mailbox (failing with
// its own notice), a stop (which creates no target), and runs that go through and sum up, with
// the deleted mail when it was included. Dropped: only names ending in .mbx, in any case, each
// read from its own folder. However a folder run ends, its listing is closed: on Windows an open
// search keeps the folder from being removed.
TEST(RunsTest, EachRunTakesTheStepsItsFrontEndAllowsAndSumsUp) {
  enum RunKind { kFolderImport, kFolderExport, kDroppedImport, kDroppedExport };
  enum Source { kMailbox, kIndexOnly, kSubfolder, kTwo, kNested };
  enum Twist { kNothing, kTarget, kPrepare, kPrefix, kProgress, kStop, kDeletedToo };
  const struct {
    RunKind run;
    Source source;
    Twist twist;
    // The notice's start ("" for none); the target's file count and last name.
    const char *events, *notice, *target;
  } kCases[] = {
      {kFolderImport, kMailbox, kTarget, "check", "", "0"},
      {kDroppedImport, kMailbox, kTarget, "check", "", "0"},
      {kFolderImport, kMailbox, kPrepare, "check prepare", "", "0"},
      {kFolderExport, kMailbox, kPrefix, "prompt", "", "0"},
      {kDroppedExport, kMailbox, kPrefix, "prompt", "", "0"},
      {kFolderImport, kIndexOnly, kNothing, "check", "変換するメールボックスが１つ", "0"},
      {kFolderImport, kMailbox, kProgress, "check prepare open", "ウインドウが開けません。", "0"},
      {kFolderExport, kMailbox, kProgress, "prompt open", "ウインドウが開けません。", "0"},
      {kFolderImport, kMailbox, kStop, "check prepare open close", "", "0"},
      {kDroppedImport, kMailbox, kStop, "check prepare open close", "", "0"},
      {kDroppedExport, kIndexOnly, kNothing, "prompt open close", "", "0"},
      {kFolderImport, kSubfolder, kNothing, "check prepare open close", "CreateFile(Source) ", "0"},
      {kFolderExport, kSubfolder, kNothing, "prompt open close", "CreateFile(Source) ", "0"},
      {kFolderExport, kTwo, kNothing, "prompt open close",
       "2 個のメールボックスから、計 3 通のメールを変換しました。", "3 exp00003.eml"},
      {kFolderExport, kTwo, kDeletedToo, "prompt open close",
       "2 個のメールボックスから、計 5 通のメールを変換しました。\n（内、削除メール 2 通）",
       "5 exp00005.eml"},
      {kDroppedImport, kNested, kNothing, "check prepare open close",
       "2 個のメールボックスから、計 2 通のメールを変換しました。", "2 INBOX.MBX"},
  };
  TempFolder source, target;
  RunState state;
  FakeFrontEnd front_end;
  NoticeRecorder notices;
  front_end.target = target.path() + kPathSeparator;
  front_end.prefix = target.Join("exp");
  auto store = [](int count) {  // the first message deleted in the index
    StoreSpec spec;
    for (int i = 0; i < count; ++i) {
      spec.messages.push_back({SimpleMessage("m" + std::to_string(i), "x\r\n"), i == 0});
    }
    return BuildStore(spec);
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(&c - kCases);
    fs::create_directory(source.path());
    fs::create_directory(target.path());
    if (c.source != kIndexOnly && c.source != kSubfolder) WriteStore(source.path(), "A", store(2));
    if (c.source == kTwo) WriteStore(source.path(), "B", store(3));
    if (c.source == kIndexOnly) WriteFileBytes(source.Join("Inbox.idx"), "JMF9");
    if (c.source == kSubfolder) fs::create_directory(source.Join("Folder.mbx"));
    if (c.source == kNested) {
      fs::create_directory(source.Join("o"));
      WriteFileBytes(source.Join("o") + kPathSeparator + "INBOX.MBX", store(1).mailbox);
    }
    std::vector<std::string> drops = {source.Join("ambx"), source.Join(".mb")};
    for (const auto& entry : fs::recursive_directory_iterator(source.path())) {
      drops.push_back(entry.path().string());
    }
    front_end.events.clear();
    front_end.target_ok = c.twist != kTarget;
    front_end.prepare_ok = c.twist != kPrepare;
    front_end.prefix_ok = c.twist != kPrefix;
    front_end.progress_ok = c.twist != kProgress;
    state.stop_requested = c.twist == kStop ? +[] { return true; } : nullptr;
    state.conversion_run.skip_deleted = c.twist != kDeletedToo;
    state.source_dir = source.path() + kPathSeparator;
    notices.notices.clear();
    if (c.run == kFolderImport) RunFolderImport(&state, &front_end);
    if (c.run == kFolderExport) RunFolderExport(&state, &front_end);
    if (c.run == kDroppedImport) RunDroppedImport(&state, &front_end, drops);
    if (c.run == kDroppedExport) RunDroppedExport(&state, &front_end, drops);
    std::string events;
    for (const std::string& event : front_end.events) events += (events.empty() ? "" : " ") + event;
    EXPECT_EQ(events, c.events);
    EXPECT_EQ(ShownNotice(notices.notices, c.notice), c.notice);
    std::set<std::string> written;
    for (const auto& entry : fs::directory_iterator(target.path())) {
      written.insert(entry.path().filename().string());
    }
    EXPECT_EQ(std::to_string(written.size()) + (written.empty() ? "" : " " + *written.rbegin()),
              c.target);
    std::error_code error;
    fs::remove_all(source.path(), error);
    EXPECT_FALSE(error) << error.message();
    fs::remove_all(target.path());
  }
}

}  // namespace
}  // namespace ferrolt
