#include "convert/status_filter.h"

#include <cstring>

#include "kanji/ascii.h"

namespace ferrolt {
namespace {

constexpr std::string_view kStatusLine = "Status: R\r\n";

bool EndsHeader(char first) { return first == '\0' || first == '\r' || first == '\n'; }

// "Status:" in any case, the colon right after the name.
bool IsStatusLine(std::string_view line) {
  return line.size() >= 7 && line[6] == ':' &&
         ascii::EqualsIgnoringCase(line.substr(0, 6), "status");
}

// The length of the line at `start`, its line end included: it ends after an LF (a CR before
// it belongs to the line end), at a NUL (not included), or at the end of the text.
size_t LineLength(std::string_view text, size_t start) {
  const char* begin = text.data() + start;
  size_t left = text.size() - start;
  const void* lf = std::memchr(begin, '\n', left);
  size_t until =
      lf == nullptr ? left : static_cast<size_t>(static_cast<const char*>(lf) - begin) + 1;
  const void* nul = std::memchr(begin, '\0', until);
  return nul == nullptr ? until : static_cast<size_t>(static_cast<const char*>(nul) - begin);
}

// True when the header's first line ends in LF alone.
bool UsesBareLineFeeds(std::string_view header) {
  size_t lf = header.find('\n');
  return lf != std::string_view::npos && (lf == 0 || header[lf - 1] != '\r');
}

}  // namespace

size_t FilterStatusHeader(std::string_view text, bool add_status, std::string* header) {
  header->clear();
  size_t position = 0;
  while (position < text.size() && !EndsHeader(text[position])) {
    size_t length = LineLength(text, position);
    std::string_view line = text.substr(position, length);
    if (!IsStatusLine(line)) header->append(line);
    position += length;
  }
  if (add_status) {
    // A last header line without its line end would swallow the status line; it gets the line
    // end the header uses, and a lone CR at its end is completed to CR LF.
    if (!header->empty() && header->back() == '\r') {
      header->push_back('\n');
    } else if (!header->empty() && header->back() != '\n') {
      header->append(UsesBareLineFeeds(*header) ? "\n" : "\r\n");
    }
    header->append(kStatusLine);
  }
  return position;
}

}  // namespace ferrolt
