// Runs the status filter over arbitrary text. The first byte chooses whether a read status is
// added. Besides the sanitizers' findings it aborts when the header end lies outside the text or
// not at a header-ending byte, when a status line survives, or when any other header line is
// lost, changed or moved.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "convert/status_filter.h"

namespace {

constexpr std::string_view kAddedStatus = "Status: R\r\n";

bool StartsStatus(std::string_view line) {
  if (line.size() < 7 || line[6] != ':') return false;
  for (size_t i = 0; i < 6; ++i) {
    if ((line[i] | 0x20) != "status"[i]) return false;
  }
  return true;
}

std::string_view NextLine(std::string_view text, size_t at) {
  size_t end = text.find('\n', at);
  if (end == std::string_view::npos) return text.substr(at);
  return text.substr(at, end - at + 1);
}

// What completes the last line of `kept`: nothing after an LF, an LF after a lone CR, else the
// line end of the first line (LF alone, or CR LF).
std::string MissingLineEnd(std::string_view kept) {
  if (kept.empty() || kept.back() == '\n') return "";
  if (kept.back() == '\r') return "\n";
  size_t lf = kept.find('\n');
  bool bare = lf != std::string_view::npos && (lf == 0 || kept[lf - 1] != '\r');
  return bare ? "\n" : "\r\n";
}

// The header's lines must be the text's lines up to `end`, in order, minus the status lines.
void CheckHeader(std::string_view text, size_t end, std::string_view header, bool add_status) {
  size_t kept = 0;
  for (size_t at = 0; at < end;) {
    std::string_view line = NextLine(text.substr(0, end), at);
    if (line.empty()) std::abort();  // the filter stopped inside a line
    at += line.size();
    if (StartsStatus(line)) continue;
    if (header.substr(kept, line.size()) != line) std::abort();
    kept += line.size();
  }
  // After them only the added status line, with a line end first when the last line had none.
  std::string_view rest = header.substr(kept);
  std::string expected;
  if (add_status) expected = MissingLineEnd(header.substr(0, kept)) + std::string(kAddedStatus);
  if (rest != expected) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  bool add_status = (data[0] & 1) != 0;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string header = "left over from an earlier message";
  size_t end = ferrolt::FilterStatusHeader(text, add_status, &header);
  if (end > text.size()) std::abort();
  if (end < text.size() && text[end] != '\r' && text[end] != '\n') std::abort();
  CheckHeader(text, end, header, add_status);
  return 0;
}
