#ifndef FERROLT_CLI_OPTIONS_H_
#define FERROLT_CLI_OPTIONS_H_

#include <string>
#include <vector>

#include "convert/run_choices.h"

namespace ferrolt {

enum class CliCommand { kHelp, kEml, kImport, kList, kMbox, kMaildir, kImap };

struct CliOptions {
  CliCommand command = CliCommand::kHelp;
  RunChoices choices;  // --include-deleted, --prefer-euc, --salvage
  bool raw = false;    // list: header texts as stored
  std::string export_prefix = "./exp";
  std::string target_folder;  // imap: the server's URL
  std::string ca_file;        // imap: trusted CAs instead of the system's
  std::vector<std::string> sources;
};

// The help text in English; UsageText() (cli_texts.h) gives it in the user's language.
extern const char kUsage[];

// False with *error set for a usage error.
bool ParseCliOptions(int argc, char** argv, CliOptions* options, std::string* error);

}  // namespace ferrolt

#endif  // FERROLT_CLI_OPTIONS_H_
