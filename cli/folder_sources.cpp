#include "cli/folder_sources.h"

#include <algorithm>

#include "cli/cli_front_end.h"
#include "convert/mailbox_listing.h"
#include "notices/catalogue.h"
#include "notices/notices.h"
#include "platform/files.h"

namespace ferrolt {

bool ListFolderMailboxes(const std::string& folder, std::vector<std::string>* paths) {
  std::string dir = WithTrailingSeparator(folder);
  FolderListing listing;
  std::string name;
  if (!StartMailboxListing(dir, &listing, &name).ok()) {
    ShowMessage(kNoMailbox, kCaptionProgramError);
    return false;
  }
  std::vector<std::string> names;
  IoStatus status;
  do {
    names.push_back(name);
    status = NextMailboxInListing(&listing, &name);
  } while (status.ok());
  CloseListing(&listing);
  if (status.kind != IoKind::kEndOfListing) {
    ShowErrorCode(kListingFailed, kCaptionProgramError, status.code);
    return false;
  }
  std::sort(names.begin(), names.end());
  paths->clear();
  for (const std::string& each : names) paths->push_back(dir + each);
  return true;
}

}  // namespace ferrolt
