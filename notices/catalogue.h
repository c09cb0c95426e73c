#ifndef FERROLT_NOTICES_CATALOGUE_H_
#define FERROLT_NOTICES_CATALOGUE_H_

// The message catalogue: every caption, notice and interface string, by number.

#include <string>

namespace ferrolt {

// Ids of the catalogue, named where the code uses them.
enum CatalogueId : int {
  kCaptionRegistryError = 1,
  kCaptionSettingsError = 3,
  kCaptionProgramError = 4,
  kCaptionProgramMessage = 8,
  kTargetClientNotInstalled = 16,
  kTargetClientRunning = 17,
  kSourceClientNotInstalled = 18,
  kSourceStoreUnknown = 20,
  kTargetStoreUnknown = 21,
  kWindowClassFailed = 32,
  kWindowFailed = 33,
  kTargetUserInvalid = 34,
  kSummary = 35,
  kSummaryWithDeleted = 36,
  kNoMailbox = 48,
  kCreateFolderFailed = 49,
  kListingFailed = 50,
  kOpenSourceFailed = 51,
  kCreateOutputFailed = 52,
  kReadSourceFailed = 53,
  kReadIndexFailed = 54,
  kWriteOutputFailed = 55,
  kNotAMailbox = 59,
  kOutOfMemory = 62,
  kOutputExists = 63,     // the target client's folder: the window shows it for every output
  kOutputNameTaken = 64,  // the command line's other outputs
  kAboutMenuItem = 80,
  kExportDialogTitle = 81,
  kSourceDialogTitle = 82,
  kSessionEndReason = 83,
  kSalvageRecovered = 90,
  kSalvageUnusedEntries = 91,
  kSalvageEndedEarly = 92,
  kSalvageNothingSkipped = 93,
  kSalvageSkipped = 94,
  kSalvageMoreSkipped = 95,
};

// The compiled-in catalogue (UTF-8): false when `id` is not in it.
bool LoadCompiledCatalogueText(int id, std::string* text);

// The same texts in English (UTF-8), same ids and placeholders: false when `id` is not in it.
bool LoadEnglishCatalogueText(int id, std::string* text);

// Where texts come from: the compiled-in table unless a front end installs another source (the
// Windows program reads its string table). The text handed back is UTF-8.
using CatalogueLoader = bool (*)(int id, std::string* text);
void SetCatalogueLoader(CatalogueLoader loader);  // nullptr restores the compiled-in table
bool LoadCatalogueText(int id, std::string* text);

}  // namespace ferrolt

#endif  // FERROLT_NOTICES_CATALOGUE_H_
