#include "convert/eml_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/convert_fixtures.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;
using EmlExportTest = ConvertFolders;

// Numbers run on through every mailbox of a run, a deleted message left out leaves no gap, and
// bytes are kept as they are, NUL bytes too. Without an index nothing is known to be deleted.
TEST_F(EmlExportTest, NumbersRunThroughMailboxesWithoutGapsAndBytesStayExact) {
  StoreSpec first, second;
  for (int i = 0; i < 3; ++i) {
    first.messages.push_back({SimpleMessage("a" + std::to_string(i), std::string(i, '\0')),
                              static_cast<uint8_t>(i == 1), static_cast<uint32_t>(i)});
    second.messages.push_back({SimpleMessage("b" + std::to_string(i), "x"), 1, 0});
  }
  second.with_index = false;
  state_.conversion_run.skip_deleted = true;
  EXPECT_TRUE(Convert(ExportMailbox, BuildStore(first), "One"));
  EXPECT_TRUE(Convert(ExportMailbox, BuildStore(second), "Two"));
  EXPECT_TRUE(notices_.notices.empty());
  const MessageSpec* expected[] = {&first.messages[0], &first.messages[2], &second.messages[0],
                                   &second.messages[1], &second.messages[2]};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(ReadFileBytes(Out("exp0000" + std::to_string(i + 1) + ".eml")), expected[i]->bytes);
  }
  EXPECT_FALSE(std::filesystem::exists(Out("exp00006.eml")));
}

TEST_F(EmlExportTest, AFileThatCannotBeCreatedShowsTheSystemError) {
  StoreSpec spec;
  spec.messages = {{SimpleMessage("e", "x"), 0, 0}};
  state_.export_prefix = Out("no-such-folder") + kPathSeparator + "exp";
  EXPECT_FALSE(Convert(ExportMailbox, BuildStore(spec)));
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_EQ(notices_.notices[0].text.rfind("CreateFile(Destination) のエラーです。Code=<", 0), 0u);
}

}  // namespace
}  // namespace ferrolt
