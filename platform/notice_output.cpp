#include "platform/notice_output.h"

#include <cstdio>

namespace ferrolt {
namespace {

NoticeOutput* installed_output = nullptr;

void WriteToStandardError(const Notice& notice) {
  if (notice.has_caption) std::fprintf(stderr, "%s: ", notice.caption.c_str());
  std::fprintf(stderr, "%s\n", notice.text.c_str());
}

}  // namespace

void SetNoticeOutput(NoticeOutput* output) { installed_output = output; }

void ShowNotice(const Notice& notice) {
  if (installed_output != nullptr) {
    installed_output->Show(notice);
  } else {
    WriteToStandardError(notice);
  }
}

}  // namespace ferrolt
