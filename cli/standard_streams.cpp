#include "cli/standard_streams.h"

#include <errno.h>
#include <fcntl.h>

#include <cstdio>
#include <cstring>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace ferrolt {

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

bool CheckStandardOutput() {
  static bool reported = false;
  errno = 0;
  bool flushed = std::fflush(stdout) == 0;
  int error = errno;
  if (flushed && std::ferror(stdout) == 0) return true;
  if (!reported) {
    reported = true;
    std::fprintf(stderr, "ferrolt-cli: cannot write to standard output: %s\n",
                 std::strerror(error != 0 ? error : EIO));
  }
  return false;
}

}  // namespace ferrolt
