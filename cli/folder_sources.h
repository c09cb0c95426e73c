#ifndef FERROLT_CLI_FOLDER_SOURCES_H_
#define FERROLT_CLI_FOLDER_SOURCES_H_

// A folder given on the command line stands for its mailboxes, taken in byte order of their
// names on every system, so the same store gives the same .eml numbers on Linux and Windows.
// (The window converts a folder in the system's listing order.)

#include <string>
#include <vector>

namespace ferrolt {

// Replaces *paths with the paths of `folder`'s mailboxes ("*.mbx" in any case), sorted by byte
// order of name. False after kNoMailbox when there is none, or kListingFailed when the listing
// fails.
bool ListFolderMailboxes(const std::string& folder, std::vector<std::string>* paths);

}  // namespace ferrolt

#endif  // FERROLT_CLI_FOLDER_SOURCES_H_
