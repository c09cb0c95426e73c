#ifndef FERROLT_CONVERT_OUTPUT_FILE_H_
#define FERROLT_CONVERT_OUTPUT_FILE_H_

#include <string>

#include "platform/files.h"

namespace ferrolt {

// Creates a new output file, never touching an existing one: an existing name shows notice 63
// with the full path, any other failure notice 52 with the system's error.
bool CreateOutputFile(const std::string& path, File* file);

// Creates `path` as a new folder with the attributes of `parent`, never using an existing one:
// an existing name shows notice 63 with the path, any other failure notice 49.
bool CreateOutputFolder(const std::string& parent, const std::string& path);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_OUTPUT_FILE_H_
