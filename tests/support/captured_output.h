#ifndef FERROLT_TESTS_SUPPORT_CAPTURED_OUTPUT_H_
#define FERROLT_TESTS_SUPPORT_CAPTURED_OUTPUT_H_

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
  char block[4096];
  while (size_t got = std::fread(block, 1, sizeof block, out)) text.append(block, got);
  std::fclose(out);
  return text;
}

}  // namespace ferrolt::testing

#endif  // FERROLT_TESTS_SUPPORT_CAPTURED_OUTPUT_H_
