#ifndef FERROLT_CLI_LIST_COMMAND_H_
#define FERROLT_CLI_LIST_COMMAND_H_

#include <cstdio>
#include <string>

#include "convert/salvage_reader.h"

namespace ferrolt {

// Prints one line per message of the mailbox, in reading order: number, flags (D deleted,
// U unread, "--" without index), record offset, length and Subject, separated by tabs. With
// `salvage` the mailbox is read as salvage reads it, into that report, and a last column says
// how each message was found. Stops when a stop signal arrives. False after a failure notice,
// or when `out` failed (no notice).
bool ListMailbox(const std::string& path, std::FILE* out, SalvageReport* salvage = nullptr);

// The Subject header's value as stored, folded lines joined, tabs and line ends as spaces.
std::string SubjectOf(const std::string& header);

}  // namespace ferrolt

#endif  // FERROLT_CLI_LIST_COMMAND_H_
