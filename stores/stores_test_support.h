#ifndef FERROLT_STORES_STORES_TEST_SUPPORT_H_
#define FERROLT_STORES_STORES_TEST_SUPPORT_H_

// Shared by the store discovery tests.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "notices/catalogue.h"
#include "notices/notices.h"
#include "platform/files.h"
#include "tests/support/recorders.h"

namespace ferrolt::testing {

// The parts joined with this system's separator, with one after the last when asked.
inline std::string JoinPath(std::initializer_list<std::string> parts, bool final_separator) {
  std::string path;
  for (const std::string& part : parts) path += part + kPathSeparator;
  if (!final_separator) path.pop_back();
  return path;
}

// Exactly one notice was shown, with these catalogue texts (the text filled with `values`);
// none at all for text 0.
inline void ExpectOnlyNotice(const NoticeRecorder& recorder, int text_id, int caption_id,
                             std::vector<std::string> values = {}) {
  if (text_id == 0) {
    EXPECT_TRUE(recorder.notices.empty());
    return;
  }
  ASSERT_EQ(recorder.notices.size(), 1u);
  std::string text, caption;
  ASSERT_TRUE(LoadCatalogueText(text_id, &text));
  ASSERT_TRUE(LoadCatalogueText(caption_id, &caption));
  EXPECT_EQ(recorder.notices[0].text, FillPlaceholders(text, values.data(), values.size()));
  EXPECT_TRUE(recorder.notices[0].has_caption);
  EXPECT_EQ(recorder.notices[0].caption, caption);
}

}  // namespace ferrolt::testing

#endif  // FERROLT_STORES_STORES_TEST_SUPPORT_H_
