#include "platform/mail_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/files.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
namespace fs = std::filesystem;

TEST(MailFilesTest, RenameNeverReplacesAnExistingFile) {
  TempFolder folder;
  WriteFileBytes(folder.Join("from"), "new");
  WriteFileBytes(folder.Join("taken"), "old");
  IoStatus refused = RenameWithoutReplacing(folder.Join("from"), folder.Join("taken"));
  EXPECT_EQ(refused.kind, IoKind::kAlreadyExists);
  EXPECT_EQ(ReadFileBytes(folder.Join("taken")), "old");
  EXPECT_EQ(ReadFileBytes(folder.Join("from")), "new");
  ASSERT_TRUE(RenameWithoutReplacing(folder.Join("from"), folder.Join("free")).ok());
  EXPECT_EQ(ReadFileBytes(folder.Join("free")), "new");
  EXPECT_FALSE(fs::exists(folder.Join("from")));
  EXPECT_EQ(RenameWithoutReplacing(folder.Join("from"), folder.Join("x")).kind, IoKind::kNotFound);
}

TEST(MailFilesTest, FileTimeIsSetAndTheHostNamed) {
  TempFolder folder;
  File file;
  ASSERT_TRUE(CreateNewFile(folder.Join("dated"), &file).ok());
  EXPECT_TRUE(SetFileTime(file, 862794660).ok());
  CloseFile(&file);
  auto written = std::chrono::file_clock::to_sys(fs::last_write_time(folder.Join("dated")));
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(written.time_since_epoch()).count(),
            862794660);
  EXPECT_FALSE(HostName().empty());
}

}  // namespace
}  // namespace ferrolt
