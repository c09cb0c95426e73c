#include "platform/mail_files.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace ferrolt
