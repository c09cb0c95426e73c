#ifndef FERROLT_CLI_LIST_COMMAND_H_
#define FERROLT_CLI_LIST_COMMAND_H_

#include <cstdio>
#include <string>

#include "convert/salvage_reader.h"

namespace ferrolt {

struct ListOptions {
  bool raw = false;         // Date, From and Subject as stored
  bool prefer_euc = false;  // text that reads both ways as kana is EUC-JP, as import's option
};

// Prints one line per message of the mailbox, in reading order: number, flags (D deleted or -,
// then R read or U unread; "--" without index), record offset, length, Date, From and Subject,
// separated by tabs. Date, From and Subject are made readable (the date as "1997-05-05 10:11
// +0900", the texts decoded to UTF-8) unless `options.raw` asks for them as stored; either way
// their controls are shown escaped (EscapeForTerminal). With `salvage` the mailbox is read as
// salvage reads it, into that report, and a last column says how each message was found. Stops
// when a stop signal arrives. False after a failure notice, or when `out` failed (no notice).
bool ListMailbox(const std::string& path, std::FILE* out, SalvageReport* salvage = nullptr,
                 const ListOptions& options = ListOptions());

// The Subject header's value as stored, folded lines joined, tabs and line ends as spaces.
std::string SubjectOf(const std::string& header);

// A header text as a person reads it, on one line: encoded words decoded, Japanese in any of
// the codes turned into UTF-8 through our converter and the system's code page 932 (half-width
// katakana as written, never widened; `prefer_euc` as import's --prefer-euc), UTF-8 and
// ISO-8859-1 words straight into UTF-8. Controls are left for EscapeForTerminal.
std::string DecodedHeaderText(const std::string& value, bool prefer_euc = false);

}  // namespace ferrolt

#endif  // FERROLT_CLI_LIST_COMMAND_H_
