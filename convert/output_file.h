#ifndef FERROLT_CONVERT_OUTPUT_FILE_H_
#define FERROLT_CONVERT_OUTPUT_FILE_H_

#include <string>

#include "notices/catalogue.h"
#include "platform/files.h"

namespace ferrolt {

// What a creation that never replaces anything tells the user: true when `status` is ok; else
// false after `taken_notice` with `path` when the name was taken, or `failed_notice` with the
// system's code for any other failure. Every output's new file, folder or name goes through it.
bool ShowCreationFailure(const IoStatus& status, const std::string& path, int taken_notice,
                         int failed_notice);

// Creates a new output file, never touching an existing one: an existing name shows the notice
// `taken_notice` with the full path, any other failure kCreateOutputFailed with the system's
// error. The import names the target client's folder in its notice (kOutputExists).
bool CreateOutputFile(const std::string& path, File* file, int taken_notice = kOutputNameTaken);

// Creates `path` as a new folder with the attributes of `parent`, never using an existing one:
// an existing name shows kOutputNameTaken with the path, any other failure kCreateFolderFailed.
bool CreateOutputFolder(const std::string& parent, const std::string& path);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_OUTPUT_FILE_H_
