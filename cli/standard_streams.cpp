#include "cli/standard_streams.h"

#include <errno.h>
#include <fcntl.h>

#include <cstdio>
#include <cstring>
#include <string>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "cli/terminal_text.h"
#include "platform/terminal.h"

namespace ferrolt {
namespace {

// A write to a console that failed leaves no mark on the C runtime's stream.
bool standard_output_lost = false;

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

void ReserveStandardDescriptors() {
#if !defined(_WIN32)
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is `fd` itself: those below it are open by now.
    int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) close(opened);
  }
#endif
}

bool WriteShownText(std::FILE* stream, std::string_view text) {
  bool written = WriteStreamText(stream, EscapedButTabs(text));
  if (!written && stream == stdout) standard_output_lost = true;
  return written;
}

bool CheckStandardOutput() {
  static bool reported = false;
  errno = 0;
  bool flushed = std::fflush(stdout) == 0;
  int error = errno;
  if (flushed && std::ferror(stdout) == 0 && !standard_output_lost) return true;
  if (!reported) {
    reported = true;
    std::string line = "ferrolt-cli: cannot write to standard output: ";
    WriteShownText(stderr, line + std::strerror(error != 0 ? error : EIO) + "\n");
  }
  return false;
}

}  // namespace ferrolt
