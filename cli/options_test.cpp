#include "cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ferrolt {
namespace {

bool Parse(std::vector<std::string> words, CliOptions* options, std::string* error) {
  words.insert(words.begin(), "ferrolt-cli");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  return ParseCliOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(CliOptionsTest, ParsesEachCommandsOptions) {
  CliOptions eml, import, list;
  std::string error;
  ASSERT_TRUE(
      Parse({"eml", "--include-deleted", "--prefix", "out/x", "a.mbx", "b.MBX"}, &eml, &error));
  EXPECT_EQ(eml.command, CliCommand::kEml);
  EXPECT_TRUE(eml.include_deleted);
  EXPECT_EQ(eml.export_prefix, "out/x");
  EXPECT_EQ(eml.sources, (std::vector<std::string>{"a.mbx", "b.MBX"}));

  ASSERT_TRUE(Parse({"import", "--prefer-euc", "--to", "dir", "store"}, &import, &error));
  EXPECT_TRUE(import.prefer_euc);
  EXPECT_FALSE(import.include_deleted);
  EXPECT_EQ(import.target_folder, "dir");

  ASSERT_TRUE(Parse({"list", "--", "-odd.mbx"}, &list, &error));
  EXPECT_EQ(list.sources, (std::vector<std::string>{"-odd.mbx"}));
  CliOptions mbox, maildir, raw;
  ASSERT_TRUE(Parse({"mbox", "--to", "out", "--include-deleted", "s"}, &mbox, &error));
  EXPECT_EQ(mbox.command, CliCommand::kMbox);
  EXPECT_TRUE(mbox.include_deleted);
  EXPECT_EQ(mbox.target_folder, "out");
  ASSERT_TRUE(Parse({"maildir", "s", "--to", "out"}, &maildir, &error));
  EXPECT_EQ(maildir.command, CliCommand::kMaildir);
  EXPECT_EQ(maildir.sources, (std::vector<std::string>{"s"}));
  ASSERT_TRUE(Parse({"list", "--raw", "a.mbx"}, &raw, &error));
  EXPECT_TRUE(raw.raw);
  EXPECT_FALSE(list.raw);
  CliOptions defaults;
  ASSERT_TRUE(Parse({"eml", "s"}, &defaults, &error));
  EXPECT_EQ(defaults.export_prefix, "./exp");
}

TEST(CliOptionsTest, RefusesWhatACommandDoesNotTake) {
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"convert", "x"},
      {"eml"},
      {"eml", "--to", "d", "x"},
      {"eml", "--prefer-euc", "x"},
      {"eml", "--prefix"},
      {"import", "x"},
      {"import", "--to"},
      {"list", "a.mbx", "b.mbx"},
      {"list", "--include-deleted", "a.mbx"},
      {"mbox", "x"},
      {"maildir", "--to"},
      {"maildir", "--prefix", "p", "--to", "d", "x"},
      {"mbox", "--prefer-euc", "--to", "d", "x"},
      {"eml", "--raw", "x"},
  };
  for (const auto& words : wrong) {
    CliOptions options;
    std::string error;
    EXPECT_FALSE(Parse(words, &options, &error)) << words.size();
    EXPECT_FALSE(error.empty());
  }
}

TEST(CliOptionsTest, HelpIsAskedForOnlyWhereAnOptionStands) {
  const std::vector<std::vector<std::string>> help = {
      {"--help"},
      {"-h"},
      {"import", "--help"},
      {"eml", "--prefix", "p", "-h", "s"},
      {"list", "--include-deleted", "--help"},  // help wins over the usage error
      {"convert", "-h"},
  };
  for (const auto& words : help) {
    CliOptions options;
    std::string error;
    EXPECT_TRUE(Parse(words, &options, &error)) << words.back();
    EXPECT_EQ(options.command, CliCommand::kHelp) << words.back();
  }
  CliOptions prefix, source, target;
  std::string error;
  ASSERT_TRUE(Parse({"eml", "--prefix", "-h", "s"}, &prefix, &error));
  EXPECT_EQ(prefix.command, CliCommand::kEml);
  EXPECT_EQ(prefix.export_prefix, "-h");
  ASSERT_TRUE(Parse({"eml", "--", "--help"}, &source, &error));
  EXPECT_EQ(source.sources, (std::vector<std::string>{"--help"}));
  ASSERT_TRUE(Parse({"import", "--to", "--help", "s"}, &target, &error));
  EXPECT_EQ(target.target_folder, "--help");
}

}  // namespace
}  // namespace ferrolt
