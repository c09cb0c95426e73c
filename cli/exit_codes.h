#ifndef FERROLT_CLI_EXIT_CODES_H_
#define FERROLT_CLI_EXIT_CODES_H_

// ferrolt-cli's exit status, written once; --help and the manual page list the same values.

namespace ferrolt {

enum ExitCode { kExitDone = 0, kExitFailed = 1, kExitUsage = 2 };

// A run stopped by signal N exits with kExitSignalBase + N, as shells expect of a program ended
// by a signal: 130 after Ctrl-C.
constexpr int kExitSignalBase = 128;

}  // namespace ferrolt

#endif  // FERROLT_CLI_EXIT_CODES_H_
