#ifndef FERROLT_CLI_LIST_COMMAND_H_
#define FERROLT_CLI_LIST_COMMAND_H_

#include <cstdio>
#include <string>

#include "convert/salvage_reader.h"

namespace ferrolt {

// Prints one line per message of the mailbox, in reading order: number, flags (D deleted or -,
// then R read or U unread; "--" without index), record offset, length, Date, From and Subject,
// separated by tabs. Date, From and Subject are made readable (the date as "1997-05-05 10:11
// +0900", the texts decoded to UTF-8) unless `raw` asks for them as stored. With `salvage` the
// mailbox is read as salvage reads it, into that report, and a last column says how each
// message was found. Stops when a stop signal arrives. False after a failure notice, or when
// `out` failed (no notice).
bool ListMailbox(const std::string& path, std::FILE* out, SalvageReport* salvage = nullptr,
                 bool raw = false);

// The Subject header's value as stored, folded lines joined, tabs and line ends as spaces.
std::string SubjectOf(const std::string& header);

// A header text as a person reads it: encoded words decoded and Japanese in any of the codes
// turned into UTF-8, through our converter and the system's code page 932; on one line.
std::string DecodedHeaderText(const std::string& value);

}  // namespace ferrolt

#endif  // FERROLT_CLI_LIST_COMMAND_H_
