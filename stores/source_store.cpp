#include "stores/source_store.h"

#include "notices/catalogue.h"
#include "notices/notices.h"
#include "platform/files.h"
#include "platform/system_settings.h"

namespace ferrolt {
namespace {

constexpr char kSourceClientKey[] = "Software\\Microsoft\\Internet Mail and News";
constexpr char kStoreRootValue[] = "Store Root";
// While the source client runs, its store may be elsewhere than its settings say; the user is
// asked instead.
constexpr char kSourceWindowClass[] = "CabinetWClass";
constexpr char kSourceWindowTitle[] = "Internet Mail";

}  // namespace

bool SourceClientInstalled() { return RegistryKeyExists(kSourceClientKey); }

bool LocateSourceStore(std::string* source_dir, SourceFolderPrompt prompt, void* context) {
  if (!SourceClientInstalled()) {
    ShowMessage(kSourceClientNotInstalled, kCaptionRegistryError);
    return false;
  }
  if (TopLevelWindowExists(kSourceWindowClass, kSourceWindowTitle)) {
    return prompt(context, source_dir);
  }
  std::string store_root;
  if (!ReadRegistryString(kSourceClientKey, kStoreRootValue, &store_root) || store_root.empty()) {
    ShowMessage(kSourceStoreUnknown, kCaptionRegistryError);
    return false;
  }
  if (!EndsInPathSeparator(store_root)) store_root += kPathSeparator;
  *source_dir = store_root + "Mail" + kPathSeparator;
  return true;
}

}  // namespace ferrolt
