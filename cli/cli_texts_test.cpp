#include "cli/cli_texts.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli/options.h"

namespace ferrolt {
namespace {

// Both help texts show the same command lines, so neither language misses an option. (Which
// language is spoken, and its notices, is checked end to end.)
TEST(CliTextsTest, BothHelpTextsListTheSameCommandsAndOptions) {
  UseJapaneseTexts(true);
  std::string japanese = UsageText();
  std::istringstream english(kUsage);
  std::string line;
  int checked = 0;
  while (std::getline(english, line)) {
    bool synopsis = line.rfind("  ferrolt-cli ", 0) == 0;
    bool option = line.rfind("  --", 0) == 0;
    if (!synopsis && !option) continue;
    std::string key = synopsis ? line : line.substr(0, line.find("  ", 2));
    EXPECT_NE(japanese.find(key), std::string::npos) << key;
    ++checked;
  }
  EXPECT_EQ(checked, 9);
}

}  // namespace
}  // namespace ferrolt
