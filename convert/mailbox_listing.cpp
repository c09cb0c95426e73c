#include "convert/mailbox_listing.h"

namespace ferrolt {

IoStatus StartMailboxListing(const std::string& folder, FolderListing* listing,
                             std::string* first_name) {
  IoStatus status = StartFolderListing(folder, listing);
  if (!status.ok()) return status;
  status = NextMailboxInListing(listing, first_name);
  if (status.ok()) return status;
  // The caller closes only a listing that started.
  CloseListing(listing);
  if (status.kind == IoKind::kEndOfListing) return {IoKind::kNotFound, status.code};
  return status;
}

IoStatus NextMailboxInListing(FolderListing* listing, std::string* name) {
  for (;;) {
    IoStatus status = NextInListing(listing, name);
    if (!status.ok() || HasMailboxExtension(*name)) return status;
  }
}

}  // namespace ferrolt
