#ifndef FERROLT_CONVERT_MAILBOX_LISTING_H_
#define FERROLT_CONVERT_MAILBOX_LISTING_H_

// Which files are mailboxes: the platform lists a folder, this decides what in it is mail.

#include <string>
#include <string_view>

#include "base/ascii.h"
#include "platform/files.h"

namespace ferrolt {

// True when `name` ends in ".mbx" in any ASCII case: the one test of what names a mailbox.
inline bool HasMailboxExtension(std::string_view name) {
  return name.size() >= 4 && ascii::EqualsIgnoringCase(name.substr(name.size() - 4), ".mbx");
}

// Starts listing the mailboxes of `folder` (ending in a separator, or empty for the current
// folder): the entries whose names have the mailbox extension, folders included, in the
// listing's order. kNotFound, the listing closed, when none has or the folder cannot be listed;
// any other failure closes it too. Otherwise *first_name is the first, and CloseListing ends it.
IoStatus StartMailboxListing(const std::string& folder, FolderListing* listing,
                             std::string* first_name);

// The next mailbox's name, or kEndOfListing when there are no more; any other kind is a failure.
IoStatus NextMailboxInListing(FolderListing* listing, std::string* name);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_MAILBOX_LISTING_H_
