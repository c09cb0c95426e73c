#include "cli/folder_sources.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

// Made in the order a case-blind listing gives; byte order puts capitals first. Neither the
// system's order (Wine's follows the Linux directory) nor NTFS's is byte order.
// (A folder without one gets a notice: checked end to end.)
TEST(FolderSourcesTest, MailboxesComeInByteOrderOfName) {
  TempFolder folder;
  std::vector<std::string> paths = {"replaced"};
  for (const char* name : {"alpha.mbx", "beta.MBX", "Mid.mbx", "notes.txt", "Zeta.mbx"}) {
    WriteFileBytes(folder.Join(name), "x");
  }
  NoticeRecorder notices;
  ASSERT_TRUE(ListFolderMailboxes(folder.path(), &paths));
  std::vector<std::string> expected;
  for (const char* name : {"Mid.mbx", "Zeta.mbx", "alpha.mbx", "beta.MBX"}) {
    expected.push_back(folder.Join(name));
  }
  EXPECT_EQ(paths, expected);
  EXPECT_TRUE(notices.notices.empty());
}

}  // namespace
}  // namespace ferrolt
