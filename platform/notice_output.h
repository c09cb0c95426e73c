#ifndef FERROLT_PLATFORM_NOTICE_OUTPUT_H_
#define FERROLT_PLATFORM_NOTICE_OUTPUT_H_

// Where notices go: a message box in the Windows program, stderr/stdout in the command-line
// program, a recorder in tests. The front end installs one before it does any work.

#include <cstddef>
#include <cstdint>
#include <string>

namespace ferrolt {

// Message-box styles as Win32 numbers: task-modal plus an icon.
constexpr uint32_t kNoticeError = 0x2010;        // MB_TASKMODAL | MB_ICONHAND
constexpr uint32_t kNoticeWarning = 0x2030;      // MB_TASKMODAL | MB_ICONEXCLAMATION
constexpr uint32_t kNoticeInformation = 0x2040;  // MB_TASKMODAL | MB_ICONASTERISK

struct Notice {
  std::string text;  // UTF-8
  bool has_caption = false;
  std::string caption;  // UTF-8; meaningful only when has_caption
  uint32_t style = kNoticeError;
  // The path the text names, if any, and where in the text it stands: a front end that writes to
  // a terminal escapes it whole, line feeds included, so that a name cannot forge a line.
  std::string name;
  size_t name_at = 0;
};

class NoticeOutput {
 public:
  virtual ~NoticeOutput() = default;
  virtual void Show(const Notice& notice) = 0;
};

// Installs the output (not owned); nullptr restores the fallback, which writes to stderr.
void SetNoticeOutput(NoticeOutput* output);
void ShowNotice(const Notice& notice);

}  // namespace ferrolt

#endif  // FERROLT_PLATFORM_NOTICE_OUTPUT_H_
