#include "cli/options.h"

#include <cstring>

#include "cli/cli_texts.h"
#include "cli/imap_command.h"

namespace ferrolt {

const char kUsage[] =
    "Usage:\n"
    "  ferrolt-cli eml     [--include-deleted] [--salvage] [--prefix PREFIX] SOURCE...\n"
    "  ferrolt-cli import  [--include-deleted] [--salvage] [--prefer-euc] --to DIR SOURCE...\n"
    "  ferrolt-cli mbox    [--include-deleted] [--salvage] --to DIR SOURCE...\n"
    "  ferrolt-cli maildir [--include-deleted] [--salvage] --to DIR SOURCE...\n"
    "  ferrolt-cli list    [--salvage] [--raw] [--prefer-euc] MAILBOX.mbx\n"
    "  ferrolt-cli imap    [--include-deleted] [--salvage] [--ca-file FILE] --to URL SOURCE...\n"
    "  ferrolt-cli --help\n"
    "\n"
    "Moves mail out of a Microsoft Internet Mail store (.mbx mailboxes with their .idx\n"
    "indexes), which is only read, never changed.\n"
    "\n"
    "  eml      writes every message, bytes unchanged, to PREFIX00001.eml, PREFIX00002.eml, ...\n"
    "           numbered through the whole run (PREFIX defaults to ./exp).\n"
    "  import   writes each mailbox as a Corvane! mailbox of the same name into DIR: messages\n"
    "           converted to Shift_JIS (half-width katakana widened to full-width), read ones\n"
    "           marked \"Status: R\", each followed by a \".\" line. DIR is created, with an\n"
    "           empty DIR.mbx beside it, when it does not exist.\n"
    "  mbox     writes each mailbox as DIR/NAME.mbox (mboxrd) for today's mail clients, read\n"
    "           state kept (Status: RO read, O unread); DIR must not exist yet.\n"
    "  maildir  writes each mailbox as the Maildir DIR/NAME (read mail in cur/ with flag S,\n"
    "           unread in new/); DIR must not exist yet.\n"
    "  list     prints number, flags (D deleted, R read, U unread; -- without index), record\n"
    "           offset, length, Date, From and Subject of every message, tab-separated; From\n"
    "           and Subject decoded to UTF-8 (--raw: as stored), half-width katakana as\n"
    "           written; controls and direction marks shown escaped (\\x1b, \\u202e).\n"
    "  imap     uploads each mailbox NAME to the folder FOLDER/NAME on an IMAP server (created\n"
    "           when missing), bytes unchanged, read mail with \\Seen, dated from its Date\n"
    "           header; a rerun sends only what is not there yet. URL is\n"
    "           imaps://USER@HOST[:PORT][/FOLDER] (TLS) or imap://USER@HOST[:PORT][/FOLDER]\n"
    "           (STARTTLS required); FOLDER defaults to \"From MS-IM\". The password comes\n"
    "           from FERROLT_IMAP_PASSWORD, else it is asked on the terminal. The certificate\n"
    "           must verify against the system's CAs or --ca-file FILE. (Not in the Windows\n"
    "           ferrolt-cli.exe.)\n"
    "\n"
    "SOURCE is one folder (all its *.mbx, in name order) or one or more .mbx files.\n"
    "  --include-deleted  also convert messages deleted in Internet Mail (mbox: X-Status: D,\n"
    "                     maildir: flag T, imap: keyword $Deleted)\n"
    "  --prefer-euc       read EUC-JP text that could also be Shift_JIS half-width kana\n"
    "                     alone as EUC-JP (the default reads it as half-width kana); only\n"
    "                     text that neither its charset label nor its bytes decide\n"
    "  --salvage          read a damaged mailbox as far as it holds: step over bad records,\n"
    "                     recover every intact message, report what was skipped on stderr;\n"
    "                     list then adds how each message was found (index, chain, scan)\n"
    "\n"
    "Output is UTF-8. On Windows a console shows it as characters whatever its code page, and\n"
    "output redirected to a file or a pipe is UTF-8; file names given must fit the ANSI code "
    "page.\n"
    "Nothing existing is ever overwritten: a run stops at the first name that exists.\n"
    "Ctrl-C, SIGTERM and SIGHUP stop the run after the message being written; on Windows\n"
    "so do Ctrl+Break, closing the console, log-off and shutdown.\n"
    "Exit status: 0 done, 1 failed (a notice was printed), 2 usage error,\n"
    "128 + N stopped by signal N (130 after Ctrl-C; on Windows 149 after Ctrl+Break,\n"
    "129 when the console was closed, 143 after log-off or shutdown).\n";

namespace {

bool ParseCommand(const char* word, CliCommand* command) {
  if (std::strcmp(word, "eml") == 0)
    *command = CliCommand::kEml;
  else if (std::strcmp(word, "import") == 0)
    *command = CliCommand::kImport;
  else if (std::strcmp(word, "list") == 0)
    *command = CliCommand::kList;
  else if (std::strcmp(word, "mbox") == 0)
    *command = CliCommand::kMbox;
  else if (std::strcmp(word, "maildir") == 0)
    *command = CliCommand::kMaildir;
  else if (std::strcmp(word, "imap") == 0)
    *command = CliCommand::kImap;
  else
    return false;
  return true;
}

// Takes the value of an option that needs one; false when it is missing.
bool TakeValue(int argc, char** argv, int* i, std::string* value) {
  if (*i + 1 >= argc) return false;
  *value = argv[++*i];
  return true;
}

bool WritesIntoFolder(CliCommand command) {
  return command == CliCommand::kImport || command == CliCommand::kMbox ||
         command == CliCommand::kMaildir || command == CliCommand::kImap;
}

bool ParseOption(int argc, char** argv, int* i, CliOptions* options, std::string* error) {
  std::string option = argv[*i];
  CliCommand command = options->command;
  if (option == "--include-deleted" && command != CliCommand::kList) {
    options->include_deleted = true;
  } else if (option == "--salvage") {
    options->salvage = true;
  } else if (option == "--prefer-euc" &&
             (command == CliCommand::kImport || command == CliCommand::kList)) {
    options->prefer_euc = true;
  } else if (option == "--raw" && command == CliCommand::kList) {
    options->raw = true;
  } else if (option == "--prefix" && command == CliCommand::kEml) {
    if (!TakeValue(argc, argv, i, &options->export_prefix)) {
      *error = CliText(CliTextId::kNeedsValue, option);
    }
  } else if (option == "--ca-file" && command == CliCommand::kImap) {
    if (!TakeValue(argc, argv, i, &options->ca_file)) {
      *error = CliText(CliTextId::kNeedsValue, option);
    }
  } else if (option == "--to" && WritesIntoFolder(command)) {
    if (!TakeValue(argc, argv, i, &options->target_folder)) {
      *error = CliText(CliTextId::kNeedsValue, option);
    }
  } else {
    *error = CliText(CliTextId::kUnknownOption, option);
  }
  return error->empty();
}

bool IsHelp(const char* word) {
  return std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0;
}

// Help is asked for wherever it stands as an option, even after a usage error; not as the value
// of --prefix or --to ("--prefix -h" is a prefix), nor after "--".
bool AsksForHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return false;
    if (IsHelp(argv[i])) return true;
    if (std::strcmp(argv[i], "--prefix") == 0 || std::strcmp(argv[i], "--to") == 0 ||
        std::strcmp(argv[i], "--ca-file") == 0) {
      ++i;
    }
  }
  return false;
}

bool CheckComplete(const CliOptions& options, const char* command_word, std::string* error) {
  if (options.sources.empty())
    *error = CliText(CliTextId::kNoSource);
  else if (options.command == CliCommand::kList && options.sources.size() != 1)
    *error = CliText(CliTextId::kListTakesOne);
  else if (options.command == CliCommand::kImap && options.target_folder.empty())
    *error = std::string("imap needs --to URL");
  else if (WritesIntoFolder(options.command) && options.target_folder.empty())
    *error = CliText(CliTextId::kNeedsTargetFolder, command_word);
  else if (options.command == CliCommand::kEml && options.export_prefix.empty())
    *error = CliText(CliTextId::kEmptyPrefix);
  return error->empty();
}

}  // namespace

bool ParseCliOptions(int argc, char** argv, CliOptions* options, std::string* error) {
  if (AsksForHelp(argc, argv)) {
    options->command = CliCommand::kHelp;
    return true;
  }
  if (argc < 2 || !ParseCommand(argv[1], &options->command)) {
    *error =
        argc < 2 ? CliText(CliTextId::kNoCommand) : CliText(CliTextId::kUnknownCommand, argv[1]);
    return false;
  }
  if (options->command == CliCommand::kImap && !ImapCommandAvailable()) {
    *error = CliText(CliTextId::kImapNotInThisBuild);
    return false;
  }
  bool options_ended = false;
  for (int i = 2; i < argc; ++i) {
    if (!options_ended && std::strcmp(argv[i], "--") == 0) {
      options_ended = true;
    } else if (!options_ended && argv[i][0] == '-' && argv[i][1] != '\0') {
      if (!ParseOption(argc, argv, &i, options, error)) return false;
    } else {
      options->sources.push_back(argv[i]);
    }
  }
  return CheckComplete(*options, argv[1], error);
}

}  // namespace ferrolt
