// The converter alone, in process, over the messages a run converts: each message converted
// on its own with the program's options, as the import does, without any file traffic. Prints
// the seconds the conversions took.
//
//   convert_alone <messages.bin> <layout.txt>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "kanji/nkf.h"

namespace kanji = ferrolt::kanji;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: convert_alone <messages.bin> <layout.txt>\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::string messages((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ifstream layout(argv[2]);
  std::vector<size_t> lengths;
  long long offset = 0;
  size_t length = 0;
  while (layout >> offset >> length) lengths.push_back(length);
  size_t longest = 0;
  for (size_t message_length : lengths) longest = std::max(longest, message_length);
  // Sized once, as the import sizes its buffer per message without filling it.
  std::vector<char> output(kanji::NkfOutputBound(longest));
  size_t total_out = 0;
  auto start = std::chrono::steady_clock::now();
  kanji::SetNkfOption("Xsm");
  size_t at = 0;
  for (size_t message_length : lengths) {
    total_out += kanji::NkfConvert(output.data(), kanji::NkfOutputBound(message_length),
                                   messages.data() + at, message_length);
    at += message_length;
  }
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  if (at != messages.size()) return 1;
  std::printf("%.6f %zu\n", took.count(), total_out);
  return 0;
}
