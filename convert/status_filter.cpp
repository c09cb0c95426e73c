#include "convert/status_filter.h"

#include "base/ascii.h"
#include "convert/mail_header.h"

namespace ferrolt {
namespace {

constexpr std::string_view kStatusLine = "Status: R\r\n";

// "Status:" in any case, the colon right after the name.
bool IsStatusLine(std::string_view line) {
  return line.size() >= 7 && line[6] == ':' &&
         ascii::EqualsIgnoringCase(line.substr(0, 6), "status");
}

// True when the header's first line ends in LF alone.
bool UsesBareLineFeeds(std::string_view header) {
  size_t lf = header.find('\n');
  return lf != std::string_view::npos && (lf == 0 || header[lf - 1] != '\r');
}

}  // namespace

size_t FilterStatusHeader(std::string_view text, bool add_status, std::string* header) {
  header->clear();
  size_t header_end = HeaderEnd(text);
  for (size_t position = 0; position < header_end;) {
    size_t line_end = LineEnd(text, position);
    std::string_view line = text.substr(position, line_end - position);
    if (!IsStatusLine(line)) header->append(line);
    position = line_end;
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
  return header_end;
}

}  // namespace ferrolt
