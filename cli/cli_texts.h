#ifndef FERROLT_CLI_CLI_TEXTS_H_
#define FERROLT_CLI_CLI_TEXTS_H_

// The command line's own texts (help, usage errors, warnings) in English, or in Japanese for a
// user who reads it. Notices come from the catalogue, English or Japanese to match.

#include <string>

namespace ferrolt {

enum class CliTextId {
  kNoCommand,
  kUnknownCommand,  // %s: the word
  kUnknownOption,   // %s: the option
  kNeedsValue,      // %s: the option
  kNoSource,
  kListTakesOne,
  kNeedsTargetFolder,  // %s: the command
  kEmptyPrefix,
  kSkippingSource,  // %s: the path
  kInterrupted,
  kArgumentNotInCodePage,  // %s: the argument
  kSkippingMissingSource,  // %s: the path
  kStandardOutputLost,     // %s: the system's text for the error
  kSalvageLine,            // %s: a line of the salvage report
  kImapNotInThisBuild,
};

// Chooses the language of every text after it, the catalogue's included: Japanese or English.
void UseJapaneseTexts(bool japanese);
// The language chosen, for the commands that keep texts of their own.
bool UsingJapaneseTexts();

// The text, its %s filled with `detail`.
std::string CliText(CliTextId id, const std::string& detail = std::string());

// The --help text.
const char* UsageText();

}  // namespace ferrolt

#endif  // FERROLT_CLI_CLI_TEXTS_H_
