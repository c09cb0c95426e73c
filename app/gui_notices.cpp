#include "app/gui_notices.h"

#include <vector>

#include "app/run_thread.h"
#include "notices/catalogue.h"
#include "platform/notice_output.h"

namespace ferrolt {
namespace {

HINSTANCE string_table_instance = nullptr;

std::string Recode(const std::string& text, UINT from_code_page, UINT to_code_page) {
  if (text.empty()) return text;
  // Text that is not valid UTF-8 (a path already in the ANSI code page) passes unchanged.
  DWORD flags = from_code_page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
  int wide_length = MultiByteToWideChar(from_code_page, flags, text.data(),
                                        static_cast<int>(text.size()), nullptr, 0);
  if (wide_length <= 0) return text;
  std::vector<wchar_t> wide(wide_length);
  MultiByteToWideChar(from_code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                      wide_length);
  int length =
      WideCharToMultiByte(to_code_page, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return text;
  std::string result(length, '\0');
  WideCharToMultiByte(to_code_page, 0, wide.data(), wide_length, result.data(), length, nullptr,
                      nullptr);
  return result;
}

// The catalogue as the user's Windows reads it: LoadStringA hands back the ANSI code page
// (Shift_JIS on a Japanese system), which the notices expect in UTF-8.
bool LoadFromStringTable(int id, std::string* text) {
  char buffer[1024];  // longer than any catalogue text, so nothing is cut
  int length = LoadStringA(string_table_instance, static_cast<UINT>(id), buffer, sizeof buffer);
  if (length <= 0) return false;
  *text = AnsiToUtf8(std::string(buffer, length));
  return true;
}

class MessageBoxOutput final : public NoticeOutput {
 public:
  void Show(const Notice& notice) override {
    std::string text = Utf8ToAnsi(notice.text);
    std::string caption = Utf8ToAnsi(notice.caption);
    const char* shown_caption = notice.has_caption ? caption.c_str() : nullptr;
    // Task-modal on the window thread, so the box greys the program's windows as it should.
    CallOnWindowThread([&] { MessageBoxA(nullptr, text.c_str(), shown_caption, notice.style); });
  }
};

MessageBoxOutput message_box_output;

}  // namespace

void InstallGuiNotices(HINSTANCE instance) {
  string_table_instance = instance;
  SetCatalogueLoader(LoadFromStringTable);
  SetNoticeOutput(&message_box_output);
}

std::string Utf8ToAnsi(const std::string& utf8) { return Recode(utf8, CP_UTF8, CP_ACP); }

std::string AnsiToUtf8(const std::string& ansi) { return Recode(ansi, CP_ACP, CP_UTF8); }

}  // namespace ferrolt
