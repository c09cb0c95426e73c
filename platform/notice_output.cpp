#include "platform/notice_output.h"

#include <cstdio>

#include "platform/terminal.h"

namespace ferrolt {
namespace {

NoticeOutput* installed_output = nullptr;

void WriteToStandardError(const Notice& notice) {
  std::string line = notice.has_caption ? notice.caption + ": " : std::string();
  WriteStreamText(stderr, line + notice.text + '\n');
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
