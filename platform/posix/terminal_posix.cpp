#include <unistd.h>

#include "platform/terminal.h"

namespace ferrolt {

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

}  // namespace ferrolt
