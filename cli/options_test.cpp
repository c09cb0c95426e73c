#include "cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ferrolt {
namespace {

// The parse in one line: the command's number, flags (d: include deleted, e: prefer EUC,
// s: salvage, r: raw), prefix, target folder and sources; or "refused" with a usage error.
std::string Parsed(std::vector<std::string> words) {
  words.insert(words.begin(), "ferrolt-cli");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  CliOptions o;
  std::string error;
  if (!ParseCliOptions(static_cast<int>(argv.size()), argv.data(), &o, &error)) {
    return error.empty() ? "refused without an error" : "refused";
  }
  std::string line = std::to_string(static_cast<int>(o.command)) + " " +
                     (o.include_deleted ? "d" : "") + (o.prefer_euc ? "e" : "") +
                     (o.salvage ? "s" : "") + (o.raw ? "r" : "") + " " + o.export_prefix + " " +
                     o.target_folder;
  for (const std::string& source : o.sources) line += " [" + source + "]";
  return line;
}

TEST(CliOptionsTest, EachCommandTakesOnlyItsOptionsAndHelpOnlyWhereAnOptionStands) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> kCases = {
      {{"eml", "--include-deleted", "--prefix", "out/x", "a.mbx", "b.MBX"},
       "1 d out/x  [a.mbx] [b.MBX]"},
      {{"eml", "s", "-"}, "1  ./exp  [s] [-]"},
      {{"import", "--prefer-euc", "--salvage", "--to", "dir", "store"}, "2 es ./exp dir [store]"},
      {{"list", "--", "-odd.mbx"}, "3  ./exp  [-odd.mbx]"},
      {{"list", "--raw", "a.mbx"}, "3 r ./exp  [a.mbx]"},
      {{"mbox", "--to", "out", "--include-deleted", "s"}, "4 d ./exp out [s]"},
      {{"maildir", "s", "--to", "out"}, "5  ./exp out [s]"},
      {{"eml", "--prefix", "-h", "s"}, "1  -h  [s]"},
      {{"eml", "--", "--help"}, "1  ./exp  [--help]"},
      {{"import", "--to", "--help", "s"}, "2  ./exp --help [s]"},
      {{"-h"}, "0  ./exp "},
      {{"import", "--help"}, "0  ./exp "},
      {{"eml", "--prefix", "p", "-h", "s"}, "0  ./exp "},
      {{"list", "--include-deleted", "--help"}, "0  ./exp "},  // help wins over a usage error
      {{"convert", "-h"}, "0  ./exp "},
      {{}, "refused"},
      {{"convert", "x"}, "refused"},
      {{"eml"}, "refused"},
      {{"eml", "--to", "d", "x"}, "refused"},
      {{"eml", "--prefer-euc", "x"}, "refused"},
      {{"eml", "--prefix"}, "refused"},
      {{"eml", "--prefix", "", "x"}, "refused"},
      {{"eml", "--raw", "x"}, "refused"},
      {{"import", "x"}, "refused"},
      {{"import", "--to"}, "refused"},
      {{"list", "a.mbx", "b.mbx"}, "refused"},
      {{"list", "--include-deleted", "a.mbx"}, "refused"},
      {{"mbox", "--prefer-euc", "--to", "d", "x"}, "refused"},
      {{"maildir", "--to"}, "refused"},
      {{"maildir", "--prefix", "p", "--to", "d", "x"}, "refused"},
  };
  for (const auto& [words, expected] : kCases) {
    SCOPED_TRACE(::testing::PrintToString(words));
    EXPECT_EQ(Parsed(words), expected);
  }
}

}  // namespace
}  // namespace ferrolt
