// The physical floor of the .eml export: the same messages, read from the same mailbox, into
// the same number of new files, each made with a create-new, one write and a close. Nothing
// the export does can be cheaper than this.
//
//   eml_floor <mailbox> <layout.txt> <prefix>    writes <prefix>00001.eml ...

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: eml_floor <mailbox> <layout.txt> <prefix>\n");
    return 2;
  }
  int mailbox = open(argv[1], O_RDONLY);
  std::ifstream layout(argv[2]);
  if (mailbox < 0 || !layout) return 1;
  std::vector<char> buffer;
  long long offset = 0;
  size_t length = 0;
  for (int number = 1; layout >> offset >> length; ++number) {
    buffer.resize(length);
    if (pread(mailbox, buffer.data(), length, offset) != static_cast<ssize_t>(length)) return 1;
    char name[32];
    std::snprintf(name, sizeof name, "%05d.eml", number);
    int out = open((std::string(argv[3]) + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (out < 0 || write(out, buffer.data(), length) != static_cast<ssize_t>(length)) return 1;
    close(out);
  }
  close(mailbox);
  return 0;
}
