// Which entries of a folder are mailboxes, through the real folder listing.

#include "convert/mailbox_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/recorders.h"
#include "tests/support/store_builder.h"

namespace ferrolt {
namespace {

using namespace ferrolt::testing;

// The listing is closed on every path: when it finds nothing (no folder, no name, or only names
// a "*.mbx" search matches through their short names), and by CloseListing after its end.
TEST(MailboxListingTest, FindsMailboxesInAnyCaseAndIsClosedOnEveryPath) {
  TempFolder folder;
  const std::string prefix = folder.path() + kPathSeparator;
  // The names found, sorted, then how the listing ended and whether it was left open.
  auto listed = [](const std::string& where) {
    FolderListing listing;
    std::string name;
    std::vector<std::string> names;
    IoStatus status = StartMailboxListing(where, &listing, &name);
    for (; status.ok(); status = NextMailboxInListing(&listing, &name)) names.push_back(name);
    if (status.kind == IoKind::kEndOfListing) CloseListing(&listing);
    std::sort(names.begin(), names.end());
    const char* const kKinds[] = {"ok", "not found", "exists", "end", "error"};
    names.push_back(kKinds[static_cast<int>(status.kind)] +
                    std::string(listing.native == -1 ? " closed" : " open"));
    return names;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(listed(folder.Join("absent") + kPathSeparator), Names{"not found closed"});
  EXPECT_EQ(listed(prefix), Names{"not found closed"});
  WriteFileBytes(folder.Join("notes.mbxy"), "");
  WriteFileBytes(folder.Join("Inbox.idx"), "");
  EXPECT_EQ(listed(prefix), Names{"not found closed"});
  WriteFileBytes(folder.Join("Inbox.mbx"), "");
  WriteFileBytes(folder.Join("OUTBOX.MBX"), "");
  std::filesystem::create_directory(folder.Join("Sub.mbx"));
  EXPECT_EQ(listed(prefix), (Names{"Inbox.mbx", "OUTBOX.MBX", "Sub.mbx", "end closed"}));
}

}  // namespace
}  // namespace ferrolt
