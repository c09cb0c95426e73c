#include "convert/maildir_export.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "platform/mail_files.h"
#include "tests/support/convert_fixtures.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

// Each flag's place is read back by other Maildir readers end to end; here what those runs do
// not meet: bits we do not know, which change nothing, and ';' where ':' is not allowed.
TEST(MaildirNamesTest, UnknownFlagsChangeNothingAndHostsAreEscaped) {
  MessageRecord record;
  record.has_flags = true;
  record.flags = 0xfc;
  EXPECT_EQ(MaildirPlace("u", record, ';'), "cur/u;2,S");
  EXPECT_EQ(MaildirUniqueName(862794660, 12, "mail.example.jp"), "862794660.12.mail.example.jp");
  EXPECT_EQ(MaildirUniqueName(1, 2, "a/b:c"), "1.2.a\\057b\\072c");
}

using MaildirExportTest = ConvertFolders;

// Each message lands unchanged where its flags say, dated from its Date header (1997-05-05
// 01:11:00 UTC) or else from now; a second run finds the Maildir and leaves it alone.
TEST_F(MaildirExportTest, EachMessageLandsUnchangedWhereItsFlagsSay) {
  StoreSpec spec;
  spec.messages = {{"Date: Mon, 5 May 1997 10:11:00 +0900\r\n\r\nread\r\n", 0, 2},
                   {"Subject: unread\n\nFrom x\r\n", 2, 0},
                   {"Subject: deleted\r\n\r\nx", 1, 0}};
  ASSERT_TRUE(Convert(ExportMailboxAsMaildir, BuildStore(spec)));
  EXPECT_FALSE(Convert(ExportMailboxAsMaildir, BuildStore(spec)));
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_NE(notices_.notices[0].text.find("\n" + Out("Box")), std::string::npos);
  // Files by name without the unique part's time, with their bytes and whether dated.
  std::map<std::string, std::pair<std::string, bool>> files;
  for (const auto& entry : fs::recursive_directory_iterator(Out("Box"))) {
    if (!entry.is_regular_file()) continue;
    std::string name = entry.path().filename().string();
    auto written = std::chrono::file_clock::to_sys(fs::last_write_time(entry.path()));
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(written.time_since_epoch());
    files[entry.path().parent_path().filename().string() + "/" + name.substr(name.find('.') + 1)] =
        {ReadFileBytes(entry.path().string()), seconds.count() == 862794660};
  }
  std::string host = HostName(), sep = kColonAllowedInFileNames ? ":" : ";";
  EXPECT_EQ(files, (std::map<std::string, std::pair<std::string, bool>>{
                       {"cur/1." + host + sep + "2,S", {spec.messages[0].bytes, true}},
                       {"new/2." + host, {spec.messages[1].bytes, false}},
                       {"cur/3." + host + sep + "2,ST", {spec.messages[2].bytes, false}}}));
}

}  // namespace
}  // namespace ferrolt
