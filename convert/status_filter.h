#ifndef FERROLT_CONVERT_STATUS_FILTER_H_
#define FERROLT_CONVERT_STATUS_FILTER_H_

// Rewrites a message's read state for the target client: every "Status:" header line goes, and
// "Status: R" is added when the message is known to have been read.

#include <cstddef>
#include <string>
#include <string_view>

namespace ferrolt {

// Copies the header of `text` (up to the first line that starts with CR or LF, or the end)
// into *header without its status lines, adds "Status: R" CR LF when `add_status`, and returns
// where the header ended in `text`: the caller writes *header, then `text` from there on.
size_t FilterStatusHeader(std::string_view text, bool add_status, std::string* header);

}  // namespace ferrolt

#endif  // FERROLT_CONVERT_STATUS_FILTER_H_
