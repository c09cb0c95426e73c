#include "notices/notices.h"

#include <string>

#include "notices/catalogue.h"
#include "platform/files.h"
#include "platform/notice_output.h"

namespace ferrolt {
namespace {

bool ShowUndefinedText(int text_id) {
  Notice notice;
  std::string id = std::to_string(text_id);
  notice.text = FillPlaceholders("Undefined String Resource. ID=<%d>", &id, 1);
  notice.style = kNoticeWarning;
  ShowNotice(notice);
  return false;
}

// Shows the text `format_id` filled with `values`; `found_caption_style` is the style used when
// the caption exists, the error style being used without it.
bool ShowFilled(int format_id, int caption_id, const std::string* values, size_t value_count,
                uint32_t found_caption_style) {
  std::string format;
  if (!LoadCatalogueText(format_id, &format)) return ShowUndefinedText(format_id);
  Notice notice;
  notice.text = FillPlaceholders(format, values, value_count);
  notice.has_caption = LoadCatalogueText(caption_id, &notice.caption);
  notice.style = notice.has_caption ? found_caption_style : kNoticeError;
  ShowNotice(notice);
  return true;
}

// Where the first %s or %d of `format` stands, or its size.
size_t FirstPlaceholder(const std::string& format) {
  for (size_t i = 0; i + 1 < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (format[i + 1] == 's' || format[i + 1] == 'd') return i;
    ++i;  // "%%" or a lone '%'
  }
  return format.size();
}

}  // namespace

std::string FillPlaceholders(const std::string& format, const std::string* values,
                             size_t value_count) {
  std::string text;
  text.reserve(format.size() + 64);
  size_t next_value = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    char following = i + 1 < format.size() ? format[i + 1] : '\0';
    if (c == '%' && following == '%') {
      text += '%';
      ++i;
    } else if (c == '%' && (following == 'd' || following == 's') && next_value < value_count) {
      text += values[next_value++];
      ++i;
    } else {
      text += c;
    }
  }
  return text;
}

bool ShowMessage(int text_id, int caption_id) {
  return ShowFilled(text_id, caption_id, nullptr, 0, kNoticeError);
}

bool ShowErrorCode(int format_id, int caption_id, int error_code) {
  const std::string values[] = {std::to_string(error_code), SystemErrorText(error_code)};
  return ShowFilled(format_id, caption_id, values, 2, kNoticeError);
}

bool ShowMessagePath(int format_id, int caption_id, const std::string& path) {
  std::string text = PathAsText(path);
  std::string format;
  if (!LoadCatalogueText(format_id, &format)) return ShowUndefinedText(format_id);
  Notice notice;
  notice.text = FillPlaceholders(format, &text, 1);
  notice.name = text;
  notice.name_at = FillPlaceholders(format.substr(0, FirstPlaceholder(format)), nullptr, 0).size();
  notice.has_caption = LoadCatalogueText(caption_id, &notice.caption);
  notice.style = kNoticeError;
  ShowNotice(notice);
  return true;
}

bool ShowResult(int format_id, int caption_id, int first, int second) {
  const std::string values[] = {std::to_string(first), std::to_string(second)};
  return ShowFilled(format_id, caption_id, values, 2, kNoticeInformation);
}

bool ShowResult(int format_id, int caption_id, int first, int second, int third) {
  const std::string values[] = {std::to_string(first), std::to_string(second),
                                std::to_string(third)};
  return ShowFilled(format_id, caption_id, values, 3, kNoticeInformation);
}

}  // namespace ferrolt
