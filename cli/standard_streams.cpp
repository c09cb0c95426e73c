#include "cli/standard_streams.h"

#include <errno.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli_texts.h"
#include "cli/terminal_text.h"
#include "platform/terminal.h"

namespace ferrolt {
namespace {

// A write to a console that failed leaves no mark on the C runtime's stream.
bool standard_output_lost = false;
int standard_output_error = 0;  // errno of the write that lost it, when one said

// The tabs are the listing's columns; every other control character is shown escaped.
std::string EscapedButTabs(std::string_view text) {
  std::string shown;
  size_t start = 0;
  for (size_t tab = text.find('\t'); tab != text.npos; tab = text.find('\t', start)) {
    shown += EscapeControls(text.substr(start, tab - start), true);
    shown += '\t';
    start = tab + 1;
  }
  shown += EscapeControls(text.substr(start), true);
  return shown;
}

}  // namespace

bool WriteShownText(std::FILE* stream, std::string_view text) {
  errno = 0;
  bool written = WriteStreamText(stream, EscapedButTabs(text));
  if (!written && stream == stdout && !standard_output_lost) {
    // A text longer than the stream's buffer fails here, not at the flush: keep its reason.
    standard_output_lost = true;
    standard_output_error = errno;
  }
  return written;
}

bool CheckStandardOutput() {
  static bool reported = false;
  errno = 0;
  bool flushed = std::fflush(stdout) == 0;
  int error = standard_output_error != 0 ? standard_output_error : errno;
  if (flushed && std::ferror(stdout) == 0 && !standard_output_lost) return true;
  if (!reported) {
    reported = true;
    std::string reason = std::strerror(error != 0 ? error : EIO);
    WriteShownText(stderr,
                   "ferrolt-cli: " + CliText(CliTextId::kStandardOutputLost, reason) + "\n");
  }
  return false;
}

}  // namespace ferrolt
