#ifndef FERROLT_STORES_TARGET_CLIENT_H_
#define FERROLT_STORES_TARGET_CLIENT_H_

// The target client: whether it is installed, running and configured, and the folder "From
// MS-IM" of its default user, into which converted mailboxes go.

#include <string>

namespace ferrolt {

// True when the target client's settings key exists.
bool TargetClientInstalled();

// Installed, not running, "HomeDir" set, default user valid. Sets *home_dir. Shows its own
// notice and returns false otherwise.
bool CheckTargetClient(std::string* home_dir);

// The default user has "POP" and "Address". Shows its own notice and returns false otherwise.
bool ValidateTargetUser();

// `home_dir` + "User<n>" + separator + "From MS-IM" + separator, n being the default user's
// mail directory number.
std::string AppendTargetFolder(const std::string& home_dir);

// Creates the folder `path` (with or without its trailing separator) with the attributes of
// `template_folder`, and when it is new the empty marker "<path>.mbx" beside it that makes the
// client list it. An existing folder is used as it is: a second run adds new mailboxes beside the
// old. Any other failure shows kCreateFolderFailed and returns false.
bool CreateTargetFolder(const std::string& template_folder, const std::string& path);

// Creates the target folder of AppendTargetFolder(home_dir) and sets *target_dir. Shows its own
// notice and returns false on failure.
bool PrepareTargetFolder(const std::string& home_dir, std::string* target_dir);

}  // namespace ferrolt

#endif  // FERROLT_STORES_TARGET_CLIENT_H_
