#include <unistd.h>

#include "platform/terminal.h"

namespace ferrolt {

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

bool WriteStreamText(std::FILE* stream, std::string_view text) {
  size_t written = std::fwrite(text.data(), 1, text.size(), stream);
  return written == text.size() && std::ferror(stream) == 0;
}

}  // namespace ferrolt
