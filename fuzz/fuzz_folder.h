#ifndef FERROLT_FUZZ_FUZZ_FOLDER_H_
#define FERROLT_FUZZ_FUZZ_FOLDER_H_

// Shared by the fuzz targets that go through real files: one scratch folder per process, in
// memory when the system has a RAM disk, so millions of iterations do not wear a real disk.

#include <string>

#include "platform/notice_output.h"

namespace ferrolt::fuzz {

// A fresh folder, made once per process; ends without a separator.
const std::string& ScratchFolder();

// Removes everything inside `folder`, keeping the folder itself.
void EmptyFolder(const std::string& folder);

void WriteWholeFile(const std::string& path, const char* bytes, size_t size);
std::string ReadWholeFile(const std::string& path);

// Notices are expected on nearly every input; showing them would only slow the fuzzer down.
class DiscardNotices final : public NoticeOutput {
 public:
  void Show(const Notice&) override {}
};

}  // namespace ferrolt::fuzz

#endif  // FERROLT_FUZZ_FUZZ_FOLDER_H_
