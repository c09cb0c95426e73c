// Language and code page 932 on POSIX systems.

#include <errno.h>
#include <iconv.h>

#include <cstdlib>

#include "platform/locale_text.h"

namespace ferrolt {
namespace {

constexpr char kReplacement[] = "\xef\xbf\xbd";  // U+FFFD

const char* FirstSet(const char* const* names, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const char* value = std::getenv(names[i]);
    if (value != nullptr && value[0] != '\0') return value;
  }
  return nullptr;
}

}  // namespace

bool UserReadsJapanese() {
  static const char* const kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  const char* locale = FirstSet(kNames, 3);
  return locale != nullptr && locale[0] == 'j' && locale[1] == 'a';
}

std::string Cp932ToUtf8(std::string_view text) {
  iconv_t converter = iconv_open("UTF-8", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::string(text);
  std::string in(text), out;
  char* in_at = in.data();
  size_t in_left = in.size();
  char block[1024];
  while (in_left > 0) {
    char* out_at = block;
    size_t out_left = sizeof block;
    size_t done = iconv(converter, &in_at, &in_left, &out_at, &out_left);
    out.append(block, static_cast<size_t>(out_at - block));
    if (done == static_cast<size_t>(-1) && errno != E2BIG) {
      out += kReplacement;  // an invalid or cut-off sequence: skip one byte
      ++in_at;
      --in_left;
    }
  }
  iconv_close(converter);
  return out;
}

}  // namespace ferrolt
