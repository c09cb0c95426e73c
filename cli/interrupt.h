#ifndef FERROLT_CLI_INTERRUPT_H_
#define FERROLT_CLI_INTERRUPT_H_

// Ctrl-C, SIGTERM and SIGHUP during a run: the handler only notes the request; the run stops
// before its next message, so no output file ends in half a message, and the program exits with
// kExitSignalBase + the signal's number (cli/exit_codes.h). A signal also ends a wait the program
// is blocked in (the call fails instead of being restarted). SIGXFSZ is ignored: a write beyond
// the file size limit then fails and is reported like any other.

namespace ferrolt {

void InstallInterruptHandler();

// True once one of the stop signals has arrived. Safe to pass as RunState::stop_requested.
bool InterruptRequested();

// kExitSignalBase + the number of the first stop signal that arrived.
int InterruptExitCode();

}  // namespace ferrolt

#endif  // FERROLT_CLI_INTERRUPT_H_
