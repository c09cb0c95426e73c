#include "convert/maildir_export.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "platform/files.h"
#include "platform/mail_files.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

MessageRecord Indexed(uint8_t flags) {
  MessageRecord record;
  record.has_flags = true;
  record.flags = flags;
  return record;
}

TEST(MaildirNamesTest, PlaceFollowsTheReadAndDeletedFlags) {
  struct Case {
    MessageRecord record;
    const char* place;
  };
  const Case cases[] = {
      {MessageRecord(), "new/u"},  // no index: nothing known, so new
      {Indexed(0), "cur/u:2,S"},  {Indexed(2), "new/u"},        {Indexed(1), "cur/u:2,ST"},
      {Indexed(3), "cur/u:2,T"},  {Indexed(0xfc), "cur/u:2,S"},  // bits we do not know change
                                                                 // nothing
  };
  for (const Case& c : cases) EXPECT_EQ(MaildirPlace("u", c.record, ':'), c.place);
  EXPECT_EQ(MaildirPlace("u", Indexed(0), ';'), "cur/u;2,S");
}

TEST(MaildirNamesTest, UniqueNameEscapesWhatMaildirReservesInHostNames) {
  EXPECT_EQ(MaildirUniqueName(862794660, 12, "mail.example.jp"), "862794660.12.mail.example.jp");
  EXPECT_EQ(MaildirUniqueName(1, 2, "a/b:c"), "1.2.a\\057b\\072c");
}

class MaildirExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(folder_.Join("in"));
    fs::create_directory(folder_.Join("out"));
    state_.source_dir = folder_.Join("in") + kPathSeparator;
    state_.target_dir = folder_.Join("out") + kPathSeparator;
    state_.progress = &progress_;
    state_.conversion_run.skip_deleted = false;
  }
  // Files below `part` of the Maildir out/Inbox, by name without the unique part's time.
  std::map<std::string, std::string> Files(const std::string& part) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder_.Join("out/Inbox/" + part))) {
      std::string name = entry.path().filename().string();
      files[name.substr(name.find('.') + 1)] = ReadFileBytes(entry.path().string());
    }
    return files;
  }

  TempFolder folder_;
  ProgressRecorder progress_;
  RunState state_;
};

TEST_F(MaildirExportTest, EachMessageLandsUnchangedWhereItsFlagsSay) {
  StoreSpec spec;
  spec.messages = {{"Date: Mon, 5 May 1997 10:11:00 +0900\r\n\r\nread\r\n", 0, 2},
                   {"Subject: unread\n\nFrom x\r\n", 2, 0},
                   {"Subject: deleted\r\n\r\nx", 1, 0}};
  WriteStore(folder_.Join("in"), "Inbox", BuildStore(spec));
  NoticeRecorder notices;
  ASSERT_TRUE(ExportMailboxAsMaildir(&state_, "Inbox.mbx"));
  EXPECT_TRUE(notices.notices.empty());
  std::string host = HostName();
  std::string sep = kColonAllowedInFileNames ? ":" : ";";
  EXPECT_EQ(Files("cur"), (std::map<std::string, std::string>{
                              {"1." + host + sep + "2,S", spec.messages[0].bytes},
                              {"3." + host + sep + "2,ST", spec.messages[2].bytes}}));
  EXPECT_EQ(Files("new"),
            (std::map<std::string, std::string>{{"2." + host, spec.messages[1].bytes}}));
  EXPECT_TRUE(Files("tmp").empty());
  // Dated from the Date header, 1997-05-05 01:11:00 UTC; without one, from now.
  for (const auto& entry : fs::directory_iterator(folder_.Join("out/Inbox/cur"))) {
    auto written = std::chrono::file_clock::to_sys(fs::last_write_time(entry.path()));
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(written.time_since_epoch());
    bool dated = entry.path().string().find("2,ST") == std::string::npos;
    EXPECT_EQ(seconds.count() == 862794660, dated) << entry.path();
  }
}

TEST_F(MaildirExportTest, AnExistingFolderStopsTheMailboxAndStaysAsItWas) {
  StoreSpec spec;
  spec.messages = {{SimpleMessage("one", "x"), 0, 0}};
  WriteStore(folder_.Join("in"), "Inbox", BuildStore(spec));
  fs::create_directory(folder_.Join("out/Inbox"));
  WriteFileBytes(folder_.Join("out/Inbox/mine"), "mine");
  NoticeRecorder notices;
  EXPECT_FALSE(ExportMailboxAsMaildir(&state_, "Inbox.mbx"));
  ASSERT_EQ(notices.notices.size(), 1u);
  EXPECT_EQ(notices.notices[0].text.substr(notices.notices[0].text.find('\n') + 1),
            state_.target_dir + "Inbox");
  EXPECT_EQ(fs::directory_iterator(folder_.Join("out/Inbox"))->path().filename(), "mine");
}

}  // namespace
}  // namespace ferrolt
