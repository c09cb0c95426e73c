#ifndef FERROLT_PLATFORM_COMMAND_LINE_H_
#define FERROLT_PLATFORM_COMMAND_LINE_H_

// The program's arguments, in the form the file functions take.

#include <string>
#include <vector>

namespace ferrolt {

// The arguments `argv` holds, argv[0] included. On POSIX they are the bytes given. On Windows
// they are read again as UTF-16 and converted to the ANSI code page the file functions use, so
// that no character is silently turned into '?' or a look-alike as the C runtime would: false
// when an argument after argv[0] holds a character that code page lacks, `*unfit` then that
// argument in UTF-8.
bool ReadProgramArguments(int argc, char** argv, std::vector<std::string>* arguments,
                          std::string* unfit);

}  // namespace ferrolt

#endif  // FERROLT_PLATFORM_COMMAND_LINE_H_
