#ifndef FERROLT_STORES_SOURCE_STORE_H_
#define FERROLT_STORES_SOURCE_STORE_H_

// Finding the source client's mailbox folder from its registry settings, or from the user.

#include <string>

namespace ferrolt {

// True when the source client's settings key exists.
bool SourceClientInstalled();

// Asks the user for a mailbox file and gives its folder (ending in a separator, or empty);
// false when the user cancelled.
using SourceFolderPrompt = bool (*)(void* context, std::string* source_dir);

// Sets *source_dir to the store's mail folder: asked through `prompt` while the source client's
// window is open, else "Store Root" + "Mail" + separator. False after a notice or a cancel.
bool LocateSourceStore(std::string* source_dir, SourceFolderPrompt prompt, void* context);

}  // namespace ferrolt

#endif  // FERROLT_STORES_SOURCE_STORE_H_
