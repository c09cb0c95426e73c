#ifndef FERROLT_NOTICES_NOTICES_H_
#define FERROLT_NOTICES_NOTICES_H_

// The four ways the program tells the user something. Each shows one notice, built from
// catalogue texts, and returns true when the text id was found. An unknown text id shows
// "Undefined String Resource. ID=<id>" without caption and with the warning icon instead; an
// unknown caption id only drops the caption. Texts are composed in full, however long.

#include <string>

namespace ferrolt {

bool ShowMessage(int text_id, int caption_id);

// The format filled with the error code (%d) and the system's own text for it (%s).
bool ShowErrorCode(int format_id, int caption_id, int error_code);

// The format filled with one string (%s), a path as a rule.
bool ShowMessagePath(int format_id, int caption_id, const std::string& path);

// The format filled with the counts, in order. The information icon when the caption exists;
// without it the box has no caption and the error icon.
bool ShowResult(int format_id, int caption_id, int first, int second);
bool ShowResult(int format_id, int caption_id, int first, int second, int third);

// Fills the %d and %s placeholders of `format` in order with `values` (already rendered);
// "%%" stands for "%". A placeholder beyond the values is left as it is.
std::string FillPlaceholders(const std::string& format, const std::string* values,
                             size_t value_count);

}  // namespace ferrolt

#endif  // FERROLT_NOTICES_NOTICES_H_
