#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/terminal.h"

namespace ferrolt {

void ReserveStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is `fd` itself: those below it are open by now.
    int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) close(opened);
  }
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

bool WriteStreamText(std::FILE* stream, std::string_view text) {
  size_t written = std::fwrite(text.data(), 1, text.size(), stream);
  return written == text.size() && std::ferror(stream) == 0;
}

}  // namespace ferrolt
