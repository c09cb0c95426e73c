#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace ferrolt::testing {

// What `write` printed to the stream it was given (a temporary file); empty if none could be made.
inline std::string CapturedOutput(const std::function<void(std::FILE*)>& write) {
  std::FILE* out = std::tmpfile();
  if (out == nullptr) return {};
  write(out);
  std::rewind(out);
  std::string text;
  for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) text += static_cast<char>(c);
  std::fclose(out);
  return text;
}

}  // namespace ferrolt::testing
